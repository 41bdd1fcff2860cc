// The demo page on the generation-2 port: a plain HTTP GET (no WebSocket
// upgrade) for "/" or "/demo/<file>" is answered with the page's files,
// read from the installed share folder (../share/scanbridge/demo next to the
// executable) or, in a build tree, from the source tree's client/demo.
// "/demo/scanbridge.js" is the client module, kept beside the demo folder in
// the source tree.
//
// Pure functions of the request and the disk; any thread.
#pragma once

#include <optional>
#include <string>

#include "net/http_request.h"

namespace ver_2 {

// True when the request asks for the demo: a GET or HEAD without an Upgrade
// or Sec-WebSocket-Key header, for "/" or a path under "/demo/".
bool IsDemoRequest(const HttpRequest& request);

// The whole HTTP reply to a demo request: 200 with the file and its content
// type, or 404 for a name that is not a demo file (also any name that tries
// to leave the demo folder).
std::string DemoReply(const HttpRequest& request);

}  // namespace ver_2

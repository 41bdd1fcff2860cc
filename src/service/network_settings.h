// Who may reach the service, as the administrator set it at start: the
// addresses the servers listen on and the web origins whose pages they
// serve.
//
// config.ini [security]:
//   listen           space-separated numeric addresses to listen on besides
//                    the loopback ones (127.0.0.1 and ::1), for other
//                    machines; "0.0.0.0" or "::" for every address.
//   allowed_origins  space-separated origins served besides this machine's
//                    own pages (see OriginPolicy); SCANBRIDGE_ALLOWED_ORIGINS
//                    in the environment adds to them.
// SCANBRIDGE_HEAD_TIMEOUT_MS in the environment shortens the time a new
// connection has for its handshake or request head; the tests use it so
// they need not wait the full 10 seconds.
//
// Read once on the service thread; what it logs says what is exposed.
#pragma once

#include <string>
#include <vector>

#include "net/origin_policy.h"

struct NetworkSettings {
    std::vector<std::string> addresses;
    OriginPolicy origins;
    int headTimeoutMs = 10000;
};

NetworkSettings ReadNetworkSettings();

// The listen addresses for the configured list: the loopback addresses,
// unless a wildcard of their family already covers them, then the listed
// ones, each once. Brackets around an IPv6 address are dropped.
std::vector<std::string> ListenAddresses(const std::string& listed);

// The generation-2 WebSocket server. It serves one page at a time: while a
// connection exists, a new one is closed at once. Service thread only.
#pragma once

#include "net/web_server.h"

namespace ver_2 {

class ManagerV2;

class WSServer : public WebServer {
  public:
    WSServer(KXPump pump, ManagerV2* manager);

    void CreateUser(AcceptedConnection& connection) override;
};

}  // namespace ver_2

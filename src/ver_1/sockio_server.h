// The generation-1 Socket.IO server on port 28999. The newest connection
// receives the back end's events. Service thread only.
#pragma once

#include "net/web_server.h"

namespace ver_1 {

class ManagerV1;

class SockIoServer : public WebServer {
  public:
    SockIoServer(KXPump pump, ManagerV1* manager);

    void CreateUser(AcceptedConnection& connection) override;
};

}  // namespace ver_1

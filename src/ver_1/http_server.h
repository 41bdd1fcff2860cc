// The generation-1 REST server on port 18999. Service thread only.
#pragma once

#include "net/web_server.h"

namespace ver_1 {

class ManagerV1;

class HttpServer : public WebServer {
  public:
    HttpServer(KXPump pump, ManagerV1* manager);

    void CreateUser(AcceptedConnection& connection) override;
};

}  // namespace ver_1

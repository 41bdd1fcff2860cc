#include "ver_1/http_server.h"

#include <memory>

#include "platform/base/service_thread.h"
#include "ver_1/http_user.h"
#include "ver_1/manager_v1.h"

namespace ver_1 {

HttpServer::HttpServer(KXPump pump, ManagerV1* manager) : WebServer(pump, manager) {}

void HttpServer::CreateUser(AcceptedConnection& connection) {
    SB_ASSERT_SERVICE_THREAD();
    KXSocket socket = connection.socket;
    connection.socket = KX_INVALID_SOCKET;
    AddUser(std::make_unique<HttpUser>(this, NextUserId(), connection.ip, connection.port, socket));
}

}  // namespace ver_1

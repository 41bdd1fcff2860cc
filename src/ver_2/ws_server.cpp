#include "ver_2/ws_server.h"

#include <memory>

#include "platform/base/service_thread.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

WSServer::WSServer(KXPump pump, ManagerV2* manager) : WebServer(pump, manager) {}

void WSServer::CreateUser(AcceptedConnection& connection) {
    SB_ASSERT_SERVICE_THREAD();
    KXSocket socket = connection.socket;
    connection.socket = KX_INVALID_SOCKET;
    AddUser(std::make_unique<WSUser>(this, NextUserId(), connection.ip, connection.port, socket));
}

bool WSServer::ClaimPage(uint32_t id) {
    uint32_t none = 0;
    return pageUser_.compare_exchange_strong(none, id);
}

void WSServer::ReleasePage(uint32_t id) {
    uint32_t held = id;
    pageUser_.compare_exchange_strong(held, 0);
}

}  // namespace ver_2

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
    if (userCount() != 0) {
        KXSocket_Close(socket);
        return;
    }
    auto user =
        std::make_unique<WSUser>(this, NextUserId(), connection.ip, connection.port, socket);
    auto* manager = static_cast<ManagerV2*>(backEnd());
    manager->SetEventCallback(WSUser::OnDeviceEvent, user.get());
    manager->SetImageCallback(WSUser::OnScanImage, user.get());
    AddUser(std::move(user));
}

}  // namespace ver_2

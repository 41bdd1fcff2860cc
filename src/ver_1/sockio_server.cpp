#include "ver_1/sockio_server.h"

#include <memory>

#include "platform/base/service_thread.h"
#include "ver_1/manager_v1.h"
#include "ver_1/sockio_user.h"

namespace ver_1 {

SockIoServer::SockIoServer(KXPump pump, ManagerV1* manager) : WebServer(pump, manager) {}

void SockIoServer::CreateUser(AcceptedConnection& connection) {
    SB_ASSERT_SERVICE_THREAD();
    KXSocket socket = connection.socket;
    connection.socket = KX_INVALID_SOCKET;
    auto user =
        std::make_unique<SockIoUser>(this, NextUserId(), connection.ip, connection.port, socket);
    auto* manager = static_cast<ManagerV1*>(backEnd());
    manager->SetEventCallback(SockIoUser::OnEvent, user.get());
    manager->SetImageCallback(SockIoUser::OnImage, user.get());
    AddUser(std::move(user));
}

}  // namespace ver_1

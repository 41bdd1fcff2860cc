#include "ver_2/ws_server.h"

#include <memory>

#include "platform/base/kx_log.h"
#include "platform/base/service_thread.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

namespace {

// Refusals closer together than this belong to one burst.
constexpr std::chrono::seconds kRefusalBurstGap(30);

}  // namespace

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

void WSServer::LogRefusal(const std::string& ip, uint16_t port) {
    {
        MutexLock guard(refusalMutex_);
        auto now = std::chrono::steady_clock::now();
        bool newBurst = !refusedBefore_ || now - lastRefusal_ > kRefusalBurstGap;
        refusedBefore_ = true;
        lastRefusal_ = now;
        if (!newBurst) return;
    }
    KXBase_WriteInfo(KX_LOG_INFO,
                     "refused client %s:%u: another page is connected and one page is served at "
                     "a time (refusals that follow within %lld s of each other are not logged)",
                     ip.c_str(), static_cast<unsigned>(port),
                     static_cast<long long>(kRefusalBurstGap.count()));
}

}  // namespace ver_2

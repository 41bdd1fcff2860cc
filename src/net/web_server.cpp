#include "net/web_server.h"

#include <cerrno>

#include "platform/base/kx_log.h"
#include "platform/base/kx_system.h"
#include "platform/base/service_thread.h"

WebServer::WebServer(KXPump pump, Manager* backEnd) : pump_(pump), backEnd_(backEnd) {}

WebServer::~WebServer() = default;

bool WebServer::Open(uint16_t port) {
    SB_ASSERT_SERVICE_THREAD();
    if (IsOpen()) return false;
    KXListenFailure failure = KXListenFailure::kNone;
    KXSocket socket = KX_INVALID_SOCKET;
    if (KXSocket_Listen(port, 5, &socket, &failure) != KX_OK) {
        int reason = errno;
        KXBase_WriteInfo(KX_LOG_INFO, "open webserver failed %d, port=%u",
                         static_cast<int>(failure), static_cast<unsigned>(port));
        LogOpenFailureReason(port, reason);
        return false;
    }
    listenSocket_ = socket;
    if (KXBase_OpenThread(AcceptThread, this, &acceptThread_) != KX_OK) {
        KXSocket_Close(listenSocket_);
        listenSocket_ = KX_INVALID_SOCKET;
        KXBase_WriteInfo(KX_LOG_INFO, "open webserver failed 4, port=%u",
                         static_cast<unsigned>(port));
        return false;
    }
    KXBase_WriteInfo(KX_LOG_INFO, "open webserver success, port=%u", static_cast<unsigned>(port));
    return true;
}

bool WebServer::Close() {
    SB_ASSERT_SERVICE_THREAD();
    if (!IsOpen()) return false;
    while (!users_.empty()) {
        std::unique_ptr<WebUser> user = std::move(users_.front());
        users_.pop_front();
    }
    // A shutdown wakes the blocked accept; the descriptor is closed only once
    // the accept thread is gone.
    KXSocket_Shutdown(listenSocket_);
    KXBase_CloseThread(acceptThread_);
    acceptThread_ = nullptr;
    KXSocket_Close(listenSocket_);
    listenSocket_ = KX_INVALID_SOCKET;
    return true;
}

void WebServer::RemoveUser(uint32_t id) {
    SB_ASSERT_SERVICE_THREAD();
    for (auto it = users_.begin(); it != users_.end(); ++it) {
        if ((*it)->id() == id) {
            std::unique_ptr<WebUser> user = std::move(*it);
            users_.erase(it);
            return;
        }
    }
}

WebUser* WebServer::FindUser(uint32_t id) const {
    SB_ASSERT_SERVICE_THREAD();
    for (const auto& user : users_) {
        if (user->id() == id) return user.get();
    }
    return nullptr;
}

void WebServer::AddUser(std::unique_ptr<WebUser> user) {
    ++nextUserId_;
    if (!user->Start()) {
        KXBase_WriteInfo(KX_LOG_INFO, "connection thread failed, id=%u", user->id());
        return;
    }
    users_.push_back(std::move(user));
}

void WebServer::AcceptThread(KXThread, void* param) {
    auto* server = static_cast<WebServer*>(param);
    for (;;) {
        auto connection = std::make_unique<AcceptedConnection>();
        connection->server = server;
        if (KXSocket_Accept(server->listenSocket_, &connection->socket, &connection->ip,
                            &connection->port) != KX_OK) {
            return;
        }
        KXSocket socket = connection->socket;
        if (!PostPayload(server->pump_, PUMP_MSG_USER_CONNECTED, std::move(connection))) {
            KXSocket_Close(socket);
        }
    }
}

std::string WebServer::ListenAddress() const {
    return IsOpen() ? KXSocket_LocalAddress(listenSocket_) : std::string();
}

// The numbered failure line above is terse; this one says why in the
// system's words and, for a taken port, what the user can do about it.
void WebServer::LogOpenFailureReason(uint16_t port, int reason) const {
    std::string text = KXBase_ErrorText(reason);
    if (reason != EADDRINUSE) {
        KXBase_WriteInfo(KX_LOG_INFO, "port %u cannot be opened: %s", static_cast<unsigned>(port),
                         text.c_str());
        return;
    }
    const char* setting = PortSetting();
    KXBase_WriteInfo(KX_LOG_INFO, "port %u is in use — another instance%s%s (%s)",
                     static_cast<unsigned>(port), setting != nullptr ? ", or set " : "",
                     setting != nullptr ? setting : "", text.c_str());
}

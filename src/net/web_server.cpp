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
    for (const std::string& address : policy_.addresses) {
        KXListenFailure failure = KXListenFailure::kNone;
        auto listener = std::make_unique<Listener>();
        listener->server = this;
        if (KXSocket_Listen(address, port, 5, &listener->socket, &failure) == KX_OK) {
            listeners_.push_back(std::move(listener));
            continue;
        }
        if (failure == KXListenFailure::kUnavailable) {
            KXBase_WriteInfo(KX_LOG_INFO, "listen address %s not available here, port=%u",
                             address.c_str(), static_cast<unsigned>(port));
            continue;
        }
        int reason = errno;
        CloseListeners();
        KXBase_WriteInfo(KX_LOG_INFO, "open webserver failed %d, port=%u",
                         static_cast<int>(failure), static_cast<unsigned>(port));
        LogOpenFailureReason(port, reason);
        return false;
    }
    if (listeners_.empty()) {
        KXBase_WriteInfo(KX_LOG_INFO, "open webserver failed %d, port=%u",
                         static_cast<int>(KXListenFailure::kBind), static_cast<unsigned>(port));
        return false;
    }
    for (auto& listener : listeners_) {
        if (KXBase_OpenThread(AcceptThread, listener.get(), &listener->thread) != KX_OK) {
            CloseListeners();
            KXBase_WriteInfo(KX_LOG_INFO, "open webserver failed 4, port=%u",
                             static_cast<unsigned>(port));
            return false;
        }
    }
    KXBase_WriteInfo(KX_LOG_INFO, "open webserver success, port=%u", static_cast<unsigned>(port));
    return true;
}

bool WebServer::Close() {
    SB_ASSERT_SERVICE_THREAD();
    if (!IsOpen()) return false;
    for (auto& user : users_)
        user->OnServerClosing();
    while (!users_.empty()) {
        std::unique_ptr<WebUser> user = std::move(users_.front());
        users_.pop_front();
        ReleaseSlot();
    }
    CloseListeners();
    return true;
}

void WebServer::CloseListeners() {
    // A shutdown wakes the blocked accept; the descriptor is closed only once
    // the accept thread is gone.
    for (auto& listener : listeners_) {
        KXSocket_Shutdown(listener->socket);
        if (listener->thread != nullptr) KXBase_CloseThread(listener->thread);
        KXSocket_Close(listener->socket);
    }
    listeners_.clear();
}

void WebServer::AcceptUser(AcceptedConnection& connection) {
    SB_ASSERT_SERVICE_THREAD();
    ConnectionBudget* budget = policy_.budget;
    if (budget != nullptr && budget->open >= budget->limit) {
        if (!budget->refusing) {
            KXBase_WriteInfo(KX_LOG_INFO,
                             "%zu connections open, the most served at once; closing new "
                             "connections until one ends",
                             budget->open);
            budget->refusing = true;
        }
        KXSocket_Close(connection.socket);
        connection.socket = KX_INVALID_SOCKET;
        return;
    }
    CreateUser(connection);
}

void WebServer::RemoveUser(uint32_t id) {
    SB_ASSERT_SERVICE_THREAD();
    for (auto it = users_.begin(); it != users_.end(); ++it) {
        if ((*it)->id() == id) {
            std::unique_ptr<WebUser> user = std::move(*it);
            users_.erase(it);
            ReleaseSlot();
            return;
        }
    }
}

void WebServer::ReleaseSlot() {
    ConnectionBudget* budget = policy_.budget;
    if (budget == nullptr || budget->open == 0) return;
    --budget->open;
    budget->refusing = false;
}

WebUser* WebServer::FindUser(uint32_t id) const {
    SB_ASSERT_SERVICE_THREAD();
    for (const auto& user : users_) {
        if (user->id() == id) return user.get();
    }
    return nullptr;
}

bool WebServer::AdmitsOrigin(const HttpRequest& request) const {
    return policy_.origins == nullptr || policy_.origins->Admits(request.origin);
}

void WebServer::AddUser(std::unique_ptr<WebUser> user) {
    ++nextUserId_;
    if (!user->Start()) {
        KXBase_WriteInfo(KX_LOG_INFO, "connection thread failed, id=%u", user->id());
        return;
    }
    users_.push_back(std::move(user));
    if (policy_.budget != nullptr) ++policy_.budget->open;
}

void WebServer::AcceptThread(KXThread, void* param) {
    auto* listener = static_cast<Listener*>(param);
    WebServer* server = listener->server;
    for (;;) {
        auto connection = std::make_unique<AcceptedConnection>();
        connection->server = server;
        if (KXSocket_Accept(listener->socket, &connection->socket, &connection->ip,
                            &connection->port) != KX_OK) {
            return;
        }
        KXSocket_SetSendTimeout(connection->socket, server->policy_.sendTimeoutMs);
        KXSocket socket = connection->socket;
        if (!PostPayload(server->pump_, PUMP_MSG_USER_CONNECTED, std::move(connection))) {
            KXSocket_Close(socket);
        }
    }
}

std::vector<std::string> WebServer::ListenAddresses() const {
    std::vector<std::string> addresses;
    for (const auto& listener : listeners_)
        addresses.push_back(KXSocket_LocalAddress(listener->socket));
    return addresses;
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

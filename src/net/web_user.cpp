#include "net/web_user.h"

#include <memory>

#include "net/pump_messages.h"
#include "net/web_server.h"
#include "platform/base/kx_log.h"

WebUser::WebUser(WebServer* server, uint32_t id, std::string ip, uint16_t port, KXSocket socket)
    : server_(server), id_(id), ip_(std::move(ip)), port_(port), socket_(socket) {
    KXBase_CreateLock(&sendLock_);
}

WebUser::~WebUser() {
    StopThread();
    port_ = 0;
    ip_.clear();
    id_ = 0;
    KXBase_DestroyLock(sendLock_);
    server_ = nullptr;
}

void WebUser::ThreadFunc() {
    KXBase_WriteInfo(KX_LOG_INFO, "WebUser::ThreadFunc");
}

bool WebUser::Start() {
    return KXBase_OpenThread(UserThreadEntry, this, &thread_) == KX_OK;
}

void WebUser::StopThread() {
    if (socket_ == KX_INVALID_SOCKET) return;
    // Shut down before closing: a blocked recv on Linux is only woken by a
    // shutdown, and the descriptor must stay ours until the thread is gone.
    KXSocket_Shutdown(socket_);
    if (thread_ != nullptr) {
        KXBase_CloseThread(thread_);
        thread_ = nullptr;
    }
    KXSocket_Close(socket_);
    socket_ = KX_INVALID_SOCKET;
}

void WebUser::PostClose() {
    auto payload = std::make_unique<ConnectionRef>();
    payload->server = server_;
    payload->id = id_;
    PostPayload(server_->pump(), PUMP_MSG_USER_CLOSED, std::move(payload));
}

void WebUser::SendLocked(const void* head, size_t headSize, const void* body, size_t bodySize) {
    KXLockGuard guard(sendLock_);
    bool sent = headSize == 0 || KXSocket_SendAll(socket_, head, headSize, bodySize != 0) == KX_OK;
    if (sent && bodySize != 0) sent = KXSocket_SendAll(socket_, body, bodySize) == KX_OK;
    // A send that failed or timed out may have left part of a message on the
    // wire, so the stream is no longer usable: end the connection, which
    // also makes later sends fail at once instead of waiting out the
    // time-out again. The connection thread then sees the end and closes.
    if (!sent) KXSocket_Shutdown(socket_);
}

void WebUser::UserThreadEntry(KXThread, void* user) {
    static_cast<WebUser*>(user)->ThreadFunc();
}

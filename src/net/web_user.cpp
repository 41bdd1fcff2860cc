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
    if (outputEnded_) return;
    bool sent = headSize == 0 || KXSocket_SendAll(socket_, head, headSize, bodySize != 0) == KX_OK;
    if (sent && bodySize != 0) sent = KXSocket_SendAll(socket_, body, bodySize) == KX_OK;
    // A send that failed or timed out may have left part of a message on the
    // wire, so the stream is no longer usable: end the connection, which
    // also makes later sends fail at once instead of waiting out the
    // time-out again. The connection thread then sees the end and closes.
    if (!sent) KXSocket_Shutdown(socket_);
}

void WebUser::SendLast(const void* bytes, size_t size) {
    KXLockGuard guard(sendLock_);
    if (outputEnded_) return;
    outputEnded_ = true;
    KXSocket_SendAll(socket_, bytes, size);
}

void WebUser::SendUpgrade(const std::string& reply) {
    KXLockGuard guard(sendLock_);
    if (outputEnded_) return;
    upgraded_ = true;
    if (KXSocket_SendAll(socket_, reply.data(), reply.size()) != KX_OK) KXSocket_Shutdown(socket_);
}

void WebUser::SendLastIfUpgraded(const void* bytes, size_t size) {
    KXLockGuard guard(sendLock_);
    if (outputEnded_ || !upgraded_) return;
    outputEnded_ = true;
    KXSocket_SendAll(socket_, bytes, size);
}

void WebUser::SendRefusal(const char* status, const std::string& reason) {
    std::string body = reason + "\n";
    std::string reply = std::string("HTTP/1.1 ") + status +
                        "\r\nContent-Type: text/plain; charset=utf-8\r\n"
                        "X-Content-Type-Options: nosniff\r\nConnection: close\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n\r\n" + body;
    SendLast(reply.data(), reply.size());
}

KXPump WebUser::pump() const {
    return server_->pump();
}

bool WebUser::ReserveQueued(size_t bytes) {
    size_t messages = queuedMessages_.fetch_add(1) + 1;
    size_t total = queuedBytes_.fetch_add(bytes) + bytes;
    if (messages == 1 || (messages <= kMaxQueuedMessages && total <= kMaxQueuedBytes)) return true;
    MessageHandled(bytes);
    KXBase_WriteInfo(KX_LOG_INFO,
                     "connection %u from %s sends faster than it is served (%zu messages "
                     "waiting); closing it",
                     id_, ip_.c_str(), messages - 1);
    // The peer learns at once; the connection object goes when the service
    // thread reaches the close message behind what is queued.
    KXSocket_Shutdown(socket_);
    return false;
}

void WebUser::MessageHandled(size_t bytes) {
    queuedMessages_.fetch_sub(1);
    queuedBytes_.fetch_sub(bytes);
}

void WebUser::UserThreadEntry(KXThread, void* user) {
    static_cast<WebUser*>(user)->ThreadFunc();
}

// One accepted connection: its socket, peer address, id, the send lock and
// the thread that reads from the socket.
//
// Created and deleted only on the service thread (by its server). The
// connection thread runs ThreadFunc; it reads the socket and hands complete
// requests to the service thread through the pump, and ends by posting
// PUMP_MSG_USER_CLOSED. Writers (the service thread for replies and events,
// the connection thread for protocol answers) hold the send lock for each
// complete frame or reply, so output never interleaves.
//
// The messages a connection thread has handed to the service thread and
// that are not yet handled are counted: a peer that sends faster than the
// service works through (more than kMaxQueuedMessages or kMaxQueuedBytes
// waiting) has its connection ended, so it cannot fill memory or delay
// every other client without end.
//
// Destruction: the most derived destructor must call StopThread() first, so
// that the thread has ended before any part of the object is torn down.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "net/pump_messages.h"
#include "platform/base/kx_socket.h"
#include "platform/base/kx_thread.h"
#include "platform/base/thread_annotations.h"

class WebServer;

// The reason given when a page's origin is refused.
inline constexpr char kOriginRefused[] =
    "Forbidden: the page's origin is not allowed to use this scanner service";

class WebUser {
  public:
    WebUser(WebServer* server, uint32_t id, std::string ip, uint16_t port, KXSocket socket);
    virtual ~WebUser();
    WebUser(const WebUser&) = delete;
    WebUser& operator=(const WebUser&) = delete;

    // The connection's protocol loop, run on its own thread.
    virtual void ThreadFunc();

    // Starts the connection thread. Service thread.
    bool Start();
    // Ends the socket (waking a blocked recv), waits for the thread, closes
    // the socket. Idempotent. Service thread.
    void StopThread();
    // Posts PUMP_MSG_USER_CLOSED for this connection. Connection thread.
    void PostClose();
    // Sends head then body (either may be empty) while holding the send lock.
    // Nothing is sent once SendLast has run.
    void SendLocked(const void* head, size_t headSize, const void* body, size_t bodySize)
        EXCLUDES(sendLock_);
    // Sends the connection's last bytes (a refusal, a close frame): later
    // sends are dropped, so nothing follows them on the wire.
    void SendLast(const void* bytes, size_t size) EXCLUDES(sendLock_);
    // Sends the reply that upgrades the connection and marks it upgraded
    // under the send lock, so SendLastIfUpgraded, on any thread, finds the
    // connection either not upgraded or upgraded with the reply on the wire.
    void SendUpgrade(const std::string& reply) EXCLUDES(sendLock_);
    // SendLast on an upgraded connection; nothing otherwise.
    void SendLastIfUpgraded(const void* bytes, size_t size) EXCLUDES(sendLock_);
    // Answers a refused request with the status ("403 Forbidden") and a
    // one-line reason; the connection should end afterwards.
    void SendRefusal(const char* status, const std::string& reason);
    // Called on the service thread when the server closes, before the
    // connection is deleted; the default does nothing.
    virtual void OnServerClosing() {}

    static constexpr size_t kMaxQueuedMessages = 1024;
    static constexpr size_t kMaxQueuedBytes = 64 * 1024 * 1024;
    // Connection thread: posts a message carrying bytes of the peer's data
    // to the service thread, counted against the limits above (the first
    // waiting message may be of any size). False, with the payload released,
    // when the peer is over the limits or the post is refused; the caller
    // then ends the connection.
    template <typename Payload>
    bool PostFromPeer(uint32_t messageId, std::unique_ptr<Payload> payload, size_t bytes) {
        if (!ReserveQueued(bytes)) return false;
        if (PostPayload(pump(), messageId, std::move(payload))) return true;
        MessageHandled(bytes);
        return false;
    }
    // Service thread: one message posted with PostFromPeer has been taken.
    void MessageHandled(size_t bytes);

    WebServer* server() const { return server_; }
    uint32_t id() const { return id_; }
    const std::string& ip() const { return ip_; }
    uint16_t port() const { return port_; }
    KXSocket socket() const { return socket_; }
    KXLock sendLock() const RETURN_CAPABILITY(sendLock_) { return sendLock_; }

  private:
    static void UserThreadEntry(KXThread thread, void* user);
    bool ReserveQueued(size_t bytes);
    KXPump pump() const;

    WebServer* server_;
    KXLock sendLock_ = nullptr;
    uint32_t id_;
    std::string ip_;
    uint16_t port_;
    KXSocket socket_;
    KXThread thread_ = nullptr;
    bool outputEnded_ GUARDED_BY(sendLock_) = false;
    bool upgraded_ GUARDED_BY(sendLock_) = false;
    std::atomic<size_t> queuedMessages_{0};
    std::atomic<size_t> queuedBytes_{0};
};

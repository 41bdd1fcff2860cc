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
// Destruction: the most derived destructor must call StopThread() first, so
// that the thread has ended before any part of the object is torn down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/base/kx_socket.h"
#include "platform/base/kx_thread.h"

class WebServer;

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
    void SendLocked(const void* head, size_t headSize, const void* body, size_t bodySize);

    WebServer* server() const { return server_; }
    uint32_t id() const { return id_; }
    const std::string& ip() const { return ip_; }
    uint16_t port() const { return port_; }
    KXSocket socket() const { return socket_; }
    KXLock sendLock() const { return sendLock_; }

  private:
    static void UserThreadEntry(KXThread thread, void* user);

    WebServer* server_;
    KXLock sendLock_ = nullptr;
    uint32_t id_;
    std::string ip_;
    uint16_t port_;
    KXSocket socket_;
    KXThread thread_ = nullptr;
};

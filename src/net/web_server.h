// A listening TCP server: its socket, its accept thread and the connections
// it owns.
//
// Open, Close, CreateUser, RemoveUser and FindUser run on the service thread
// only; the accept thread only accepts and posts PUMP_MSG_USER_CONNECTED.
// The connection list is touched by the service thread alone and has no
// lock. Close must run before destruction.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "net/manager.h"
#include "net/pump_messages.h"
#include "net/web_user.h"
#include "platform/base/kx_pump.h"
#include "platform/base/kx_socket.h"
#include "platform/base/kx_thread.h"

class WebServer {
  public:
    WebServer(KXPump pump, Manager* backEnd);
    virtual ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Listens on every IPv4 interface; false (and a log line) on failure or
    // when already open.
    bool Open(uint16_t port);
    // Deletes every connection, stops listening and joins the accept thread;
    // false when the server was not open.
    bool Close();
    bool IsOpen() const { return listenSocket_ != KX_INVALID_SOCKET; }
    // The address and port the server listens on ("0.0.0.0:38999"); empty
    // when closed.
    std::string ListenAddress() const;

    // Handles PUMP_MSG_USER_CONNECTED: makes the connection object and starts
    // its thread, or closes the socket. Takes the socket in every case.
    virtual void CreateUser(AcceptedConnection& connection) = 0;
    // Unlinks and deletes the connection with this id; unknown ids are ignored.
    void RemoveUser(uint32_t id);
    // The connection with this id, or null.
    WebUser* FindUser(uint32_t id) const;

    KXPump pump() const { return pump_; }
    Manager* backEnd() const { return backEnd_; }
    size_t userCount() const { return users_.size(); }

  protected:
    // Gives the new connection the next id, starts its thread and keeps it.
    // The subclass constructs the object with NextUserId().
    uint32_t NextUserId() const { return nextUserId_; }
    void AddUser(std::unique_ptr<WebUser> user);

    // The configuration setting that moves this server to another port, for
    // the hint logged when its port is taken; null when the port is fixed.
    virtual const char* PortSetting() const { return nullptr; }

  private:
    void LogOpenFailureReason(uint16_t port, int reason) const;
    static void AcceptThread(KXThread thread, void* server);

    KXPump pump_;
    uint32_t nextUserId_ = 1;
    KXSocket listenSocket_ = KX_INVALID_SOCKET;
    KXThread acceptThread_ = nullptr;
    std::list<std::unique_ptr<WebUser>> users_;
    Manager* backEnd_;
};

// A listening TCP server: its sockets (one per listen address, each with
// its accept thread) and the connections it owns.
//
// Open, Close, AcceptUser, CreateUser, RemoveUser and FindUser run on the
// service thread only; the accept threads only accept and post
// PUMP_MSG_USER_CONNECTED. The connection list is touched by the service
// thread alone and has no lock. Close must run before destruction.
//
// What every server of the service shares is given in a ServerPolicy before
// Open: the addresses to listen on, the origin check for browser requests
// (read by connection threads), the connection budget (service thread) and
// the time a new connection has to send its handshake or request head.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "net/http_request.h"
#include "net/manager.h"
#include "net/origin_gate.h"
#include "net/pump_messages.h"
#include "net/web_user.h"
#include "platform/base/kx_pump.h"
#include "platform/base/kx_socket.h"
#include "platform/base/kx_thread.h"

// How many connections a group of servers keeps open at once; a connection
// beyond that is closed as it is accepted. Service thread only.
struct ConnectionBudget {
    size_t limit = 64;
    size_t open = 0;
    bool refusing = false;  // the refusal has been logged since the last free slot
};

struct ServerPolicy {
    std::vector<std::string> addresses = {"127.0.0.1", "::1"};
    OriginGate* origins = nullptr;       // not owned; null serves every origin
    ConnectionBudget* budget = nullptr;  // not owned; null means no limit
    int headTimeoutMs = 10000;
    // A send to a connection that makes no progress this long fails, so a
    // peer that stops reading cannot stall the service thread for ever.
    int sendTimeoutMs = 60000;
};

class WebServer {
  public:
    WebServer(KXPump pump, Manager* backEnd);
    virtual ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Before Open.
    void SetPolicy(const ServerPolicy& policy) { policy_ = policy; }

    // Listens on the policy's addresses; false (and a log line) on failure
    // or when already open. An address this machine lacks (the IPv6
    // loopback without IPv6) is skipped with a log line while another one
    // opens; any other failure closes what was opened.
    bool Open(uint16_t port);
    // Deletes every connection (each may say goodbye first), stops listening
    // and joins the accept threads; false when the server was not open.
    bool Close();
    bool IsOpen() const { return !listeners_.empty(); }
    // The addresses and port the server listens on ("127.0.0.1:38999",
    // "[::1]:38999"); none when closed.
    std::vector<std::string> ListenAddresses() const;

    // Handles PUMP_MSG_USER_CONNECTED: closes the socket when the budget is
    // used up, else hands it to CreateUser.
    void AcceptUser(AcceptedConnection& connection);
    // Makes the connection object and starts its thread, or closes the
    // socket. Takes the socket in every case.
    virtual void CreateUser(AcceptedConnection& connection) = 0;
    // Unlinks and deletes the connection with this id; unknown ids are ignored.
    void RemoveUser(uint32_t id);
    // The connection with this id, or null.
    WebUser* FindUser(uint32_t id) const;

    // Whether a request with this head is served (no Origin header, or an
    // allowed one). Any thread.
    bool AdmitsOrigin(const HttpRequest& request) const;
    int headTimeoutMs() const { return policy_.headTimeoutMs; }

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
    struct Listener {
        WebServer* server = nullptr;
        KXSocket socket = KX_INVALID_SOCKET;
        KXThread thread = nullptr;
    };

    void LogOpenFailureReason(uint16_t port, int reason) const;
    static void AcceptThread(KXThread thread, void* listener);
    void CloseListeners();
    void ReleaseSlot();

    KXPump pump_;
    uint32_t nextUserId_ = 1;
    std::vector<std::unique_ptr<Listener>> listeners_;
    std::list<std::unique_ptr<WebUser>> users_;
    Manager* backEnd_;
    ServerPolicy policy_;
};

// The generation-2 WebSocket server. It serves one page at a time: the
// first connection to complete its opening handshake becomes the page's
// connection, and until it ends any other handshake is refused. Connections
// still in their handshake do not count, so a peer that connects and sends
// nothing cannot lock the page out (the head time limit ends it).
//
// CreateUser runs on the service thread; ClaimPage, ReleasePage and
// LogRefusal on the connection threads and the service thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "net/web_server.h"
#include "platform/base/annotated_mutex.h"

namespace ver_2 {

class ManagerV2;

class WSServer : public WebServer {
  public:
    WSServer(KXPump pump, ManagerV2* manager);

    void CreateUser(AcceptedConnection& connection) override;

    // Makes the connection with this id the page's connection; false when
    // another one already is.
    bool ClaimPage(uint32_t id);
    // Frees the place held by this id (no effect for any other id).
    void ReleasePage(uint32_t id);
    // Logs a handshake refused because another page is connected. A page
    // that retries its connection is refused over and over; only the first
    // refusal of such a burst is logged.
    void LogRefusal(const std::string& ip, uint16_t port) EXCLUDES(refusalMutex_);

  protected:
    const char* PortSetting() const override { return "[connect] port"; }

  private:
    std::atomic<uint32_t> pageUser_{0};  // 0: no page connected
    Mutex refusalMutex_;
    std::chrono::steady_clock::time_point lastRefusal_ GUARDED_BY(refusalMutex_){};
    bool refusedBefore_ GUARDED_BY(refusalMutex_) = false;
};

}  // namespace ver_2

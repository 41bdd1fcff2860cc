// The generation-2 WebSocket server. It serves one page at a time: while a
// connection exists, a new one is closed at once. Service thread only.
#pragma once

#include <chrono>

#include "net/web_server.h"

namespace ver_2 {

class ManagerV2;

class WSServer : public WebServer {
  public:
    WSServer(KXPump pump, ManagerV2* manager);

    void CreateUser(AcceptedConnection& connection) override;

  protected:
    const char* PortSetting() const override { return "[connect] port"; }

  private:
    // A page that retries its connection is refused over and over; only the
    // first refusal of such a burst is logged.
    void LogRefusal(const AcceptedConnection& connection);

    std::chrono::steady_clock::time_point lastRefusal_{};
    bool refusedBefore_ = false;
};

}  // namespace ver_2

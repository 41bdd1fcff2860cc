// The generation-2 connection: one WebSocket carrying JSON commands from the
// page, their replies, and events pushed while scanners come and go and
// while a scan runs.
//
// Created and deleted on the service thread by WSServer. HandleCommand runs
// on the service thread; OnDeviceEvent runs on a scanner-driver thread under
// the back end's lock and only formats text and posts it. The event tags are
// written by the service thread while no events that read them can arrive
// (before the driver starts, while no scan runs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/websocket_user.h"
#include "ver_2/command.h"

namespace ver_2 {

class ManagerV2;

// What shapes the pushed events: the identifiers the page gave and the
// options of the running scan.
struct EventTags {
    std::string deviceIden;
    bool hasDeviceIden = false;
    std::string scanIden;
    bool hasScanIden = false;
    bool blankCheck = false;
    bool localSave = true;
    bool getBase64 = false;

    void ResetScan() {
        scanIden.clear();
        hasScanIden = false;
        blankCheck = false;
        localSave = true;
        getBase64 = false;
    }
};

class WSUser : public WebSocketUser {
  public:
    WSUser(WebServer* server, uint32_t id, std::string ip, uint16_t port, KXSocket socket);
    ~WSUser() override;

    // Parses one message and runs its command; unparsable messages, values
    // that are not objects and unknown names get no reply.
    void HandleCommand(const uint8_t* text, size_t length);

    // The back end's event callback: (code, text, flag, this connection).
    static void OnDeviceEvent(int code, const char* text, int flag, void* user);

    ManagerV2& manager() const;
    EventTags& tags() { return tags_; }

  protected:
    const char* ThreadName() const override { return "WSUser::ThreadFunc"; }
    bool CheckHandshake(const std::string& text) override;

  private:
    // Prints an event object and posts it for the service thread to send.
    void PostEvent(cJSON* event);

    EventTags tags_;
};

}  // namespace ver_2

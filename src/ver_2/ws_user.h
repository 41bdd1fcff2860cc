// The generation-2 connection: one WebSocket carrying JSON commands from the
// page, their replies, and events pushed while scanners come and go and
// while a scan runs.
//
// Created and deleted on the service thread by WSServer. HandleCommand runs
// on the service thread; OnDeviceEvent and OnScanImage run on the back end's
// driver-side threads while the back end's lock is held, and only build text
// and post it (OnScanImage also reads or deletes the page's file). The event
// tags are read there under that lock, so commands write them under it too.
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

    // Parses one message and runs its command; an unknown name is refused
    // with a reply, while unparsable messages, values that are not objects
    // and messages without a string "func" are logged and get no reply.
    void HandleCommand(const uint8_t* text, size_t length);

    // The back end's event callback: (code, text, flag, this connection).
    static void OnDeviceEvent(int code, const char* text, int flag, void* user);
    // The back end's page callback: (saved file, is-blank flag, this connection).
    static void OnScanImage(const char* path, int isBlank, void* user);

    ManagerV2& manager() const;
    // The event tags; written under the back end's lock.
    EventTags& tags() { return tags_; }

  protected:
    const char* ThreadName() const override { return "WSUser::ThreadFunc"; }
    bool CheckHandshake(const std::string& text) override;

  private:
    // An event object with "func" and, when the flag is set, "iden".
    static cJSON* MakeEvent(const char* func, bool hasIden, const std::string& iden);
    // Prints an event object, deletes it and posts the text for the service
    // thread to send.
    void PostEvent(cJSON* event);

    EventTags tags_;
    // Set on the connection thread when this connection became the page's
    // (see WSServer); read by the destructor once that thread has ended.
    bool page_ = false;
};

}  // namespace ver_2

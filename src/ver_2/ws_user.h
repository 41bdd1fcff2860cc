// The generation-2 connection: one WebSocket carrying JSON commands from the
// page, their replies, and events pushed while scanners come and go and
// while a scan runs.
//
// Created and deleted on the service thread by WSServer. HandleCommand runs
// on the service thread; OnDeviceEvent and OnScanImage run on the back end's
// driver-side threads while the back end's lock is held, and only build text
// and post it (OnScanImage also reads or deletes the page's file). The event
// tags are read there under that lock, so they are GUARDED_BY it and written
// only through the setters, which take it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/websocket_user.h"
#include "platform/base/kx_thread.h"
#include "platform/base/thread_annotations.h"
#include "ver_2/command.h"

namespace ver_2 {

class ManagerV2;

// What shapes the events of a scan: the identifier the page gave with
// "start_scan" and the scan's options. The defaults are those of no scan.
struct ScanTags {
    std::string iden;
    bool hasIden = false;
    bool blankCheck = false;
    bool localSave = true;
    bool getBase64 = false;
};

// What shapes the pushed events: the identifier the page gave with
// "init_device" and the tags of the running scan.
struct EventTags {
    std::string deviceIden;
    bool hasDeviceIden = false;
    ScanTags scan;
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
    // The event tags, each setter under the back end's lock. Empty iden and
    // false clear the device's; ScanTags{} resets the scan's.
    void SetDeviceIden(const std::string& iden, bool hasIden) EXCLUDES(backEndLock_);
    void SetScanTags(const ScanTags& scan) EXCLUDES(backEndLock_);

  protected:
    const char* ThreadName() const override { return "WSUser::ThreadFunc"; }
    bool CheckHandshake(const std::string& text) override;

  private:
    // Prints an event object, deletes it and posts the text for the service
    // thread to send.
    void PostEvent(cJSON* event);

    // The scan session's lock (ManagerV2::lock), which outlives the connection.
    KXLock backEndLock_;
    EventTags tags_ GUARDED_BY(backEndLock_);
    // Set on the connection thread when this connection became the page's
    // (see WSServer); read by the destructor once that thread has ended.
    bool page_ = false;
};

}  // namespace ver_2

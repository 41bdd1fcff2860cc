// The first-generation back end: the one open scanner, its scan parameters,
// the scan state and the two callback slots through which progress and
// scanned images reach the newest Socket.IO connection.
//
// Thread rule: every operation runs on the service thread except the scanner
// event handler, which runs on a driver thread. `lock` guards the callback
// slots only; while `scanning` is set the driver thread files pages and every
// service-thread operation on the store refuses to run.
//
// Ownership: constructed and destroyed by the service thread; the servers
// keep a pointer to it. It owns the lock and the scan-done event.
#pragma once

#include <string>

#include "net/manager.h"
#include "platform/base/kx_pump.h"
#include "platform/base/kx_thread.h"
#include "platform/driver/sane_qnsane.h"

namespace ver_1 {

// Progress sink: (code, text, flag, user data).
using EventCallback = void (*)(int code, const char* text, int flag, void* userData);
// Image sink: (image name, data URL, user data).
using ImageCallback = void (*)(const char* name, const char* dataUrl, void* userData);

class ManagerV1 : public Manager {
  public:
    explicit ManagerV1(KXPump pump);
    ~ManagerV1() override;
    ManagerV1(const ManagerV1&) = delete;
    ManagerV1& operator=(const ManagerV1&) = delete;

    // Registers the scanner event handler with the driver.
    void InitDriver();
    // Stops a running scan, closes the scanner and ends the driver; the
    // destructor does the same. Idempotent.
    void Shutdown();

    void SetEventCallback(EventCallback callback, void* userData);
    void SetImageCallback(ImageCallback callback, void* userData);

    // Pump messages posted by the scanner event handler.
    void OpenArrivedDevice(const std::string& name);
    void CloseLeftDevice(const std::string& name);
    bool StopScan();

    // Starts a scan whose pages are inserted before insertBeforeName (insert
    // mode) or appended; false when busy, without a scanner or refused.
    bool StartScan(const std::string& insertBeforeName, bool insertMode);
    bool scanning() const { return scanning_; }
    bool HasDevice() const { return device_ != nullptr; }

    // The scanner event handler (driver thread).
    static SANE_Int DriverEventHandler(void* opaque, SANE_Int code, void* data, SANE_Int* value,
                                       void* user);

  private:
    void CallEvent(int code, const char* text, int flag);

    KXPump pump_;
    KXLock lock_ = nullptr;
    std::string deviceName_;
    SANE_Handle device_ = nullptr;
    EventCallback eventCallback_ = nullptr;
    void* eventUserData_ = nullptr;
    ImageCallback imageCallback_ = nullptr;
    void* imageUserData_ = nullptr;
    std::string insertBeforeName_;
    bool insertMode_ = false;
    bool scanning_ = false;
    KXEvent scanDoneEvent_ = nullptr;
    bool driverInited_ = false;
};

}  // namespace ver_1

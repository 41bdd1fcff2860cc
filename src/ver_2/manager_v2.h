// The second-generation back end: global settings, the scanner driver and
// the open scanner, scans, the batch database, folder binding and the list of
// files this service saved.
//
// Thread rule: every operation runs on the service thread, except the
// scanner event handler, which runs on a driver thread. `lock` guards the two
// callback slots, `deviceNameList` and page saving (which reads the
// settings); the driver thread touches nothing else. Operations that can fail
// return 0 or -1 and set errorText to "错误" on entry, emptying it on success.
//
// Ownership: the service thread constructs and destroys the object; servers
// keep a pointer to it. The object owns the lock, the database connection and
// the scan-done event.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/manager.h"
#include "platform/base/kx_pump.h"
#include "platform/base/kx_thread.h"
#include "platform/driver/sane_qnsane.h"

namespace ver_2 {

// Progress sink of the connected page: (code, text, flag, user data).
using EventCallback = void (*)(int code, const char* text, int flag, void* userData);
// Page sink of the connected page: (saved file path, is-blank flag, user data).
using ImageCallback = void (*)(const char* path, int isBlank, void* userData);

struct GlobalConfig {
    std::string fileSavePath;
    std::string fileNamePrefix;
    std::string fileNameMode;
    std::string imageFormat;
    int32_t imageJpegQuality = 0;
    std::string imageTiffCompression;
    int32_t imageTiffJpegQuality = 0;
};

class ManagerV2 : public Manager {
  public:
    explicit ManagerV2(KXPump pump);
    ~ManagerV2() override;
    ManagerV2(const ManagerV2&) = delete;
    ManagerV2& operator=(const ManagerV2&) = delete;

    // Callback slots, filled and cleared by the connection under `lock`.
    void SetEventCallback(EventCallback callback, void* userData);
    void SetImageCallback(ImageCallback callback, void* userData);

    // Scanner driver and the open scanner.
    int DeinitDevice(std::string& errorText);
    int CloseDevice(std::string& errorText);
    int GetCurrDeviceName(std::string& name, std::string& errorText);

    // Scanning.
    int StopScan(std::string& errorText);

    // Saved-file list.
    void AddSaveFilename(const std::string& path);
    void RemoveSaveFilename(const std::string& path);

    // Pump messages of the scanner event handler.
    void OnDeviceLeft(const std::string& name);
    void OnScanFinished();

    KXPump pump() const { return pump_; }
    KXLock lock() const { return lock_; }

  private:
    // Cancels the running scan and waits for the driver to report its end.
    void FinishScan();

    KXPump pump_;
    KXLock lock_ = nullptr;
    GlobalConfig globalConfig_;
    EventCallback eventCallback_ = nullptr;
    void* eventUserData_ = nullptr;
    ImageCallback imageCallback_ = nullptr;
    void* imageUserData_ = nullptr;
    bool saneInited_ = false;
    std::vector<std::string> deviceNameList_;
    bool deviceOpened_ = false;
    SANE_Handle device_ = nullptr;
    std::string deviceName_;
    bool blankCheck_ = false;
    bool saveToTemp_ = false;
    bool scanning_ = false;
    KXEvent scanDoneEvent_ = nullptr;
    sqlite3* db_ = nullptr;
    std::string currBatchId_;
    std::string bindFolder_;
    std::string bindNameMode_;
    int32_t bindNameWidth_ = 0;
    int32_t bindNameBase_ = 0;
    std::vector<std::string> saveFilenames_;
};

}  // namespace ver_2

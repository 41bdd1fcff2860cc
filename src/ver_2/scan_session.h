// The scanning side of the second generation: the scanner driver, the list
// of present scanners, the open scanner and its options, the running scan,
// its done event and page workers, and the connection's callbacks.
//
// Thread rule: every operation runs on the service thread, except
// DriverEventHandler, which the driver calls on its own threads, and the page
// saving it hands to the page workers. `lock` guards what both sides touch
// (marked GUARDED_BY below): the two callback slots, the scanner list, the
// running scan's options and counters, and the event tags of the connection
// (which the callbacks read); the driver side takes it to change the list, to
// call the callbacks and to take a page's options. The lock is not
// recursive. The callbacks run under `lock` and must not call operations
// that take it or wait for the driver. Operations that can fail return 0, or
// -1 with the reason in their ErrorInfo (see error_info.h).
//
// Ownership: the session owns the lock, the scan-done event and the page
// workers; it ends the driver on destruction. It keeps references to the
// output files (which name and save pages) and to the batch store (which
// keeps the scanner options); both must outlive it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/kx_pump.h"
#include "platform/base/kx_thread.h"
#include "platform/base/thread_annotations.h"
#include "platform/driver/sane_qnsane.h"
#include "ver_2/device_param.h"
#include "ver_2/error_info.h"

namespace ver_2 {

class BatchStore;
class OrderedPipeline;
class OutputFiles;

// Progress sink of the connected page: (code, text, flag, user data).
//   1 scanner arrived, 2 scanner removed (text = name); 3 driver status;
//   4 scan working; 5 scan finished, 6 driver error (flag 1 = error).
using EventCallback = void (*)(int code, const char* text, int flag, void* userData);
// Page sink of the connected page: (saved file path, is-blank flag, user data).
using ImageCallback = void (*)(const char* path, int isBlank, void* userData);

class ScanSession {
  public:
    ScanSession(KXPump pump, OutputFiles& outputs, BatchStore& optionStore);
    // Ends the driver, stopping a scan.
    ~ScanSession();
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

    // Callback slots, filled and cleared by the connection.
    void SetEventCallback(EventCallback callback, void* userData) EXCLUDES(lock_);
    void SetImageCallback(ImageCallback callback, void* userData) EXCLUDES(lock_);

    // The driver and the open scanner (scan_session.cpp). Stored options
    // are applied by title to whichever scanner is opened next, and the
    // options are stored again whenever they are read.
    int InitDevice(ErrorInfo& error);
    int DeinitDevice(ErrorInfo& error);
    int GetDeviceNameList(std::vector<std::string>& names, ErrorInfo& error);
    int OpenDevice(const std::string& name, ErrorInfo& error);
    int CloseDevice(ErrorInfo& error);
    int GetCurrDeviceName(std::string& name, ErrorInfo& error);
    int SetDeviceParam(const std::vector<DeviceParam>& list, ErrorInfo& error);
    int GetDeviceParam(std::vector<DeviceParamGroup>& groups, ErrorInfo& error);
    int ResetDeviceParam(ErrorInfo& error);
    bool saneInited() const { return saneInited_; }

    // Scanning (scan_session_scan.cpp). Pages are saved through the output
    // files: in the temporary folder unless localSave.
    int StartScan(bool blankCheck, bool localSave, ErrorInfo& error);
    int StopScan(ErrorInfo& error);
    bool scanning() const { return scanning_; }
    // The driver's event callback; user is this object.
    static SANE_Int DriverEventHandler(void* opaque, SANE_Int code, void* data, SANE_Int* value,
                                       void* user);

    // Pump messages posted by the driver side.
    void OnDeviceLeft(const std::string& name);
    void OnScanFinished(uint64_t scanNumber);

    KXLock lock() const RETURN_CAPABILITY(lock_) { return lock_; }

  private:
    // scan_session.cpp
    void RefreshDeviceParams();
    // Ends the page workers (after the driver has ended).
    void ReleasePageWorkers() EXCLUDES(lock_);

    // scan_session_scan.cpp
    // Cancels the running scan and waits for the driver to report its end.
    void FinishScan();
    // Forgets the running scan's options and done event.
    void ClearScanState() EXCLUDES(lock_);
    void OnPageScanned(const SANE_Event_Image& page) EXCLUDES(lock_);
    int NextPageNumber() EXCLUDES(lock_);
    void PageLost(int number, const char* reason, const std::string& path);
    void OnScanEnded(const char* text, int flag) EXCLUDES(lock_);
    void DeviceArrived(const char* name) EXCLUDES(lock_);
    void DeviceLeft(const char* name) EXCLUDES(lock_);
    void ReportEvent(int code, const char* text, int flag) EXCLUDES(lock_);

    KXPump pump_;
    OutputFiles& outputs_;
    BatchStore& optionStore_;
    KXLock lock_ = nullptr;
    EventCallback eventCallback_ GUARDED_BY(lock_) = nullptr;
    void* eventUserData_ GUARDED_BY(lock_) = nullptr;
    ImageCallback imageCallback_ GUARDED_BY(lock_) = nullptr;
    void* imageUserData_ GUARDED_BY(lock_) = nullptr;
    bool saneInited_ = false;
    std::vector<std::string> deviceNameList_ GUARDED_BY(lock_);
    bool deviceOpened_ = false;
    SANE_Handle device_ = nullptr;
    std::string deviceName_;
    std::vector<DeviceParamGroup> deviceParams_;
    bool blankCheck_ GUARDED_BY(lock_) = false;
    bool saveToTemp_ GUARDED_BY(lock_) = false;
    bool scanning_ = false;
    KXEvent scanDoneEvent_ GUARDED_BY(lock_) = nullptr;
    // Numbers scans, so a finish message of an earlier scan never ends a
    // later one; the page counter names pages in the log.
    uint64_t scanNumber_ GUARDED_BY(lock_) = 0;
    int pagesReceived_ GUARDED_BY(lock_) = 0;
    // Pages of the running scan that could not be copied or saved; the
    // scan's end is reported as an error when there are any.
    std::atomic<int> pagesLost_{0};
    std::unique_ptr<OrderedPipeline> pageWorkers_ GUARDED_BY(lock_);
};

}  // namespace ver_2

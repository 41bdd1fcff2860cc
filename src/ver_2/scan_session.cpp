// Scan session scanner handling: starting and ending the driver, the list of
// present scanners, opening and closing one scanner, and reading, setting,
// resetting and storing its options. Stored options are applied by title to
// whichever scanner is opened next.
#include "ver_2/scan_session.h"

#include <algorithm>
#include <thread>

#include "platform/base/service_thread.h"
#include "ver_2/batch_store.h"
#include "ver_2/device_options.h"
#include "ver_2/error_info.h"
#include "ver_2/ordered_pipeline.h"

namespace ver_2 {

namespace {

// Pages are encoded by one worker per core (at most four); one more page
// may wait, so at most workers + 1 pages are held besides the one arriving.
size_t PageWorkerCount() {
    return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
}

}  // namespace

ScanSession::ScanSession(KXPump pump, OutputFiles& outputs, BatchStore& optionStore)
    : pump_(pump), outputs_(outputs), optionStore_(optionStore) {
    KXBase_CreateLock(&lock_);
}

ScanSession::~ScanSession() {
    ErrorInfo ignored;
    DeinitDevice(ignored);
    KXBase_DestroyLock(lock_);
}

void ScanSession::SetEventCallback(EventCallback callback, void* userData) {
    KXLockGuard guard(lock_);
    eventCallback_ = callback;
    eventUserData_ = userData;
}

void ScanSession::SetImageCallback(ImageCallback callback, void* userData) {
    KXLockGuard guard(lock_);
    imageCallback_ = callback;
    imageUserData_ = userData;
}

int ScanSession::InitDevice(ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (saneInited_) return Refuse(error, "the driver is already initialised");
    size_t workers = PageWorkerCount();
    {
        KXLockGuard guard(lock_);
        pageWorkers_ = std::make_unique<OrderedPipeline>(workers, workers + 1);
    }
    SANE_Int version = 0;
    SANE_Status status = sane_qnsane_init_ex(&version, DriverEventHandler, this);
    if (status != SANE_STATUS_GOOD) {
        ReleasePageWorkers();
        return Refuse(error, "the scanner driver failed to start: " + DriverStatusText(status));
    }
    saneInited_ = true;
    return 0;
}

int ScanSession::DeinitDevice(ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (!saneInited_) return Refuse(error, kNoDriver);
    ErrorInfo ignored;
    CloseDevice(ignored);
    // After the exit no driver thread calls back, so the page workers are idle.
    sane_qnsane_exit();
    ReleasePageWorkers();
    {
        KXLockGuard guard(lock_);
        deviceNameList_.clear();
    }
    saneInited_ = false;
    return 0;
}

void ScanSession::ReleasePageWorkers() {
    std::unique_ptr<OrderedPipeline> workers;
    {
        KXLockGuard guard(lock_);
        workers = std::move(pageWorkers_);
    }
    // Destroyed outside the lock: it joins the workers, whose completions
    // take the lock.
    workers.reset();
}

int ScanSession::GetDeviceNameList(std::vector<std::string>& names, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    names.clear();
    if (!saneInited_) return Refuse(error, kNoDriver);
    {
        KXLockGuard guard(lock_);
        names = deviceNameList_;
    }
    return 0;
}

int ScanSession::OpenDevice(const std::string& name, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (!saneInited_) return Refuse(error, kNoDriver);
    if (deviceOpened_) return Refuse(error, "a scanner is already open: \"" + deviceName_ + "\"");
    if (name.empty()) return Refuse(error, "no scanner is present");
    SANE_Handle handle = nullptr;
    SANE_Status status = sane_qnsane_open(name.c_str(), &handle);
    if (status != SANE_STATUS_GOOD) {
        return Refuse(error,
                      "scanner \"" + name + "\" cannot be opened: " + DriverStatusText(status));
    }
    DriverOptionSource options(handle);
    ApplyDeviceParams(options, optionStore_.LoadDeviceParams());
    device_ = handle;
    deviceName_ = name;
    deviceOpened_ = true;
    RefreshDeviceParams();
    return 0;
}

int ScanSession::CloseDevice(ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (!deviceOpened_) return Refuse(error, kNoScanner);
    ErrorInfo ignored;
    StopScan(ignored);
    sane_qnsane_close(device_);
    device_ = nullptr;
    deviceName_.clear();
    deviceParams_.clear();
    deviceOpened_ = false;
    return 0;
}

int ScanSession::GetCurrDeviceName(std::string& name, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    name.clear();
    if (!deviceOpened_) return Refuse(error, kNoScanner);
    name = deviceName_;
    return 0;
}

int ScanSession::SetDeviceParam(const std::vector<DeviceParam>& list, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (!deviceOpened_) return Refuse(error, kNoScanner);
    if (scanning_) return Refuse(error, kScanRunning);
    DriverOptionSource options(device_);
    std::string reason;
    int result = ApplyDeviceParams(options, list, &reason);
    RefreshDeviceParams();
    return result == 0 ? 0 : Refuse(error, reason);
}

int ScanSession::GetDeviceParam(std::vector<DeviceParamGroup>& groups, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    groups.clear();
    if (!deviceOpened_) return Refuse(error, kNoScanner);
    if (deviceParams_.empty()) return Refuse(error, "the open scanner lists no options");
    groups = deviceParams_;
    return 0;
}

int ScanSession::ResetDeviceParam(ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (!deviceOpened_) return Refuse(error, kNoScanner);
    if (scanning_) return Refuse(error, kScanRunning);
    DriverOptionSource options(device_);
    int result = PressRestoreDefaults(options);
    RefreshDeviceParams();
    return result == 0 ? 0 : Refuse(error, "the scanner did not restore its default settings");
}

void ScanSession::RefreshDeviceParams() {
    DriverOptionSource options(device_);
    ReadDeviceParams(options, deviceParams_);
    optionStore_.StoreDeviceParams(deviceParams_);
}

void ScanSession::OnDeviceLeft(const std::string& name) {
    SB_ASSERT_SERVICE_THREAD();
    if (!deviceOpened_ || name != deviceName_) return;
    ErrorInfo ignored;
    CloseDevice(ignored);
}

}  // namespace ver_2

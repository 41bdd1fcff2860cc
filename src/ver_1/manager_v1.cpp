#include "ver_1/manager_v1.h"

#include "net/pump_messages.h"
#include "platform/base/service_thread.h"
#include "ver_1/pump_messages_v1.h"
#include "ver_1/scan_options.h"

namespace ver_1 {

ManagerV1::ManagerV1(KXPump pump) : pump_(pump) {
    KXBase_CreateLock(&lock_);
}

ManagerV1::~ManagerV1() {
    Shutdown();
    KXBase_DestroyLock(lock_);
}

void ManagerV1::InitDriver() {
    SANE_Int version = 0;
    driverInited_ = true;
    sane_qnsane_init_ex(&version, DriverEventHandler, this);
}

void ManagerV1::Shutdown() {
    if (device_ != nullptr) CloseDevice();
    if (driverInited_) {
        sane_qnsane_exit();
        driverInited_ = false;
    }
}

void ManagerV1::SetEventCallback(EventCallback callback, void* userData) {
    KXLockGuard guard(lock_);
    eventCallback_ = callback;
    eventUserData_ = userData;
}

void ManagerV1::SetImageCallback(ImageCallback callback, void* userData) {
    KXLockGuard guard(lock_);
    imageCallback_ = callback;
    imageUserData_ = userData;
}

void ManagerV1::OpenArrivedDevice(const std::string& name) {
    SB_ASSERT_SERVICE_THREAD();
    if (!deviceName_.empty() || device_ != nullptr) return;
    SANE_Handle handle = nullptr;
    if (sane_qnsane_open(name.c_str(), &handle) != SANE_STATUS_GOOD) return;
    deviceName_ = name;
    device_ = handle;
    ScanParams loaded;
    LoadParams(loaded, deviceName_);
    SetParams(loaded);
}

void ManagerV1::CloseLeftDevice(const std::string& name) {
    SB_ASSERT_SERVICE_THREAD();
    if (device_ == nullptr || deviceName_.empty() || deviceName_ != name) return;
    CloseDevice();
}

void ManagerV1::CloseDevice() {
    StopScan();
    ResetParams(params_);
    sane_qnsane_close(device_);
    device_ = nullptr;
    deviceName_.clear();
    ShareScannerWithDriverSide();
}

void ManagerV1::ShareScannerWithDriverSide() {
    KXLockGuard guard(lock_);
    scan_.deviceName = deviceName_;
    scan_.params = params_;
}

bool ManagerV1::GetParams(ScanParams& out) {
    SB_ASSERT_SERVICE_THREAD();
    ResetParams(out);
    if (scanning_) return false;
    if (!HasDevice()) {
        out = params_;
        return false;
    }
    params_.device = deviceName_;
    DriverOptionSource options(device_);
    ReadScannerOptions(options, params_);
    ShareScannerWithDriverSide();
    SaveParams(params_, deviceName_);
    out = params_;
    return true;
}

bool ManagerV1::SetParams(const ScanParams& in) {
    SB_ASSERT_SERVICE_THREAD();
    if (scanning_) return false;
    params_ = in;
    ShareScannerWithDriverSide();
    SaveParams(params_, deviceName_);
    if (!HasDevice()) return false;
    DriverOptionSource options(device_);
    WriteScannerOptions(options, params_);
    return true;
}

bool ManagerV1::StartScan(const std::string& insertBeforeName, bool insertMode) {
    SB_ASSERT_SERVICE_THREAD();
    if (scanning_ || !HasDevice()) return false;
    KXBase_CreateEvent(0, 0, &scanDoneEvent_);
    ++scanSerial_;
    {
        KXLockGuard guard(lock_);
        scan_.insertBeforeName = insertBeforeName;
        scan_.insertMode = insertMode;
        scan_.serial = scanSerial_;
        scan_.done = scanDoneEvent_;
    }
    pagesLost_ = 0;
    if (sane_qnsane_start(device_) == SANE_STATUS_GOOD) {
        scanning_ = true;
        return true;
    }
    ForgetScan();
    return false;
}

void ManagerV1::ForgetScan() {
    {
        KXLockGuard guard(lock_);
        scan_.insertBeforeName.clear();
        scan_.insertMode = false;
        scan_.done = nullptr;
    }
    KXBase_DestroyEvent(scanDoneEvent_);
    scanDoneEvent_ = nullptr;
}

ManagerV1::ScanContext ManagerV1::CurrentScan() {
    KXLockGuard guard(lock_);
    return scan_;
}

bool ManagerV1::StopScan() {
    SB_ASSERT_SERVICE_THREAD();
    if (!scanning_) return true;
    sane_qnsane_cancel(device_);
    KXBase_WaitEvent(scanDoneEvent_);
    ForgetScan();
    scanning_ = false;
    return true;
}

void ManagerV1::OnScanFinished(uint64_t serial) {
    SB_ASSERT_SERVICE_THREAD();
    if (scanning_ && serial == scanSerial_) StopScan();
}

bool ManagerV1::GetLastBatch(std::string* pid) {
    SB_ASSERT_SERVICE_THREAD();
    pid->clear();
    if (scanning_) return false;
    *pid = deviceName_;
    return true;
}

bool ManagerV1::EchoSerial(const std::string& text, std::string* out) {
    SB_ASSERT_SERVICE_THREAD();
    out->clear();
    if (scanning_) return false;
    *out = text;
    return true;
}

bool RunManagerV1Message(const PumpMessage* message) {
    switch (message->id) {
        case PUMP_MSG_V1_DEVICE_ARRIVED: {
            auto device = AdoptPayload<DeviceNameMessage>(message);
            device->manager->OpenArrivedDevice(device->name);
            return true;
        }
        case PUMP_MSG_V1_DEVICE_REMOVED: {
            auto device = AdoptPayload<DeviceNameMessage>(message);
            device->manager->CloseLeftDevice(device->name);
            return true;
        }
        case PUMP_MSG_V1_SCAN_FINISHED: {
            auto finished = AdoptPayload<BackEndMessage>(message);
            finished->manager->OnScanFinished(finished->scanSerial);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace ver_1

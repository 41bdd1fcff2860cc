// ManagerV2 scanner handling: starting and ending the driver, the list of
// present scanners, opening and closing one scanner, and reading, setting,
// resetting and storing its options. Stored options are applied by title to
// whichever scanner is opened next.
#include <algorithm>
#include <thread>

#include "platform/base/service_thread.h"
#include "ver_2/device_options.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ordered_pipeline.h"
#include "ver_2/texts.h"

namespace ver_2 {

namespace {

// Pages are encoded by one worker per core (at most four); one more page
// may wait, so at most workers + 1 pages are held besides the one arriving.
size_t PageWorkerCount() {
    return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
}

}  // namespace

int ManagerV2::InitDevice(std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (saneInited_) return -1;
    size_t workers = PageWorkerCount();
    {
        KXLockGuard guard(lock_);
        pageWorkers_ = std::make_unique<OrderedPipeline>(workers, workers + 1);
    }
    SANE_Int version = 0;
    if (sane_qnsane_init_ex(&version, DriverEventHandler, this) != SANE_STATUS_GOOD) {
        ReleasePageWorkers();
        return -1;
    }
    saneInited_ = true;
    errorText.clear();
    return 0;
}

int ManagerV2::DeinitDevice(std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (!saneInited_) return -1;
    std::string ignored;
    CloseDevice(ignored);
    // After the exit no driver thread calls back, so the page workers are idle.
    sane_qnsane_exit();
    ReleasePageWorkers();
    {
        KXLockGuard guard(lock_);
        deviceNameList_.clear();
    }
    saneInited_ = false;
    errorText.clear();
    return 0;
}

void ManagerV2::ReleasePageWorkers() {
    std::unique_ptr<OrderedPipeline> workers;
    {
        KXLockGuard guard(lock_);
        workers = std::move(pageWorkers_);
    }
    // Destroyed outside the lock: it joins the workers, whose completions
    // take the lock.
    workers.reset();
}

int ManagerV2::GetDeviceNameList(std::vector<std::string>& names, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    names.clear();
    if (!saneInited_) return -1;
    {
        KXLockGuard guard(lock_);
        names = deviceNameList_;
    }
    errorText.clear();
    return 0;
}

int ManagerV2::OpenDevice(const std::string& name, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (!saneInited_ || deviceOpened_) return -1;
    SANE_Handle handle = nullptr;
    if (sane_qnsane_open(name.c_str(), &handle) != SANE_STATUS_GOOD) return -1;
    std::vector<DeviceParam> stored;
    LoadDeviceParams(stored);
    DriverOptionSource options(handle);
    ApplyDeviceParams(options, stored);
    device_ = handle;
    deviceName_ = name;
    deviceOpened_ = true;
    RefreshDeviceParams();
    errorText.clear();
    return 0;
}

int ManagerV2::CloseDevice(std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (!deviceOpened_) return -1;
    std::string ignored;
    StopScan(ignored);
    sane_qnsane_close(device_);
    device_ = nullptr;
    deviceName_.clear();
    deviceParams_.clear();
    deviceOpened_ = false;
    errorText.clear();
    return 0;
}

int ManagerV2::GetCurrDeviceName(std::string& name, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    name.clear();
    if (!deviceOpened_) return -1;
    name = deviceName_;
    errorText.clear();
    return 0;
}

int ManagerV2::SetDeviceParam(const std::vector<DeviceParam>& list, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (!deviceOpened_ || scanning_) return -1;
    DriverOptionSource options(device_);
    int result = ApplyDeviceParams(options, list);
    RefreshDeviceParams();
    if (result == 0) errorText.clear();
    return result;
}

int ManagerV2::GetDeviceParam(std::vector<DeviceParamGroup>& groups, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    groups.clear();
    if (!deviceOpened_ || deviceParams_.empty()) return -1;
    groups = deviceParams_;
    errorText.clear();
    return 0;
}

int ManagerV2::ResetDeviceParam(std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (!deviceOpened_ || scanning_) return -1;
    DriverOptionSource options(device_);
    int result = PressRestoreDefaults(options);
    RefreshDeviceParams();
    if (result == 0) errorText.clear();
    return result;
}

void ManagerV2::RefreshDeviceParams() {
    DriverOptionSource options(device_);
    ReadDeviceParams(options, deviceParams_);
    StoreDeviceParams();
}

void ManagerV2::OnDeviceLeft(const std::string& name) {
    SB_ASSERT_SERVICE_THREAD();
    if (!deviceOpened_ || name != deviceName_) return;
    std::string ignored;
    CloseDevice(ignored);
}

}  // namespace ver_2

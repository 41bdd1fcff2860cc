// Scanner handling: ending the driver and closing the open scanner.
#include "platform/base/service_thread.h"
#include "ver_2/manager_v2.h"
#include "ver_2/texts.h"

namespace ver_2 {

int ManagerV2::DeinitDevice(std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (!saneInited_) return -1;
    std::string ignored;
    CloseDevice(ignored);
    sane_qnsane_exit();
    {
        KXLockGuard guard(lock_);
        deviceNameList_.clear();
    }
    saneInited_ = false;
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

void ManagerV2::OnDeviceLeft(const std::string& name) {
    SB_ASSERT_SERVICE_THREAD();
    if (!deviceOpened_ || name != deviceName_) return;
    std::string ignored;
    CloseDevice(ignored);
}

}  // namespace ver_2

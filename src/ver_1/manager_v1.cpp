#include "ver_1/manager_v1.h"

#include <memory>

#include "net/pump_messages.h"
#include "platform/base/encoding.h"
#include "platform/base/kx_log.h"
#include "platform/base/service_thread.h"
#include "ver_1/pump_messages_v1.h"

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
    if (device_ != nullptr) {
        StopScan();
        sane_qnsane_close(device_);
        device_ = nullptr;
        deviceName_.clear();
    }
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
}

void ManagerV1::CloseLeftDevice(const std::string& name) {
    SB_ASSERT_SERVICE_THREAD();
    if (device_ == nullptr || deviceName_.empty() || deviceName_ != name) return;
    StopScan();
    sane_qnsane_close(device_);
    device_ = nullptr;
    deviceName_.clear();
}

bool ManagerV1::StartScan(const std::string& insertBeforeName, bool insertMode) {
    SB_ASSERT_SERVICE_THREAD();
    if (scanning_ || device_ == nullptr) return false;
    insertBeforeName_ = insertBeforeName;
    insertMode_ = insertMode;
    KXBase_CreateEvent(0, 0, &scanDoneEvent_);
    if (sane_qnsane_start(device_) == SANE_STATUS_GOOD) {
        scanning_ = true;
        return true;
    }
    KXBase_DestroyEvent(scanDoneEvent_);
    scanDoneEvent_ = nullptr;
    insertBeforeName_.clear();
    insertMode_ = false;
    return false;
}

bool ManagerV1::StopScan() {
    SB_ASSERT_SERVICE_THREAD();
    if (!scanning_) return true;
    sane_qnsane_cancel(device_);
    KXBase_WaitEvent(scanDoneEvent_);
    KXBase_DestroyEvent(scanDoneEvent_);
    scanDoneEvent_ = nullptr;
    insertBeforeName_.clear();
    insertMode_ = false;
    scanning_ = false;
    return true;
}

void ManagerV1::CallEvent(int code, const char* text, int flag) {
    KXLockGuard guard(lock_);
    if (eventCallback_ != nullptr) eventCallback_(code, text, flag, eventUserData_);
}

SANE_Int ManagerV1::DriverEventHandler(void*, SANE_Int code, void* data, SANE_Int* value,
                                       void* user) {
    auto* self = static_cast<ManagerV1*>(user);
    auto text = [data] { return data != nullptr ? static_cast<const char*>(data) : ""; };
    int flag = value != nullptr && *value != 0 ? 1 : 0;
    switch (code) {
        case SANE_EVENT_DEVICE_ARRIVED:
        case SANE_EVENT_DEVICE_LEFT: {
            const char* name = data != nullptr ? static_cast<SANE_Event_Device*>(data)->name : "";
            bool arrived = code == SANE_EVENT_DEVICE_ARRIVED;
            KXBase_WriteInfo(KX_LOG_INFO,
                             arrived ? "device arrive, name=%s" : "device remove, name=%s",
                             Utf8ToAnsi(name).c_str());
            auto message = std::make_unique<DeviceNameMessage>();
            message->manager = self;
            message->name = name;
            PostPayload(self->pump_,
                        arrived ? PUMP_MSG_V1_DEVICE_ARRIVED : PUMP_MSG_V1_DEVICE_REMOVED,
                        std::move(message));
            self->CallEvent(arrived ? 1 : 2, name, 0);
            break;
        }
        case SANE_EVENT_STATUS:
            KXBase_WriteInfo(KX_LOG_INFO, "SANE_EVENT_STATUS, msg=%s", Utf8ToAnsi(text()).c_str());
            self->CallEvent(3, text(), 0);
            break;
        case SANE_EVENT_ERROR:
            KXBase_WriteInfo(KX_LOG_INFO, "SANE_EVENT_ERROR, msg=%s", Utf8ToAnsi(text()).c_str());
            self->CallEvent(6, text(), flag);
            break;
        case SANE_EVENT_WORKING:
            KXBase_WriteInfo(KX_LOG_INFO, "SANE_EVENT_WORKING, msg=%s", Utf8ToAnsi(text()).c_str());
            self->CallEvent(4, text(), 0);
            break;
        case SANE_EVENT_SCAN_FINISHED: {
            KXBase_WriteInfo(KX_LOG_INFO, "SANE_EVENT_SCAN_FINISHED, msg=%s",
                             Utf8ToAnsi(text()).c_str());
            KXBase_SetEvent(self->scanDoneEvent_);
            auto message = std::make_unique<BackEndMessage>();
            message->manager = self;
            PostPayload(self->pump_, PUMP_MSG_V1_SCAN_FINISHED, std::move(message));
            self->CallEvent(5, text(), flag);
            break;
        }
        default:
            break;
    }
    return 0;
}

}  // namespace ver_1

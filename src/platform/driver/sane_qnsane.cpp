// The sane_qnsane_ calls: each forwards to the process-wide driver chosen at
// sane_qnsane_init_ex. Calls before init, after exit or during exit find no
// driver and fail (or do nothing, for the calls without a status).
#include "platform/driver/sane_qnsane.h"

#include <memory>

#include "platform/base/annotated_mutex.h"
#include "platform/base/kx_log.h"
#include "platform/driver/driver_config.h"
#include "platform/driver/scanner_driver.h"

namespace {

struct DriverSlot {
    Mutex mutex;
    std::shared_ptr<ScannerDriver> driver GUARDED_BY(mutex);
    bool starting GUARDED_BY(mutex) = false;
    bool exiting GUARDED_BY(mutex) = false;
};

// Never destroyed: a driver left running at process end is not torn down
// while its threads may still be calling back.
DriverSlot& Slot() {
    static DriverSlot* slot = new DriverSlot;
    return *slot;
}

// The running driver, kept alive by the caller for the length of one call,
// so an exit on another thread cannot free it mid-call.
std::shared_ptr<ScannerDriver> Current() {
    DriverSlot& slot = Slot();
    MutexLock guard(slot.mutex);
    return slot.driver;
}

}  // namespace

SANE_Status sane_qnsane_init_ex(SANE_Int* version_code, SANE_Event_Callback callback, void* user) {
    if (version_code != nullptr) *version_code = SANE_VERSION_CODE(1, 0, 0);
    DriverSlot& slot = Slot();
    {
        MutexLock guard(slot.mutex);
        if (slot.driver != nullptr || slot.starting || slot.exiting) {
            KXBase_WriteInfo(KX_LOG_INFO, "sane_qnsane_init_ex: the driver is already initialised");
            return SANE_STATUS_INVAL;
        }
        slot.starting = true;
    }
    // Init waits for the first device listing, whose arrival callbacks run on
    // a driver thread meanwhile; the slot is not locked during that wait.
    std::unique_ptr<ScannerDriver> driver;
    SANE_Status status = CreateScannerDriver(ReadDriverName(), &driver);
    if (status == SANE_STATUS_GOOD) status = driver->Init(EventSink{callback, user});
    MutexLock guard(slot.mutex);
    slot.starting = false;
    if (status == SANE_STATUS_GOOD) slot.driver = std::move(driver);
    return status;
}

void sane_qnsane_exit() {
    DriverSlot& slot = Slot();
    std::shared_ptr<ScannerDriver> driver = Current();
    if (driver == nullptr) return;
    if (driver->OnDriverThread()) {
        KXBase_WriteInfo(KX_LOG_INFO, "sane_qnsane_exit: refused inside a driver callback");
        return;
    }
    {
        MutexLock guard(slot.mutex);
        if (slot.driver != driver) return;
        slot.driver.reset();
        slot.exiting = true;
    }
    driver->Exit();
    driver.reset();
    MutexLock guard(slot.mutex);
    slot.exiting = false;
}

SANE_Status sane_qnsane_get_devices(const SANE_Device*** device_list, SANE_Bool) {
    std::shared_ptr<ScannerDriver> driver = Current();
    if (driver == nullptr) {
        if (device_list != nullptr) *device_list = nullptr;
        return SANE_STATUS_INVAL;
    }
    return driver->GetDevices(device_list);
}

SANE_Status sane_qnsane_open(SANE_String_Const name, SANE_Handle* handle) {
    std::shared_ptr<ScannerDriver> driver = Current();
    if (driver == nullptr) {
        if (handle != nullptr) *handle = nullptr;
        return SANE_STATUS_INVAL;
    }
    return driver->Open(name, handle);
}

void sane_qnsane_close(SANE_Handle handle) {
    if (std::shared_ptr<ScannerDriver> driver = Current()) driver->Close(handle);
}

const SANE_Option_Descriptor* sane_qnsane_get_option_descriptor(SANE_Handle handle,
                                                                SANE_Int option) {
    std::shared_ptr<ScannerDriver> driver = Current();
    return driver != nullptr ? driver->GetOptionDescriptor(handle, option) : nullptr;
}

SANE_Status sane_qnsane_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action,
                                       void* value, SANE_Int* info) {
    std::shared_ptr<ScannerDriver> driver = Current();
    if (driver == nullptr) return SANE_STATUS_INVAL;
    return driver->ControlOption(handle, option, action, value, info);
}

SANE_Status sane_qnsane_start(SANE_Handle handle) {
    std::shared_ptr<ScannerDriver> driver = Current();
    return driver != nullptr ? driver->Start(handle) : SANE_STATUS_INVAL;
}

void sane_qnsane_cancel(SANE_Handle handle) {
    if (std::shared_ptr<ScannerDriver> driver = Current()) driver->Cancel(handle);
}

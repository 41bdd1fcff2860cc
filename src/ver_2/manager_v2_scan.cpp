// The scan pipeline: stopping a scan and returning to idle.
#include "platform/base/service_thread.h"
#include "ver_2/manager_v2.h"
#include "ver_2/texts.h"

namespace ver_2 {

int ManagerV2::StopScan(std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (!scanning_) return -1;
    FinishScan();
    errorText.clear();
    return 0;
}

void ManagerV2::OnScanFinished() {
    SB_ASSERT_SERVICE_THREAD();
    if (scanning_) FinishScan();
}

void ManagerV2::FinishScan() {
    sane_qnsane_cancel(device_);
    KXBase_WaitEvent(scanDoneEvent_);
    KXBase_DestroyEvent(scanDoneEvent_);
    scanDoneEvent_ = nullptr;
    blankCheck_ = false;
    saveToTemp_ = false;
    scanning_ = false;
}

}  // namespace ver_2

// The scanner event handler of ManagerV1 and the filing of scanned pages.
// Everything here runs on a driver thread. A page that cannot be copied,
// saved or listed is lost: it is named in the log, not reported as an image,
// and the scan's end is reported with "错误" instead of the driver's text, so
// the page never takes a scan that lost pages for a success.
#include <algorithm>
#include <memory>

#include "net/pump_messages.h"
#include "platform/base/encoding.h"
#include "platform/base/kx_log.h"
#include "platform/driver/driver_event.h"
#include "platform/image/scanner_page.h"
#include "ver_1/image_store.h"
#include "ver_1/manager_v1.h"
#include "ver_1/pump_messages_v1.h"

namespace ver_1 {

namespace {

// The page as a colour image, the type every stored page is made from.
ImageHolder PageImage(const SANE_Event_Image& page) {
    return ImageHolder(CopyScannerPage(page, KX_PIXEL_RGB));
}

// The end of a scan that lost pages.
constexpr char kPagesLostText[] = "错误";

bool PageLost(const std::string& deviceName, const char* reason) {
    KXBase_WriteInfo(KX_LOG_INFO, "page lost: %s, name=%s", reason, Utf8ToAnsi(deviceName).c_str());
    return false;
}

}  // namespace

void ManagerV1::CallEvent(int code, const char* text, int flag) {
    KXLockGuard guard(lock_);
    if (eventCallback_ != nullptr) eventCallback_(code, text, flag, eventUserData_);
}

bool ManagerV1::FileScannedPage(const SANE_Event_Image& page) {
    const ScanContext scan = CurrentScan();
    const std::string& pid = scan.deviceName;
    ImageHolder image = PageImage(page);
    if (image == nullptr) return PageLost(pid, "the scanned image cannot be copied");
    std::string folder;
    if (!ImageDirectory(pid, &folder)) return PageLost(pid, "no image folder");
    std::vector<std::string> names = ReadImageList(pid);
    std::string name = NextImageName(names, StoredImageExtension(scan.params.format));
    std::string dataUrl;
    if (!SaveNewImage(image.get(), folder, name, &dataUrl))
        return PageLost(pid, ("it cannot be saved as " + folder + name).c_str());

    UploadPage(scan.params, folder + name);

    auto before = scan.insertMode ? std::find(names.begin(), names.end(), scan.insertBeforeName)
                                  : names.end();
    names.insert(before, name);
    if (!WriteImageList(pid, names))
        return PageLost(pid, ("the image list cannot be written in " + folder).c_str());

    KXLockGuard guard(lock_);
    if (imageCallback_ != nullptr) imageCallback_(name.c_str(), dataUrl.c_str(), imageUserData_);
    return true;
}

SANE_Int ManagerV1::DriverEventHandler(void*, SANE_Int code, void* data, SANE_Int* value,
                                       void* user) {
    auto* self = static_cast<ManagerV1*>(user);
    DriverEvent event = DecodeDriverEvent(code, data, value);
    LogDriverEvent(event);
    int flag = event.failed ? 1 : 0;
    switch (event.kind) {
        case DriverEventKind::kDeviceArrived:
        case DriverEventKind::kDeviceLeft: {
            bool arrived = event.kind == DriverEventKind::kDeviceArrived;
            auto message = std::make_unique<DeviceNameMessage>();
            message->manager = self;
            message->name = event.text;
            PostPayload(self->pump_,
                        arrived ? PUMP_MSG_V1_DEVICE_ARRIVED : PUMP_MSG_V1_DEVICE_REMOVED,
                        std::move(message));
            self->CallEvent(arrived ? 1 : 2, event.text, 0);
            break;
        }
        case DriverEventKind::kStatus:
            self->CallEvent(3, event.text, 0);
            break;
        case DriverEventKind::kError:
            self->CallEvent(6, event.text, flag);
            break;
        case DriverEventKind::kWorking:
            self->CallEvent(4, event.text, 0);
            break;
        case DriverEventKind::kPage:
            if (event.page == nullptr || !self->FileScannedPage(*event.page)) ++self->pagesLost_;
            break;
        case DriverEventKind::kScanFinished: {
            auto message = std::make_unique<BackEndMessage>();
            message->manager = self;
            // Read before the event is signalled: afterwards the service
            // thread may start the next scan.
            const ScanContext scan = self->CurrentScan();
            message->scanSerial = scan.serial;
            const char* text = event.text;
            int lost = self->pagesLost_.exchange(0);
            if (lost > 0) KXBase_WriteInfo(KX_LOG_INFO, "scan ended with %d page(s) lost", lost);
            if (lost > 0 && flag == 0) {
                text = kPagesLostText;
                flag = 1;
            }
            if (scan.done != nullptr) KXBase_SetEvent(scan.done);
            PostPayload(self->pump_, PUMP_MSG_V1_SCAN_FINISHED, std::move(message));
            self->CallEvent(5, text, flag);
            break;
        }
        case DriverEventKind::kOther:
            break;
    }
    return 0;
}

}  // namespace ver_1

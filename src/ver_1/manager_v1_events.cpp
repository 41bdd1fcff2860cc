// The scanner event handler of ManagerV1 and the filing of scanned pages.
// Everything here runs on a driver thread.
#include <algorithm>
#include <memory>

#include "net/pump_messages.h"
#include "platform/base/encoding.h"
#include "platform/base/kx_log.h"
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

}  // namespace

void ManagerV1::CallEvent(int code, const char* text, int flag) {
    KXLockGuard guard(lock_);
    if (eventCallback_ != nullptr) eventCallback_(code, text, flag, eventUserData_);
}

void ManagerV1::FileScannedPage(const SANE_Event_Image& page) {
    ImageHolder image = PageImage(page);
    if (image == nullptr) return;
    std::string folder;
    if (!ImageDirectory(deviceName_, &folder)) {
        KXBase_WriteInfo(KX_LOG_INFO, "page dropped, no image folder for name=%s",
                         Utf8ToAnsi(deviceName_).c_str());
        return;
    }
    std::vector<std::string> names = ReadImageList(deviceName_);
    std::string name = NextImageName(names, StoredImageExtension(params_.format));
    std::string dataUrl;
    SaveNewImage(image.get(), folder, name, &dataUrl);

    UploadPage(folder + name);

    auto before =
        insertMode_ ? std::find(names.begin(), names.end(), insertBeforeName_) : names.end();
    names.insert(before, name);
    WriteImageList(deviceName_, names);

    KXLockGuard guard(lock_);
    if (imageCallback_ != nullptr) imageCallback_(name.c_str(), dataUrl.c_str(), imageUserData_);
}

SANE_Int ManagerV1::DriverEventHandler(void*, SANE_Int code, void* data, SANE_Int* value,
                                       void* user) {
    auto* self = static_cast<ManagerV1*>(user);
    const char* text = data != nullptr ? static_cast<const char*>(data) : "";
    int flag = value != nullptr && *value != 0 ? 1 : 0;
    switch (code) {
        case SANE_EVENT_DEVICE_ARRIVED:
        case SANE_EVENT_DEVICE_LEFT: {
            const char* name = data != nullptr ? static_cast<SANE_Event_Device*>(data)->name : "";
            if (name == nullptr) name = "";
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
            KXBase_WriteInfo(KX_LOG_INFO, "SANE_EVENT_STATUS, msg=%s", Utf8ToAnsi(text).c_str());
            self->CallEvent(3, text, 0);
            break;
        case SANE_EVENT_ERROR:
            KXBase_WriteInfo(KX_LOG_INFO, "SANE_EVENT_ERROR, msg=%s", Utf8ToAnsi(text).c_str());
            self->CallEvent(6, text, flag);
            break;
        case SANE_EVENT_WORKING:
            KXBase_WriteInfo(KX_LOG_INFO, "SANE_EVENT_WORKING, msg=%s", Utf8ToAnsi(text).c_str());
            self->CallEvent(4, text, 0);
            break;
        case SANE_EVENT_IMAGE_OK:
            KXBase_WriteInfo(KX_LOG_INFO, "SANE_EVENT_IMAGE_OK");
            if (data != nullptr) self->FileScannedPage(*static_cast<SANE_Event_Image*>(data));
            break;
        case SANE_EVENT_SCAN_FINISHED: {
            KXBase_WriteInfo(KX_LOG_INFO, "SANE_EVENT_SCAN_FINISHED, msg=%s",
                             Utf8ToAnsi(text).c_str());
            auto message = std::make_unique<BackEndMessage>();
            message->manager = self;
            // Read before the event is signalled: afterwards the service
            // thread may start the next scan.
            message->scanSerial = self->scanSerial_;
            KXBase_SetEvent(self->scanDoneEvent_);
            PostPayload(self->pump_, PUMP_MSG_V1_SCAN_FINISHED, std::move(message));
            self->CallEvent(5, text, flag);
            break;
        }
        default:
            break;
    }
    return 0;
}

}  // namespace ver_1

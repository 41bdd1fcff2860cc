#include "platform/driver/driver_event.h"

#include "platform/base/encoding.h"
#include "platform/base/kx_log.h"

namespace {

DriverEventKind KindOf(SANE_Int code) {
    switch (code) {
        case SANE_EVENT_DEVICE_ARRIVED:
            return DriverEventKind::kDeviceArrived;
        case SANE_EVENT_DEVICE_LEFT:
            return DriverEventKind::kDeviceLeft;
        case SANE_EVENT_STATUS:
            return DriverEventKind::kStatus;
        case SANE_EVENT_ERROR:
            return DriverEventKind::kError;
        case SANE_EVENT_WORKING:
            return DriverEventKind::kWorking;
        case SANE_EVENT_IMAGE_OK:
            return DriverEventKind::kPage;
        case SANE_EVENT_SCAN_FINISHED:
            return DriverEventKind::kScanFinished;
        default:
            return DriverEventKind::kOther;
    }
}

const char* NameOf(DriverEventKind kind) {
    switch (kind) {
        case DriverEventKind::kDeviceArrived:
            return "SANE_EVENT_DEVICE_ARRIVED";
        case DriverEventKind::kDeviceLeft:
            return "SANE_EVENT_DEVICE_LEFT";
        case DriverEventKind::kStatus:
            return "SANE_EVENT_STATUS";
        case DriverEventKind::kError:
            return "SANE_EVENT_ERROR";
        case DriverEventKind::kWorking:
            return "SANE_EVENT_WORKING";
        case DriverEventKind::kPage:
            return "SANE_EVENT_IMAGE_OK";
        case DriverEventKind::kScanFinished:
            return "SANE_EVENT_SCAN_FINISHED";
        case DriverEventKind::kOther:
            break;
    }
    return "SANE_EVENT_OTHER";
}

const char* NonNull(const char* text) {
    return text != nullptr ? text : "";
}

}  // namespace

DriverEvent DecodeDriverEvent(SANE_Int code, void* data, const SANE_Int* value) {
    DriverEvent event;
    event.code = code;
    event.kind = KindOf(code);
    event.failed = value != nullptr && *value != 0;
    switch (event.kind) {
        case DriverEventKind::kDeviceArrived:
        case DriverEventKind::kDeviceLeft:
            // Device events carry a record whose first field is the scanner name.
            if (data != nullptr) event.text = NonNull(static_cast<SANE_Event_Device*>(data)->name);
            break;
        case DriverEventKind::kPage:
            event.page = static_cast<const SANE_Event_Image*>(data);
            break;
        case DriverEventKind::kOther:
            break;
        default:
            event.text = NonNull(static_cast<const char*>(data));
            break;
    }
    return event;
}

void LogDriverEvent(const DriverEvent& event) {
    switch (event.kind) {
        case DriverEventKind::kDeviceArrived:
        case DriverEventKind::kDeviceLeft:
            KXBase_WriteInfo(KX_LOG_INFO, "%s, name=%s", NameOf(event.kind),
                             Utf8ToAnsi(event.text).c_str());
            break;
        case DriverEventKind::kPage:
            KXBase_WriteInfo(KX_LOG_INFO, "%s", NameOf(event.kind));
            break;
        case DriverEventKind::kOther:
            KXBase_WriteInfo(KX_LOG_DETAIL, "driver event %d ignored", event.code);
            break;
        default:
            KXBase_WriteInfo(KX_LOG_INFO, "%s, msg=%s", NameOf(event.kind),
                             Utf8ToAnsi(event.text).c_str());
            break;
    }
}

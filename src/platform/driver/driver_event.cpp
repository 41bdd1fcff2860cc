#include "platform/driver/driver_event.h"

#include "platform/base/encoding.h"
#include "platform/base/kx_log.h"

namespace {

struct KnownEvent {
    SANE_Int code;
    DriverEventKind kind;
    const char* name;  // for the log
};

constexpr KnownEvent kKnownEvents[] = {
    {SANE_EVENT_DEVICE_ARRIVED, DriverEventKind::kDeviceArrived, "SANE_EVENT_DEVICE_ARRIVED"},
    {SANE_EVENT_DEVICE_LEFT, DriverEventKind::kDeviceLeft, "SANE_EVENT_DEVICE_LEFT"},
    {SANE_EVENT_STATUS, DriverEventKind::kStatus, "SANE_EVENT_STATUS"},
    {SANE_EVENT_ERROR, DriverEventKind::kError, "SANE_EVENT_ERROR"},
    {SANE_EVENT_WORKING, DriverEventKind::kWorking, "SANE_EVENT_WORKING"},
    {SANE_EVENT_IMAGE_OK, DriverEventKind::kPage, "SANE_EVENT_IMAGE_OK"},
    {SANE_EVENT_SCAN_FINISHED, DriverEventKind::kScanFinished, "SANE_EVENT_SCAN_FINISHED"},
};

DriverEventKind KindOf(SANE_Int code) {
    for (const KnownEvent& known : kKnownEvents)
        if (known.code == code) return known.kind;
    return DriverEventKind::kOther;
}

const char* NameOf(DriverEventKind kind) {
    for (const KnownEvent& known : kKnownEvents)
        if (known.kind == kind) return known.name;
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

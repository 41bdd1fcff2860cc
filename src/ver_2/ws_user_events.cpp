// The events the connection pushes to the page: scanners arriving and
// leaving, scan progress, and one "scan_image" per saved page. They run on
// the back end's driver-side threads under its lock, so they read the event
// tags safely and never touch the socket: the text goes through the pump.
#include <cstring>

#include "platform/base/encoding.h"
#include "platform/base/kx_paths.h"
#include "ver_2/image_conversions.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

namespace {

const char* OrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

cJSON* MakeEvent(const char* func, bool hasIden, const std::string& iden) {
    cJSON* event = cJSON_CreateObject();
    cJSON_AddStringToObject(event, "func", func);
    if (hasIden) cJSON_AddStringToObject(event, "iden", iden.c_str());
    return event;
}

cJSON* MakeScanInfo(const ScanTags& scan, const char* text, int flag) {
    cJSON* event = MakeEvent("scan_info", scan.hasIden, scan.iden);
    cJSON_AddBoolToObject(event, "is_error", flag != 0);
    cJSON_AddStringToObject(event, "info", OrEmpty(text));
    return event;
}

}  // namespace

void WSUser::OnDeviceEvent(int code, const char* text, int flag, void* user) {
    auto* self = static_cast<WSUser*>(user);
    // The back end calls this with its lock held; the C callback cannot say so.
    KXBase_AssertLockHeld(self->backEndLock_);
    const EventTags tags = self->tags_;
    switch (code) {
        case 1:
        case 2: {
            const char* func = code == 1 ? "device_arrive" : "device_remove";
            cJSON* event = MakeEvent(func, tags.hasDeviceIden, tags.deviceIden);
            cJSON_AddStringToObject(event, "device_name", OrEmpty(text));
            self->PostEvent(event);
            break;
        }
        case 4:
            self->PostEvent(MakeEvent("scan_begin", tags.scan.hasIden, tags.scan.iden));
            self->PostEvent(MakeScanInfo(tags.scan, text, flag));
            break;
        case 5:
            self->PostEvent(MakeScanInfo(tags.scan, text, flag));
            self->PostEvent(MakeEvent("scan_end", tags.scan.hasIden, tags.scan.iden));
            break;
        default:
            break;
    }
}

void WSUser::OnScanImage(const char* path, int isBlank, void* user) {
    auto* self = static_cast<WSUser*>(user);
    KXBase_AssertLockHeld(self->backEndLock_);
    const EventTags tags = self->tags_;
    std::string file = OrEmpty(path);
    std::string dataUrl;
    if (tags.scan.getBase64) {
        ErrorInfo error;
        ImageFileToDataUrl(file, dataUrl, error);
    }
    cJSON* event = MakeEvent("scan_image", tags.scan.hasIden, tags.scan.iden);
    if (tags.scan.blankCheck) cJSON_AddBoolToObject(event, "is_blank", isBlank != 0);
    if (tags.scan.localSave) {
        cJSON_AddStringToObject(event, "image_path", AnsiToUtf8(file).c_str());
    } else {
        KXBase_DeleteFile(file.c_str());
    }
    if (tags.scan.getBase64) cJSON_AddStringToObject(event, "image_base64", dataUrl.c_str());
    self->PostEvent(event);
}

void WSUser::PostEvent(cJSON* event) {
    JsonHolder owner(event);
    char* text = cJSON_Print(event);
    if (text == nullptr) return;
    PostSendText(text, std::strlen(text));
    cJSON_free(text);
}

}  // namespace ver_2

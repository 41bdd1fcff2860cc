#include "platform/driver/event_sink.h"

namespace {

constexpr const char* kVendor = "ScanBridge";
constexpr const char* kModel = "Virtual Scanner";

}  // namespace

void EventSink::Device(SANE_Int code, const std::string& name) const {
    Device(code, name, kVendor, kModel);
}

void EventSink::Device(SANE_Int code, const std::string& name, const std::string& vendor,
                       const std::string& model) const {
    if (callback == nullptr) return;
    SANE_Event_Device device{name.c_str(), vendor.c_str(), model.c_str()};
    SANE_Int value = 0;
    callback(nullptr, code, &device, &value, user);
}

void EventSink::Text(SANE_Handle handle, SANE_Int code, const char* text, SANE_Int value) const {
    if (callback == nullptr) return;
    std::string copy = text;  // the callback receives writable data it cannot harm us through
    callback(handle, code, copy.data(), &value, user);
}

void EventSink::Image(SANE_Handle handle, SANE_Event_Image* image) const {
    if (callback == nullptr) return;
    SANE_Int value = 0;
    callback(handle, SANE_EVENT_IMAGE_OK, image, &value, user);
}

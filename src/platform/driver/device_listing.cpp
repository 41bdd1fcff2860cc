#include "platform/driver/device_listing.h"

#include <utility>

const SANE_Device** DeviceListing::Publish(std::vector<ListedDevice> devices) {
    devices_ = std::move(devices);
    records_.clear();
    for (const ListedDevice& device : devices_)
        records_.push_back({device.name.c_str(), device.vendor.c_str(), device.model.c_str(),
                            device.type.c_str()});
    pointers_.clear();
    for (const SANE_Device& record : records_)
        pointers_.push_back(&record);
    pointers_.push_back(nullptr);
    return pointers_.data();
}

SANE_Status DeviceListing::PublishTo(bool running, std::vector<ListedDevice> devices,
                                     const SANE_Device*** list) {
    if (!running) {
        *list = nullptr;
        return SANE_STATUS_INVAL;
    }
    *list = Publish(std::move(devices));
    return SANE_STATUS_GOOD;
}

void DeviceListing::Clear() {
    pointers_.clear();
    records_.clear();
    devices_.clear();
}

// The scanner list a driver hands out from sane_get_devices: the device
// records, their strings and the null-terminated pointer list, kept until
// the next listing or Clear replaces them, so the pointers a caller holds
// stay valid that long.
//
// Thread rule: none of its own; the driver guards it with its lock.
#pragma once

#include <string>
#include <vector>

#include "platform/driver/sane_qnsane.h"

struct ListedDevice {
    std::string name;
    std::string vendor;
    std::string model;
    std::string type;
};

class DeviceListing {
  public:
    // sane_get_devices' answer: the list replaced with devices in *list
    // (ending with null), or null and SANE_STATUS_INVAL when the driver is
    // not running.
    SANE_Status PublishTo(bool running, std::vector<ListedDevice> devices,
                          const SANE_Device*** list);
    void Clear();

  private:
    const SANE_Device** Publish(std::vector<ListedDevice> devices);

    std::vector<ListedDevice> devices_;
    std::vector<SANE_Device> records_;
    std::vector<const SANE_Device*> pointers_;
};

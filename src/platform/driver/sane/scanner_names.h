// The names the service shows for SANE scanners: "vendor model" from the
// device record, with " #2", " #3" for further devices of the same make.
// Option values are kept per name, so a name must not move: a device keeps
// its name while it is listed, gets it back when it returns (the same SANE
// device name) and it is free, and a device of a known make takes the
// lowest free number, so a replugged scanner that SANE lists under a new
// device name gets its old name again.
//
// Thread rule: none; the driver serialises.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/driver/sane/worker_protocol.h"

struct NamedDevice {
    std::string name;   // the name the service shows
    WireDevice device;  // the device as SANE lists it now
};

class ScannerNames {
  public:
    // Names every device of a new listing, in listing order.
    std::vector<NamedDevice> Update(const std::vector<WireDevice>& listed);

  private:
    // SANE device name -> the name it was given last.
    std::map<std::string, std::string> given_;
};

// "vendor model" with blanks trimmed; the SANE device name when both are empty.
std::string BaseName(const WireDevice& device);

// The options of one device open in the worker, as a DeviceOptionPort.
// Values read with the table are kept, so reading an option (a page asking
// for a value while the scanner scans) does not wait for the worker; a set
// forgets the kept value of that option, or all of them when the device
// says its table changed.
//
// Thread rule: none of its own; the driver calls it under the scanner's
// lock. Ownership: borrows the worker.
#pragma once

#include <map>

#include "platform/driver/sane/device_option_port.h"
#include "platform/driver/sane/sane_scan_job.h"

class WorkerOptionPort : public DeviceOptionPort {
  public:
    explicit WorkerOptionPort(ScanTarget target) : target_(target) {}

    SANE_Status Describe(std::vector<DeviceOption>* options) override;
    SANE_Status Get(SANE_Int index, OptionValue* value) override;
    SANE_Status Set(SANE_Int index, const OptionValue& value, SANE_Int* info) override;

  private:
    ScanTarget target_;
    std::map<SANE_Int, OptionValue> values_;
};

// The option table of one open SANE device as last described through its
// port, with every value checked against the option's constraint before the
// device sees it, and the table described again whenever the device asks
// for that (SANE_INFO_RELOAD_OPTIONS). Descriptors handed out stay valid
// until ForgetSuperseded after the reload that replaced them, so a table
// reloaded on a scan's thread never pulls a descriptor from under a reader
// on another. No threads of its own.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "platform/driver/sane/device_option_port.h"
#include "platform/driver/sane/owned_descriptor.h"

// Whether value is a valid value of the option (a single word or a text that
// fits; a button takes none). Array options take no value here.
bool ValueFits(const SANE_Option_Descriptor& descriptor, const OptionValue& value);

class DeviceTable {
  public:
    SANE_Status Reload(DeviceOptionPort& port);
    // Frees the descriptors of the tables that reloads replaced.
    void ForgetSuperseded() { superseded_.clear(); }

    const std::vector<DeviceOption>& Options() const { return options_; }
    size_t Size() const { return owned_.size(); }
    const OwnedDescriptor& At(size_t position) const { return *owned_[position]; }
    // The option called name, or null.
    const OwnedDescriptor* Find(std::string_view name) const;

    // Sets a value after checking it (SANE_STATUS_INVAL, nothing sent, when
    // it does not fit); *info receives the device's flags.
    SANE_Status Set(DeviceOptionPort& port, const OwnedDescriptor& option, const OptionValue& value,
                    SANE_Int* info);
    // Brings the option called name to value unless it is there already;
    // absent and inactive options are passed over.
    SANE_Status Apply(DeviceOptionPort& port, std::string_view name, const OptionValue& value);

  private:
    std::vector<DeviceOption> options_;
    std::vector<std::unique_ptr<OwnedDescriptor>> owned_;
    std::vector<std::unique_ptr<OwnedDescriptor>> superseded_;
};

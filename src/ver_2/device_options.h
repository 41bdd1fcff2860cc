// Reading, setting and resetting the options of one open scanner, matched by
// title. The options are reached through an OptionSource, so the same code
// serves the driver (DriverOptionSource) and tests with a scripted option
// table.
//
// Thread rule: none of its own; the back end calls these on the service
// thread. The source does not own the scanner handle.
#pragma once

#include <string>
#include <vector>

#include "platform/driver/option_source.h"
#include "ver_2/device_param.h"

namespace ver_2 {

// The title restoring every default when pressed (a button option).
inline constexpr char kRestoreDefaultsTitle[] = "恢复默认设置";

// The title without its leading blanks.
std::string TrimOptionTitle(const char* title);

// Lists every single-word bool, int, fixed (as double) and string option
// with its value and constraint, in option order, under the group option
// before it. Options before the first group, array options, buttons and
// other types are not listed. Returns 0.
int ReadDeviceParams(OptionSource& source, std::vector<DeviceParamGroup>& groups);

// Sets each entry on the first option whose title equals its name, by the
// option's own type; array options are never matched, and a string that does
// not fit its option (with its NUL) is refused. 0 only when the list is
// non-empty and every entry was applied; every entry is tried even after a
// failure. reason, when given, receives why the first refused entry was
// refused (the option's allowed values included), empty on success.
int ApplyDeviceParams(OptionSource& source, const std::vector<DeviceParam>& list,
                      std::string* reason = nullptr);

// Presses the first button titled kRestoreDefaultsTitle; 0 when it exists
// and the driver accepted the press.
int PressRestoreDefaults(OptionSource& source);

}  // namespace ver_2

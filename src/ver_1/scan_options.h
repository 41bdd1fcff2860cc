// Translation between a ScanParams record and the open scanner's options,
// which are recognised by their exact titles ("分辨率", "颜色模式", ...).
//
// ReadScannerOptions walks every option, logs it and copies the values it
// understands into the record; WriteScannerOptions sets every option it
// understands from the record (set failures are ignored). Array options (more
// than one word) are neither read nor set, and a string that does not fit its
// option is not set. Both run on the service thread with the options of a
// scanner that is open and not scanning. The two mapping functions are pure
// and exist so that the tables can be tested.
#pragma once

#include <string>

#include "platform/driver/option_source.h"
#include "ver_1/scan_params.h"

namespace ver_1 {

// A value read from an option: the integer of a bool or int option, the text
// of a string option.
struct OptionValue {
    int number = 0;
    std::string text;
};

// Copies a value read from the option with this title into params; titles
// and values outside the table leave params unchanged.
void ApplyOptionValue(const std::string& title, SANE_Value_Type type, const OptionValue& value,
                      ScanParams& params);
// The value to set on the option with this title; false for titles (or
// types) the table does not cover.
bool OptionValueFor(const std::string& title, SANE_Value_Type type, const ScanParams& params,
                    OptionValue* value);

void ReadScannerOptions(OptionSource& options, ScanParams& params);
void WriteScannerOptions(OptionSource& options, const ScanParams& params);

}  // namespace ver_1

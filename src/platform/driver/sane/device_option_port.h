// The options of one open SANE device as the service side of the SANE driver
// sees them: owned copies of the device's descriptors and values, reached
// through a port so the page-facing option layer works the same over the
// worker process and over a scripted table in tests.
//
// Thread rule: none of its own; the driver calls a port under its own lock.
#pragma once

#include <string>
#include <vector>

#include "platform/driver/sane_qnsane.h"

// One device option: a copy of its descriptor with owned texts and
// constraint. Index 0 (the option count) is never listed.
struct DeviceOption {
    SANE_Int index = 0;
    std::string name;  // the SANE well-known name ("mode", "resolution", "tl-x", ...)
    std::string title;
    std::string desc;
    SANE_Value_Type type = SANE_TYPE_INT;
    SANE_Unit unit = SANE_UNIT_NONE;
    SANE_Int size = 0;  // bytes, as the device declares it (strings include the NUL)
    SANE_Int cap = 0;
    SANE_Constraint_Type constraintType = SANE_CONSTRAINT_NONE;
    SANE_Range range{};
    std::vector<SANE_Word> wordList;  // without the leading count
    std::vector<std::string> stringList;

    // Active and settable by software.
    bool Settable() const {
        return (cap & SANE_CAP_INACTIVE) == 0 && (cap & SANE_CAP_SOFT_SELECT) != 0;
    }
    // A bool, int or fixed option holding more than one word (a gamma table).
    bool IsArray() const {
        return (type == SANE_TYPE_BOOL || type == SANE_TYPE_INT || type == SANE_TYPE_FIXED) &&
               size > static_cast<SANE_Int>(sizeof(SANE_Word));
    }
};

// A value: size / 4 words for bool, int and fixed options, the text (without
// the NUL) for strings, nothing for a button.
struct OptionValue {
    std::vector<SANE_Word> words;
    std::string text;
};

class DeviceOptionPort {
  public:
    virtual ~DeviceOptionPort() = default;
    // The device's current option table, in index order.
    virtual SANE_Status Describe(std::vector<DeviceOption>* options) = 0;
    virtual SANE_Status Get(SANE_Int index, OptionValue* value) = 0;
    // Sets a value (a button is pressed with an empty value); *info receives
    // the device's SANE_INFO_ flags. After SANE_INFO_RELOAD_OPTIONS the
    // caller describes the table again.
    virtual SANE_Status Set(SANE_Int index, const OptionValue& value, SANE_Int* info) = 0;
};

#include "ver_2/device_options.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/driver/option_words.h"

namespace ver_2 {

namespace {

// The option's word; 0 when it cannot be read.
SANE_Word ReadWord(OptionSource& source, SANE_Int index, const SANE_Option_Descriptor& descriptor) {
    OptionReading value;
    return ReadOptionValue(source, index, descriptor, &value) ? value.word : 0;
}

void ReadIntConstraint(const SANE_Option_Descriptor& descriptor, DeviceParam& param) {
    if (descriptor.constraint_type == SANE_CONSTRAINT_WORD_LIST &&
        descriptor.constraint.word_list != nullptr) {
        param.rangeType = DeviceRangeType::kIntList;
        const SANE_Word* list = descriptor.constraint.word_list;
        for (SANE_Word i = 1; i <= list[0]; ++i)
            param.intValueList.push_back(list[i]);
    } else if (descriptor.constraint_type == SANE_CONSTRAINT_RANGE &&
               descriptor.constraint.range != nullptr) {
        param.rangeType = DeviceRangeType::kIntRange;
        param.intValueMin = descriptor.constraint.range->min;
        param.intValueMax = descriptor.constraint.range->max;
    }
}

void ReadFixedConstraint(const SANE_Option_Descriptor& descriptor, DeviceParam& param) {
    if (descriptor.constraint_type == SANE_CONSTRAINT_WORD_LIST &&
        descriptor.constraint.word_list != nullptr) {
        param.rangeType = DeviceRangeType::kDoubleList;
        const SANE_Word* list = descriptor.constraint.word_list;
        for (SANE_Word i = 1; i <= list[0]; ++i)
            param.doubleValueList.push_back(SANE_UNFIX(list[i]));
    } else if (descriptor.constraint_type == SANE_CONSTRAINT_RANGE &&
               descriptor.constraint.range != nullptr) {
        param.rangeType = DeviceRangeType::kDoubleRange;
        param.doubleValueMin = SANE_UNFIX(descriptor.constraint.range->min);
        param.doubleValueMax = SANE_UNFIX(descriptor.constraint.range->max);
    }
}

void ReadStringOption(OptionSource& source, SANE_Int index,
                      const SANE_Option_Descriptor& descriptor, DeviceParam& param) {
    OptionReading value;
    ReadOptionValue(source, index, descriptor, &value);
    param.valueType = "string";
    param.stringValue = value.text;
    param.rangeType = DeviceRangeType::kStringList;
    if (descriptor.constraint_type == SANE_CONSTRAINT_STRING_LIST &&
        descriptor.constraint.string_list != nullptr) {
        for (const SANE_String_Const* entry = descriptor.constraint.string_list; *entry != nullptr;
             ++entry) {
            param.stringValueList.emplace_back(*entry);
        }
    }
}

// Fills param from option index; false for options that are not listed.
bool ReadOption(OptionSource& source, SANE_Int index, const SANE_Option_Descriptor& descriptor,
                DeviceParam& param) {
    if (IsArrayOption(descriptor)) return false;
    switch (descriptor.type) {
        case SANE_TYPE_BOOL: {
            SANE_Word word = ReadWord(source, index, descriptor);
            param.valueType = "bool";
            param.boolValue = word != 0;
            return true;
        }
        case SANE_TYPE_INT:
            param.valueType = "int";
            param.intValue = ReadWord(source, index, descriptor);
            ReadIntConstraint(descriptor, param);
            return true;
        case SANE_TYPE_FIXED:
            param.valueType = "double";
            param.doubleValue = SANE_UNFIX(ReadWord(source, index, descriptor));
            ReadFixedConstraint(descriptor, param);
            return true;
        case SANE_TYPE_STRING:
            ReadStringOption(source, index, descriptor, param);
            return true;
        default:
            return false;
    }
}

// The fixed-point word of value, truncated toward zero and kept inside the
// word's range.
SANE_Word ToFixed(double value) {
    double scaled = std::trunc(value * (1 << SANE_FIXED_SCALE_SHIFT));
    if (std::isnan(scaled)) return 0;
    scaled = std::clamp(scaled, static_cast<double>(std::numeric_limits<SANE_Word>::min()),
                        static_cast<double>(std::numeric_limits<SANE_Word>::max()));
    return static_cast<SANE_Word>(scaled);
}

// Sets option index to the entry's value by the option's type. Types without
// a value (groups, buttons) are left alone and count as applied.
bool SetOption(OptionSource& source, SANE_Int index, const SANE_Option_Descriptor& descriptor,
               const DeviceParam& entry) {
    SANE_Word word = 0;
    switch (descriptor.type) {
        case SANE_TYPE_STRING:
            return WriteOptionText(source, index, descriptor, entry.stringValue) ==
                   SANE_STATUS_GOOD;
        case SANE_TYPE_INT:
            word = entry.intValue;
            break;
        case SANE_TYPE_FIXED:
            word = ToFixed(entry.doubleValue);
            break;
        case SANE_TYPE_BOOL:
            word = entry.boolValue ? SANE_TRUE : SANE_FALSE;
            break;
        default:
            return true;
    }
    return WriteOptionWord(source, index, descriptor, word) == SANE_STATUS_GOOD;
}

bool ApplyOne(OptionSource& source, const DeviceParam& entry) {
    SANE_Int count = OptionCount(source);
    if (count < 2) return false;
    for (SANE_Int index = 1; index < count; ++index) {
        const SANE_Option_Descriptor* descriptor = source.Descriptor(index);
        if (descriptor == nullptr || IsArrayOption(*descriptor) ||
            TrimOptionTitle(descriptor->title) != entry.name) {
            continue;
        }
        return SetOption(source, index, *descriptor, entry);
    }
    return false;
}

}  // namespace

std::string TrimOptionTitle(const char* title) {
    if (title == nullptr) return {};
    while (*title == ' ')
        ++title;
    return title;
}

int ReadDeviceParams(OptionSource& source, std::vector<DeviceParamGroup>& groups) {
    groups.clear();
    SANE_Int count = OptionCount(source);
    for (SANE_Int index = 1; index < count; ++index) {
        const SANE_Option_Descriptor* descriptor = source.Descriptor(index);
        if (descriptor == nullptr) continue;
        if (descriptor->type == SANE_TYPE_GROUP) {
            groups.push_back(DeviceParamGroup{TrimOptionTitle(descriptor->title), {}});
            continue;
        }
        DeviceParam param;
        param.name = TrimOptionTitle(descriptor->title);
        if (!ReadOption(source, index, *descriptor, param) || groups.empty()) continue;
        groups.back().params.push_back(std::move(param));
    }
    return 0;
}

int ApplyDeviceParams(OptionSource& source, const std::vector<DeviceParam>& list) {
    if (list.empty()) return -1;
    int result = 0;
    for (const DeviceParam& entry : list) {
        if (!ApplyOne(source, entry)) result = -1;
    }
    return result;
}

int PressRestoreDefaults(OptionSource& source) {
    SANE_Int count = OptionCount(source);
    for (SANE_Int index = 1; index < count; ++index) {
        const SANE_Option_Descriptor* descriptor = source.Descriptor(index);
        if (descriptor == nullptr || descriptor->type != SANE_TYPE_BUTTON ||
            TrimOptionTitle(descriptor->title) != kRestoreDefaultsTitle) {
            continue;
        }
        return source.Control(index, SANE_ACTION_SET_VALUE, nullptr) == SANE_STATUS_GOOD ? 0 : -1;
    }
    return -1;
}

}  // namespace ver_2

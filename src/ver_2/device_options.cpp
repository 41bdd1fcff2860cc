#include "ver_2/device_options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The values an option allows, for a refusal: " (allowed: ...)", or empty
// when the option has no constraint to name.
std::string AllowedValues(const SANE_Option_Descriptor& descriptor) {
    std::string list;
    auto add = [&list](const std::string& value) { list += (list.empty() ? "" : ", ") + value; };
    bool fixed = descriptor.type == SANE_TYPE_FIXED;
    auto word = [fixed](SANE_Word value) {
        if (!fixed) return std::to_string(value);
        char text[32];
        std::snprintf(text, sizeof text, "%g", SANE_UNFIX(value));
        return std::string(text);
    };
    if (descriptor.constraint_type == SANE_CONSTRAINT_STRING_LIST &&
        descriptor.constraint.string_list != nullptr) {
        for (const SANE_String_Const* entry = descriptor.constraint.string_list; *entry != nullptr;
             ++entry) {
            add(Quoted(*entry));
        }
    } else if (descriptor.constraint_type == SANE_CONSTRAINT_WORD_LIST &&
               descriptor.constraint.word_list != nullptr) {
        const SANE_Word* words = descriptor.constraint.word_list;
        for (SANE_Word i = 1; i <= words[0]; ++i)
            add(word(words[i]));
    } else if (descriptor.constraint_type == SANE_CONSTRAINT_RANGE &&
               descriptor.constraint.range != nullptr) {
        list =
            word(descriptor.constraint.range->min) + ".." + word(descriptor.constraint.range->max);
    }
    return list.empty() ? std::string() : " (allowed: " + list + ")";
}

// The entry's value as the page sent it, read by the option's type.
std::string EntryValue(const SANE_Option_Descriptor& descriptor, const DeviceParam& entry) {
    switch (descriptor.type) {
        case SANE_TYPE_STRING:
            return Quoted(entry.stringValue);
        case SANE_TYPE_INT:
            return std::to_string(entry.intValue);
        case SANE_TYPE_BOOL:
            return entry.boolValue ? "true" : "false";
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "%g", entry.doubleValue);
            return text;
        }
    }
}

// Sets the option titled entry.name; the reason it was refused, or empty.
std::string ApplyOne(OptionSource& source, const DeviceParam& entry) {
    SANE_Int count = OptionCount(source);
    for (SANE_Int index = 1; index < count; ++index) {
        const SANE_Option_Descriptor* descriptor = source.Descriptor(index);
        if (descriptor == nullptr || IsArrayOption(*descriptor) ||
            TrimOptionTitle(descriptor->title) != entry.name) {
            continue;
        }
        if (SetOption(source, index, *descriptor, entry)) return {};
        return "option " + Quoted(entry.name) + " refused the value " +
               EntryValue(*descriptor, entry) + AllowedValues(*descriptor);
    }
    return "the open scanner has no option named " + Quoted(entry.name);
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

int ApplyDeviceParams(OptionSource& source, const std::vector<DeviceParam>& list,
                      std::string* reason) {
    std::string first = list.empty() ? "device_param is missing or holds no option" : "";
    for (const DeviceParam& entry : list) {
        std::string refused = ApplyOne(source, entry);
        if (first.empty()) first = std::move(refused);
    }
    if (reason != nullptr) *reason = first;
    return first.empty() ? 0 : -1;
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

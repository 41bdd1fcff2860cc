// One scanner option as the back end reads, sets, stores and sends it to the
// page, and the groups the options come in. Plain values; no thread rule.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ver_2 {

// What values an option allows.
enum class DeviceRangeType {
    kNone,
    kStringList,
    kIntList,
    kDoubleList,
    kIntRange,
    kDoubleRange,
};

struct DeviceParam {
    std::string name;       // the option title, leading blanks removed (UTF-8)
    std::string valueType;  // "string", "int", "double" or "bool"
    std::string stringValue;
    int32_t intValue = 0;
    double doubleValue = 0;  // fixed-point options: the driver's word / 65536
    bool boolValue = false;
    DeviceRangeType rangeType = DeviceRangeType::kNone;
    std::vector<std::string> stringValueList;
    std::vector<int32_t> intValueList;
    std::vector<double> doubleValueList;
    int32_t intValueMin = 0;
    int32_t intValueMax = 0;
    double doubleValueMin = 0;
    double doubleValueMax = 0;
};

struct DeviceParamGroup {
    std::string groupName;  // the group option's title, leading blanks removed
    std::vector<DeviceParam> params;
};

}  // namespace ver_2

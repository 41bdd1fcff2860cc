#include "ver_2/device_param_json.h"

#include <cstring>

#include "ver_2/json_readers.h"

namespace ver_2 {

namespace {

void AddRange(cJSON* object, const DeviceParam& param) {
    cJSON* list = nullptr;
    switch (param.rangeType) {
        case DeviceRangeType::kStringList:
            list = cJSON_AddArrayToObject(object, "value_list");
            for (const std::string& entry : param.stringValueList)
                cJSON_AddItemToArray(list, cJSON_CreateString(entry.c_str()));
            break;
        case DeviceRangeType::kIntList:
            list = cJSON_AddArrayToObject(object, "value_list");
            for (int32_t entry : param.intValueList)
                cJSON_AddItemToArray(list, cJSON_CreateNumber(entry));
            break;
        case DeviceRangeType::kDoubleList:
            list = cJSON_AddArrayToObject(object, "value_list");
            for (double entry : param.doubleValueList)
                cJSON_AddItemToArray(list, cJSON_CreateNumber(entry));
            break;
        case DeviceRangeType::kIntRange:
            cJSON_AddNumberToObject(object, "value_min", param.intValueMin);
            cJSON_AddNumberToObject(object, "value_max", param.intValueMax);
            break;
        case DeviceRangeType::kDoubleRange:
            cJSON_AddNumberToObject(object, "value_min", param.doubleValueMin);
            cJSON_AddNumberToObject(object, "value_max", param.doubleValueMax);
            break;
        case DeviceRangeType::kNone:
            break;
    }
}

const char* RangeTypeName(DeviceRangeType type) {
    switch (type) {
        case DeviceRangeType::kStringList:
        case DeviceRangeType::kIntList:
        case DeviceRangeType::kDoubleList:
            return "list";
        case DeviceRangeType::kIntRange:
        case DeviceRangeType::kDoubleRange:
            return "min_max";
        case DeviceRangeType::kNone:
            break;
    }
    return nullptr;
}

cJSON* OptionToJson(const DeviceParam& param) {
    cJSON* object = cJSON_CreateObject();
    cJSON_AddStringToObject(object, "name", param.name.c_str());
    cJSON_AddStringToObject(object, "value_type", param.valueType.c_str());
    if (param.valueType == "string") {
        cJSON_AddStringToObject(object, "value", param.stringValue.c_str());
    } else if (param.valueType == "int") {
        cJSON_AddNumberToObject(object, "value", param.intValue);
    } else if (param.valueType == "double") {
        cJSON_AddNumberToObject(object, "value", param.doubleValue);
    } else {
        cJSON_AddBoolToObject(object, "value", param.boolValue);
    }
    // Boolean options have no range members.
    const char* rangeType = param.valueType == "bool" ? nullptr : RangeTypeName(param.rangeType);
    if (rangeType == nullptr) return object;
    cJSON_AddStringToObject(object, "range_type", rangeType);
    AddRange(object, param);
    return object;
}

void ReadValue(const cJSON* value, DeviceParam& param) {
    if (cJSON_IsString(value) && value->valuestring != nullptr) {
        param.stringValue = value->valuestring;
    } else if (cJSON_IsNumber(value)) {
        param.intValue = JsonNumberToInt(value);
        param.doubleValue = value->valuedouble;
    } else if (cJSON_IsBool(value)) {
        param.boolValue = cJSON_IsTrue(value);
    }
}

}  // namespace

cJSON* DeviceParamGroupsToJson(const std::vector<DeviceParamGroup>& groups) {
    cJSON* array = cJSON_CreateArray();
    for (const DeviceParamGroup& group : groups) {
        cJSON* object = cJSON_CreateObject();
        cJSON_AddStringToObject(object, "group_name", group.groupName.c_str());
        cJSON* params = cJSON_AddArrayToObject(object, "group_param");
        for (const DeviceParam& param : group.params)
            cJSON_AddItemToArray(params, OptionToJson(param));
        cJSON_AddItemToArray(array, object);
    }
    return array;
}

std::vector<DeviceParam> DeviceParamsFromJson(const cJSON* array) {
    std::vector<DeviceParam> list;
    if (array == nullptr || !cJSON_IsArray(array)) return list;
    const cJSON* element = nullptr;
    cJSON_ArrayForEach(element, array) {
        if (!cJSON_IsObject(element)) continue;
        DeviceParam param;
        const cJSON* member = nullptr;
        cJSON_ArrayForEach(member, element) {
            if (member->string == nullptr) continue;
            if (std::strcmp(member->string, "name") == 0) {
                if (cJSON_IsString(member) && member->valuestring != nullptr) {
                    param.name = member->valuestring;
                }
            } else if (std::strcmp(member->string, "value") == 0) {
                ReadValue(member, param);
            }
        }
        list.push_back(std::move(param));
    }
    return list;
}

}  // namespace ver_2

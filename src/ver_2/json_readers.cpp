#include "ver_2/json_readers.h"

#include <cmath>
#include <limits>

namespace ver_2 {

namespace {

const cJSON* FirstMember(const cJSON* object, const char* name) {
    if (object == nullptr || !cJSON_IsObject(object)) return nullptr;
    return cJSON_GetObjectItemCaseSensitive(object, name);
}

void SetFound(bool* found, bool value) {
    if (found != nullptr) *found = value;
}

}  // namespace

int32_t JsonNumberToInt(const cJSON* number) {
    double value = std::trunc(number->valuedouble);
    if (value >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

int32_t GetJsonInt(const cJSON* object, const char* name, bool* found) {
    const cJSON* member = FirstMember(object, name);
    bool ok = member != nullptr && cJSON_IsNumber(member);
    SetFound(found, ok);
    return ok ? JsonNumberToInt(member) : 0;
}

bool GetJsonBool(const cJSON* object, const char* name, bool* found) {
    const cJSON* member = FirstMember(object, name);
    bool ok = member != nullptr && cJSON_IsBool(member);
    SetFound(found, ok);
    return ok && cJSON_IsTrue(member);
}

std::string GetJsonString(const cJSON* object, const char* name, bool* found) {
    const cJSON* member = FirstMember(object, name);
    bool ok = member != nullptr && cJSON_IsString(member) && member->valuestring != nullptr;
    SetFound(found, ok);
    return ok ? member->valuestring : "";
}

std::vector<std::string> GetJsonStringArray(const cJSON* object, const char* name) {
    std::vector<std::string> values;
    const cJSON* member = FirstMember(object, name);
    if (member == nullptr || !cJSON_IsArray(member)) return values;
    const cJSON* element = nullptr;
    cJSON_ArrayForEach(element, member) {
        if (cJSON_IsString(element) && element->valuestring != nullptr) {
            values.emplace_back(element->valuestring);
        }
    }
    return values;
}

std::vector<int32_t> GetJsonIntArray(const cJSON* object, const char* name) {
    std::vector<int32_t> values;
    const cJSON* member = FirstMember(object, name);
    if (member == nullptr || !cJSON_IsArray(member)) return values;
    const cJSON* element = nullptr;
    cJSON_ArrayForEach(element, member) {
        if (cJSON_IsNumber(element)) values.push_back(JsonNumberToInt(element));
    }
    return values;
}

}  // namespace ver_2

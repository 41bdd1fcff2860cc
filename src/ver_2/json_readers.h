// Readers of command members. Each looks only at the direct members of the
// object, compares names byte for byte, and uses the first member with the
// name even when its type is wrong (then the member counts as not found).
#pragma once

#include <cjson/cJSON.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/json_holder.h"

namespace ver_2 {

// The number's integer part (saturated to the 32-bit range), else 0.
int32_t GetJsonInt(const cJSON* object, const char* name, bool* found = nullptr);
// true for `true`; false for `false` and anything else.
bool GetJsonBool(const cJSON* object, const char* name, bool* found = nullptr);
std::string GetJsonString(const cJSON* object, const char* name, bool* found = nullptr);
// The string / number elements of an array member, in order; others skipped.
std::vector<std::string> GetJsonStringArray(const cJSON* object, const char* name);
std::vector<int32_t> GetJsonIntArray(const cJSON* object, const char* name);

// The integer part of a JSON number, saturated to the 32-bit range.
int32_t JsonNumberToInt(const cJSON* number);

}  // namespace ver_2

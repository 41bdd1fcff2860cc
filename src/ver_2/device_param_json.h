// Scanner options on the command channel: the "device_param" list that
// "get_device_param" sends (groups of option objects with their values and
// allowed values) and the list of option values that "set_device_param"
// reads. Pure conversions; no thread rule. Created objects belong to the
// caller.
#pragma once

#include <cjson/cJSON.h>

#include <vector>

#include "ver_2/device_param.h"

namespace ver_2 {

// An array of {"group_name", "group_param": [option objects]}. An option
// object has "name", "value_type", "value", then for string options and for
// int and double options with a constraint "range_type" ("list" with
// "value_list", or "min_max" with "value_min" and "value_max").
cJSON* DeviceParamGroupsToJson(const std::vector<DeviceParamGroup>& groups);

// The entries of a "device_param" array: from every object element its
// "name" (a string) and its "value" (a string, a number, or true/false, each
// filling the matching fields). Elements that are not objects are skipped; a
// member that is not an array gives an empty list.
std::vector<DeviceParam> DeviceParamsFromJson(const cJSON* array);

}  // namespace ver_2

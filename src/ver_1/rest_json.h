// JSON of the REST interface: the readers for parameter objects that arrive
// as form fields, the parameter object of "/VevIzer/getParams", and the
// records read from "/VevIzer/setParams" and "/VevIzer/uploadImage".
//
// Readers follow fixed rules: an integer is the first member of that exact
// name when it is a number, else 0; a boolean is true only for a `true`
// member; a string is the member's text when it is a string, else "". A
// text that does not parse, or whose top level is not an object, counts as
// absent. Pure functions; any thread.
#pragma once

#include <cjson/cJSON.h>

#include <memory>
#include <string>

#include "net/json_holder.h"
#include "ver_1/scan_params.h"
#include "ver_1/upload_request.h"

namespace ver_1 {

// The parsed text when it is a JSON object, else null.
JsonHolder ParseJsonObject(const std::string& text);

int JsonInt(const cJSON* object, const char* name);
bool JsonBool(const cJSON* object, const char* name);
std::string JsonString(const cJSON* object, const char* name);

// The parameter object: members in the fixed order, ", " between them,
// empty strings as null, texts escaped.
std::string ParamsJson(const ScanParams& params);
// A new record (reset values) overlaid with what the "params" text holds;
// "device" is not read. Invalid JSON keeps the new record.
ScanParams ParamsFromJson(const std::string& text);
// The upload request of "formDataString": the defaults overlaid with its
// top-level members.
UploadRequest UploadRequestFromJson(const std::string& text);

}  // namespace ver_1

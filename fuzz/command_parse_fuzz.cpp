// Fuzz target: a generation-2 command message as the connection receives it,
// through the command parse and every member reader the command handlers
// use, applied to each member the message has, and the "device_param" list
// reader on each array.
//
// Besides running clean under the sanitizers, a reader that says a member
// was not found must return its empty value, and a parsed command's "func"
// and "iden" must be what the readers find in the object.
#include <cjson/cJSON.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_check.h"
#include "ver_2/command_parse.h"
#include "ver_2/device_param_json.h"
#include "ver_2/json_readers.h"

namespace {

using namespace ver_2;

void ReadMember(const cJSON* root, const char* name) {
    bool found = true;
    int32_t number = GetJsonInt(root, name, &found);
    FUZZ_CHECK(found || number == 0);
    bool flag = GetJsonBool(root, name, &found);
    FUZZ_CHECK(found || !flag);
    std::string text = GetJsonString(root, name, &found);
    FUZZ_CHECK(found || text.empty());
    GetJsonStringArray(root, name);
    GetJsonIntArray(root, name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::optional<ParsedCommand> parsed = ParseCommand(data, size);
    if (!parsed) return 0;
    const Command& command = parsed->command;
    FUZZ_CHECK(command.root == parsed->root.get());
    bool found = false;
    FUZZ_CHECK(GetJsonString(command.root, "func", &found) == command.func && found);
    FUZZ_CHECK(GetJsonString(command.root, "iden", &found) == command.iden &&
               found == command.hasIden);

    const cJSON* member = nullptr;
    cJSON_ArrayForEach(member, command.root) {
        if (member->string == nullptr) continue;
        ReadMember(command.root, member->string);
        if (cJSON_IsArray(member)) DeviceParamsFromJson(member);
    }
    return 0;
}

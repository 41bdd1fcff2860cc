#include "ver_2/command_parse.h"

#include <string>
#include <string_view>

namespace ver_2 {

namespace {

std::optional<ParsedCommand> Ignored(const char** ignoredBecause, const char* reason) {
    if (ignoredBecause != nullptr) *ignoredBecause = reason;
    return std::nullopt;
}

}  // namespace

std::optional<ParsedCommand> ParseCommand(const uint8_t* text, size_t length,
                                          const char** ignoredBecause) {
    if (length == 0) return Ignored(ignoredBecause, "it is empty");
    std::string_view message(reinterpret_cast<const char*>(text), length);
    message = message.substr(0, message.find('\0'));
    while (!message.empty() && message.front() >= 1 && message.front() <= 32) {
        message.remove_prefix(1);
    }
    // The parser gets its own terminated copy: some cJSON releases read one
    // byte past a length-bounded buffer on truncated input.
    std::string copy(message);
    ParsedCommand parsed;
    parsed.root.reset(cJSON_ParseWithOpts(copy.c_str(), nullptr, false));
    if (parsed.root == nullptr || !cJSON_IsObject(parsed.root.get()))
        return Ignored(ignoredBecause, "it is not a JSON object");

    Command& command = parsed.command;
    command.root = parsed.root.get();
    bool hasFunc = false;
    command.func = GetJsonString(command.root, "func", &hasFunc);
    if (!hasFunc) return Ignored(ignoredBecause, "\"func\" is missing or not a string");
    command.iden = GetJsonString(command.root, "iden", &command.hasIden);
    return parsed;
}

}  // namespace ver_2

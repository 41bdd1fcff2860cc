// Reading one generation-2 command message: the JSON value it carries and
// the members every command has ("func", and "iden" when it is a string).
// Pure; no thread rule. The parsed tree belongs to the returned value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "ver_2/command.h"

namespace ver_2 {

struct ParsedCommand {
    JsonHolder root;
    Command command;  // command.root points into root
};

// The message up to its first NUL byte, leading control characters and
// spaces skipped, parsed as one JSON value (whatever follows the value is
// ignored). Nothing for an empty or unparsable message, a value that is not
// an object, and an object without a string "func"; then *ignoredBecause,
// when given, says which in words.
std::optional<ParsedCommand> ParseCommand(const uint8_t* text, size_t length,
                                          const char** ignoredBecause = nullptr);

}  // namespace ver_2

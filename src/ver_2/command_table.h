// The names of the generation-2 commands in matching order and their
// handlers. A name whose handler is not part of this build has a null
// handler and is refused like an unknown name.
#pragma once

#include <string_view>

#include "ver_2/command.h"

namespace ver_2 {

using CommandHandler = void (*)(WSUser& user, const Command& command);

struct CommandEntry {
    const char* name;
    CommandHandler handler;
};

// The first entry whose name equals name exactly, or null.
const CommandEntry* FindCommand(std::string_view name);
// All entries, in matching order.
const CommandEntry* CommandTable(size_t* count);

}  // namespace ver_2

// The command handlers of the generation-2 channel, one file per family.
// Each reads its members, calls the back end and sends one reply. Service
// thread only.
#pragma once

#include "ver_2/command.h"

namespace ver_2 {

// Device and scan commands.
void HandleDeinitDevice(WSUser& user, const Command& command);
void HandleGetCurrDeviceName(WSUser& user, const Command& command);

}  // namespace ver_2

// The command handlers of the generation-2 channel, one file per family.
// Each reads its members, calls the back end and sends one reply. Service
// thread only.
#pragma once

#include "ver_2/command.h"

namespace ver_2 {

// Configuration and local files (commands_config.cpp).
void HandleSetGlobalConfig(WSUser& user, const Command& command);
void HandleGetGlobalConfig(WSUser& user, const Command& command);
void HandleLoadLocalImage(WSUser& user, const Command& command);
void HandleSaveLocalImage(WSUser& user, const Command& command);
void HandleDeleteLocalFile(WSUser& user, const Command& command);
void HandleClearGlobalFileSavePath(WSUser& user, const Command& command);

// Device and scan commands (commands_device.cpp).
void HandleInitDevice(WSUser& user, const Command& command);
void HandleDeinitDevice(WSUser& user, const Command& command);
void HandleGetDeviceNameList(WSUser& user, const Command& command);
void HandleOpenDevice(WSUser& user, const Command& command);
void HandleCloseDevice(WSUser& user, const Command& command);
void HandleSetDeviceParam(WSUser& user, const Command& command);
void HandleGetDeviceParam(WSUser& user, const Command& command);
void HandleResetDeviceParam(WSUser& user, const Command& command);
void HandleGetCurrDeviceName(WSUser& user, const Command& command);
void HandleStartScan(WSUser& user, const Command& command);
void HandleStopScan(WSUser& user, const Command& command);

// Image-processing commands (commands_image_proc.cpp), one handler per
// family for its batch, local and Base64 variants.
void HandleMergeImage(WSUser& user, const Command& command);
void HandleMakeMultiImage(WSUser& user, const Command& command);
void HandleSplitImage(WSUser& user, const Command& command);
void HandleMakeZipFile(WSUser& user, const Command& command);
void HandleImageDeskew(WSUser& user, const Command& command);
void HandleImageAddWatermark(WSUser& user, const Command& command);
void HandleImageDecontamination(WSUser& user, const Command& command);
void HandleImageDirectionCorrect(WSUser& user, const Command& command);
void HandleImageClip(WSUser& user, const Command& command);

}  // namespace ver_2

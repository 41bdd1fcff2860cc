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

// Batch commands (commands_batch.cpp).
void HandleGetBatchIdList(WSUser& user, const Command& command);
void HandleOpenBatch(WSUser& user, const Command& command);
void HandleDeleteBatch(WSUser& user, const Command& command);
void HandleNewBatch(WSUser& user, const Command& command);
void HandleGetCurrBatchId(WSUser& user, const Command& command);
void HandleModifyBatchId(WSUser& user, const Command& command);
void HandleBindFolder(WSUser& user, const Command& command);
void HandleStopBindFolder(WSUser& user, const Command& command);

// Image-list commands (commands_image_list.cpp).
void HandleGetImageThumbnailList(WSUser& user, const Command& command);
void HandleGetImageCount(WSUser& user, const Command& command);
void HandleLoadImage(WSUser& user, const Command& command);
void HandleSaveImage(WSUser& user, const Command& command);
void HandleInsertLocalImage(WSUser& user, const Command& command);
void HandleInsertImage(WSUser& user, const Command& command);
void HandleModifyImageTag(WSUser& user, const Command& command);
void HandleDeleteImage(WSUser& user, const Command& command);
void HandleClearImageList(WSUser& user, const Command& command);
void HandleModifyImage(WSUser& user, const Command& command);
void HandleModifyImageByLocal(WSUser& user, const Command& command);
void HandleMoveImage(WSUser& user, const Command& command);
void HandleExchangeImage(WSUser& user, const Command& command);
void HandleImageBookSort(WSUser& user, const Command& command);

// Upload commands (commands_upload.cpp): one handler for "upload_image",
// "upload_local_file" and "upload_image_base64".
void HandleUpload(WSUser& user, const Command& command);

}  // namespace ver_2

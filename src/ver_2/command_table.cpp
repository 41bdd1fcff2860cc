#include "ver_2/command_table.h"

#include <iterator>

#include "ver_2/commands.h"

namespace ver_2 {

namespace {

// Matching order. The image-processing, upload and three-name families share
// one handler per line; each handler learns the name from the command.
const CommandEntry kCommands[] = {
    // Configuration and local files.
    {"set_global_config", HandleSetGlobalConfig},
    {"get_global_config", HandleGetGlobalConfig},
    {"load_local_image", HandleLoadLocalImage},
    {"save_local_image", HandleSaveLocalImage},
    {"delete_local_file", HandleDeleteLocalFile},
    {"clear_global_file_save_path", HandleClearGlobalFileSavePath},
    // Image processing.
    {"merge_local_image", HandleMergeImage},
    {"merge_base64_image", HandleMergeImage},
    {"merge_image", HandleMergeImage},
    {"local_make_multi_image", HandleMakeMultiImage},
    {"base64_make_multi_image", HandleMakeMultiImage},
    {"make_multi_image", HandleMakeMultiImage},
    {"split_local_image", HandleSplitImage},
    {"split_base64_image", HandleSplitImage},
    {"split_image", HandleSplitImage},
    {"local_make_zip_file", HandleMakeZipFile},
    {"base64_make_zip_file", HandleMakeZipFile},
    {"make_zip_file", HandleMakeZipFile},
    {"local_image_deskew", HandleImageDeskew},
    {"base64_image_deskew", HandleImageDeskew},
    {"image_deskew", HandleImageDeskew},
    {"local_image_add_watermark", HandleImageAddWatermark},
    {"base64_image_add_watermark", HandleImageAddWatermark},
    {"image_add_watermark", HandleImageAddWatermark},
    {"local_image_decontamination", HandleImageDecontamination},
    {"base64_image_decontamination", HandleImageDecontamination},
    {"image_decontamination", HandleImageDecontamination},
    {"local_image_direction_correct", HandleImageDirectionCorrect},
    {"base64_image_direction_correct", HandleImageDirectionCorrect},
    {"image_direction_correct", HandleImageDirectionCorrect},
    {"local_image_clip", HandleImageClip},
    {"base64_image_clip", HandleImageClip},
    {"image_clip", HandleImageClip},
    // Upload.
    {"upload_image", HandleUpload},
    {"upload_local_file", HandleUpload},
    {"upload_image_base64", HandleUpload},
    // Device and scan.
    {"init_device", HandleInitDevice},
    {"deinit_device", HandleDeinitDevice},
    {"get_device_name_list", HandleGetDeviceNameList},
    {"open_device", HandleOpenDevice},
    {"close_device", HandleCloseDevice},
    {"set_device_param", HandleSetDeviceParam},
    {"get_device_param", HandleGetDeviceParam},
    {"reset_device_param", HandleResetDeviceParam},
    {"get_curr_device_name", HandleGetCurrDeviceName},
    {"start_scan", HandleStartScan},
    {"stop_scan", HandleStopScan},
    // Batches.
    {"get_batch_id_list", HandleGetBatchIdList},
    {"open_batch", HandleOpenBatch},
    {"delete_batch", HandleDeleteBatch},
    {"new_batch", HandleNewBatch},
    {"get_curr_batch_id", HandleGetCurrBatchId},
    {"modify_batch_id", HandleModifyBatchId},
    {"bind_folder", HandleBindFolder},
    {"stop_bind_folder", HandleStopBindFolder},
    // Image list.
    {"get_image_thumbnail_list", HandleGetImageThumbnailList},
    {"get_image_count", HandleGetImageCount},
    {"load_image", HandleLoadImage},
    {"save_image", HandleSaveImage},
    {"insert_local_image", HandleInsertLocalImage},
    {"insert_image", HandleInsertImage},
    {"modify_image_tag", HandleModifyImageTag},
    {"delete_image", HandleDeleteImage},
    {"clear_image_list", HandleClearImageList},
    {"modify_image", HandleModifyImage},
    {"modify_image_by_local", HandleModifyImageByLocal},
    {"move_image", HandleMoveImage},
    {"exchange_image", HandleExchangeImage},
    {"image_book_sort", HandleImageBookSort},
};

static_assert(std::size(kCommands) == 69);

}  // namespace

const CommandEntry* FindCommand(std::string_view name) {
    for (const CommandEntry& entry : kCommands) {
        if (name == entry.name) return &entry;
    }
    return nullptr;
}

const CommandEntry* CommandTable(size_t* count) {
    *count = std::size(kCommands);
    return kCommands;
}

}  // namespace ver_2

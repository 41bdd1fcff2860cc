// Configuration and local-file commands: the global settings, and loading,
// saving and deleting image files on the local disk.
#include "platform/base/encoding.h"
#include "ver_2/commands.h"
#include "ver_2/image_conversions.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

namespace {

// A string setting: stored in field and marked in mask when given as a string.
void ReadStringSetting(const cJSON* root, const char* key, bool convert, std::string& field,
                       uint32_t bit, uint32_t& mask) {
    bool found = false;
    std::string value = GetJsonString(root, key, &found);
    if (!found) return;
    field = convert ? Utf8ToAnsi(value) : value;
    mask |= bit;
}

void ReadIntSetting(const cJSON* root, const char* key, int32_t& field, uint32_t bit,
                    uint32_t& mask) {
    bool found = false;
    int32_t value = GetJsonInt(root, key, &found);
    if (!found) return;
    field = value;
    mask |= bit;
}

}  // namespace

void HandleSetGlobalConfig(WSUser& user, const Command& command) {
    GlobalConfig config;
    uint32_t mask = 0;
    const cJSON* root = command.root;
    ReadStringSetting(root, "file_save_path", true, config.fileSavePath, kFieldFileSavePath, mask);
    ReadStringSetting(root, "file_name_prefix", true, config.fileNamePrefix, kFieldFileNamePrefix,
                      mask);
    ReadStringSetting(root, "file_name_mode", false, config.fileNameMode, kFieldFileNameMode, mask);
    ReadStringSetting(root, "image_format", false, config.imageFormat, kFieldImageFormat, mask);
    ReadIntSetting(root, "image_jpeg_quality", config.imageJpegQuality, kFieldImageJpegQuality,
                   mask);
    ReadStringSetting(root, "image_tiff_compression", false, config.imageTiffCompression,
                      kFieldImageTiffCompression, mask);
    ReadIntSetting(root, "image_tiff_jpeg_quality", config.imageTiffJpegQuality,
                   kFieldImageTiffJpegQuality, mask);
    ErrorInfo error;
    int ret = user.manager().SetGlobalConfig(config, mask, error);
    ReplyResult(user, command, ret, error);
}

void HandleGetGlobalConfig(WSUser& user, const Command& command) {
    GlobalConfig config;
    user.manager().GetGlobalConfig(config);
    Reply reply(command);
    reply.SetSuccess();
    cJSON* object = reply.object();
    cJSON_AddStringToObject(object, "file_save_path", AnsiToUtf8(config.fileSavePath).c_str());
    cJSON_AddStringToObject(object, "file_name_prefix", AnsiToUtf8(config.fileNamePrefix).c_str());
    cJSON_AddStringToObject(object, "file_name_mode", config.fileNameMode.c_str());
    cJSON_AddStringToObject(object, "image_format", config.imageFormat.c_str());
    cJSON_AddNumberToObject(object, "image_jpeg_quality", config.imageJpegQuality);
    cJSON_AddStringToObject(object, "image_tiff_compression", config.imageTiffCompression.c_str());
    cJSON_AddNumberToObject(object, "image_tiff_jpeg_quality", config.imageTiffJpegQuality);
    reply.Send(user);
}

void HandleLoadLocalImage(WSUser& user, const Command& command) {
    std::string path = Utf8ToAnsi(GetJsonString(command.root, "image_path"));
    std::string dataUrl;
    ErrorInfo error;
    int ret = ImageFileToDataUrl(path, dataUrl, error);
    Reply reply(command);
    reply.SetResult(ret, error);
    if (ret == 0) cJSON_AddStringToObject(reply.object(), "image_base64", dataUrl.c_str());
    reply.Send(user);
}

void HandleSaveLocalImage(WSUser& user, const Command& command) {
    std::string text = GetJsonString(command.root, "image_base64");
    std::string path;
    ErrorInfo error;
    int ret = DataUrlToImageFile(user.manager().outputs(), text, false, path, error);
    Reply reply(command);
    reply.SetResult(ret, error);
    if (ret == 0) cJSON_AddStringToObject(reply.object(), "image_path", AnsiToUtf8(path).c_str());
    reply.Send(user);
}

void HandleDeleteLocalFile(WSUser& user, const Command& command) {
    std::string path = Utf8ToAnsi(GetJsonString(command.root, "file_path"));
    ErrorInfo error;
    int ret = user.manager().DeleteLocalFile(path, error);
    ReplyResult(user, command, ret, error);
}

void HandleClearGlobalFileSavePath(WSUser& user, const Command& command) {
    user.manager().ClearGlobalFileSavePath();
    Reply reply(command);
    reply.SetSuccess();
    reply.Send(user);
}

}  // namespace ver_2

// Image-list commands: reading and editing the images of the current batch.
// Each reads its members in the order of its table, calls one batch-store
// operation and replies. Paths are converted to and from the native
// encoding; tags and data URLs pass unconverted.
#include "platform/base/encoding.h"
#include "ver_2/commands.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

namespace {

// A number member, or fallback when it is absent or not a number.
int32_t IntOr(const cJSON* root, const char* name, int32_t fallback) {
    bool given = false;
    int32_t value = GetJsonInt(root, name, &given);
    return given ? value : fallback;
}

std::string PathMember(const cJSON* root, const char* name) {
    return Utf8ToAnsi(GetJsonString(root, name));
}

}  // namespace

void HandleGetImageThumbnailList(WSUser& user, const Command& command) {
    std::vector<ThumbnailItem> items;
    ErrorInfo error;
    int ret = user.manager().GetImageThumbnailList(items, error);
    Reply reply(command);
    reply.SetResult(ret, error);
    if (ret == 0) {
        cJSON* list = cJSON_AddArrayToObject(reply.object(), "image_thumbnail_list");
        for (const ThumbnailItem& item : items) {
            cJSON* element = cJSON_CreateObject();
            cJSON_AddStringToObject(element, "image_tag", item.tag.c_str());
            cJSON_AddStringToObject(element, "image_base64", item.dataUrl.c_str());
            cJSON_AddItemToArray(list, element);
        }
    }
    reply.Send(user);
}

void HandleGetImageCount(WSUser& user, const Command& command) {
    int32_t count = 0;
    ErrorInfo error;
    int ret = user.manager().GetImageCount(count, error);
    Reply reply(command);
    reply.SetResult(ret, error);
    if (ret == 0) cJSON_AddNumberToObject(reply.object(), "image_count", count);
    reply.Send(user);
}

void HandleLoadImage(WSUser& user, const Command& command) {
    int32_t index = IntOr(command.root, "image_index", 0);
    std::string tag;
    std::string dataUrl;
    ErrorInfo error;
    int ret = user.manager().LoadImage(index, tag, dataUrl, error);
    Reply reply(command);
    reply.SetResult(ret, error);
    if (ret == 0) {
        cJSON_AddStringToObject(reply.object(), "image_tag", tag.c_str());
        cJSON_AddStringToObject(reply.object(), "image_base64", dataUrl.c_str());
    }
    reply.Send(user);
}

void HandleSaveImage(WSUser& user, const Command& command) {
    int32_t index = IntOr(command.root, "image_index", 0);
    std::string path;
    ErrorInfo error;
    int ret = user.manager().SaveImage(index, false, path, error);
    Reply reply(command);
    reply.SetResult(ret, error);
    if (ret == 0) cJSON_AddStringToObject(reply.object(), "image_path", AnsiToUtf8(path).c_str());
    reply.Send(user);
}

void HandleInsertLocalImage(WSUser& user, const Command& command) {
    const cJSON* root = command.root;
    std::string path = PathMember(root, "image_path");
    int32_t position = IntOr(root, "insert_pos", -1);
    std::string tag = GetJsonString(root, "image_tag");
    ErrorInfo error;
    int ret = user.manager().InsertLocalImage(path, position, tag, error);
    ReplyResult(user, command, ret, error);
}

void HandleInsertImage(WSUser& user, const Command& command) {
    const cJSON* root = command.root;
    std::string dataUrl = GetJsonString(root, "image_base64");
    int32_t position = IntOr(root, "insert_pos", -1);
    std::string tag = GetJsonString(root, "image_tag");
    ErrorInfo error;
    int ret = user.manager().InsertImage(dataUrl, position, tag, error);
    ReplyResult(user, command, ret, error);
}

void HandleModifyImageTag(WSUser& user, const Command& command) {
    std::vector<int32_t> indexes = GetJsonIntArray(command.root, "image_index_list");
    std::vector<std::string> tags = GetJsonStringArray(command.root, "image_tag_list");
    ErrorInfo error;
    int ret = user.manager().ModifyImageTag(indexes, tags, error);
    ReplyResult(user, command, ret, error);
}

void HandleDeleteImage(WSUser& user, const Command& command) {
    std::vector<int32_t> indexes = GetJsonIntArray(command.root, "image_index_list");
    ErrorInfo error;
    int ret = user.manager().DeleteImage(indexes, error);
    ReplyResult(user, command, ret, error);
}

void HandleClearImageList(WSUser& user, const Command& command) {
    ErrorInfo error;
    int ret = user.manager().ClearImageList(error);
    ReplyResult(user, command, ret, error);
}

void HandleModifyImage(WSUser& user, const Command& command) {
    int32_t index = IntOr(command.root, "image_index", 0);
    std::string dataUrl = GetJsonString(command.root, "image_base64");
    ErrorInfo error;
    int ret = user.manager().ModifyImage(index, dataUrl, error);
    ReplyResult(user, command, ret, error);
}

void HandleModifyImageByLocal(WSUser& user, const Command& command) {
    int32_t index = IntOr(command.root, "image_index", 0);
    std::string path = PathMember(command.root, "image_path");
    ErrorInfo error;
    int ret = user.manager().ModifyImageByLocal(index, path, error);
    ReplyResult(user, command, ret, error);
}

void HandleMoveImage(WSUser& user, const Command& command) {
    const cJSON* root = command.root;
    std::vector<int32_t> indexes = GetJsonIntArray(root, "image_index_list");
    bool given = false;
    std::string mode = GetJsonString(root, "mode", &given);
    if (!given) mode = "index";
    int32_t target = IntOr(root, "target", 0);
    ErrorInfo error;
    int ret = user.manager().MoveImage(indexes, mode, target, error);
    ReplyResult(user, command, ret, error);
}

void HandleExchangeImage(WSUser& user, const Command& command) {
    int32_t index1 = IntOr(command.root, "image_index_1", 0);
    int32_t index2 = IntOr(command.root, "image_index_2", 0);
    ErrorInfo error;
    int ret = user.manager().ExchangeImage(index1, index2, error);
    ReplyResult(user, command, ret, error);
}

void HandleImageBookSort(WSUser& user, const Command& command) {
    ErrorInfo error;
    int ret = user.manager().ImageBookSort(error);
    ReplyResult(user, command, ret, error);
}

}  // namespace ver_2

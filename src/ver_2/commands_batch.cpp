// Batch commands: listing, opening, creating, renaming and deleting batches,
// and binding the current batch to a folder. On the channel a batch is
// called a batch id; it is the batch's name, passed unconverted.
#include "platform/base/encoding.h"
#include "platform/base/kx_system.h"
#include "ver_2/commands.h"
#include "ver_2/error_info.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

namespace {

// A generated batch name is taken again only by a rare UUID clash; other
// failures repeat, so the attempts are bounded.
constexpr int kNameAttempts = 16;
constexpr size_t kGeneratedNameLength = 6;

// A batch of a generated name: the first characters of a fresh UUID (hex
// digits, so usable wherever a bare identifier is).
int NewGeneratedBatch(ManagerV2& manager, std::string& name, ErrorInfo& error) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        char uuid[256] = {};
        KXBase_GetUuid(uuid, sizeof uuid);
        name = std::string(uuid).substr(0, kGeneratedNameLength);
        if (manager.NewBatch(name, error) == 0) return 0;
    }
    name.clear();
    return -1;  // error holds the last attempt's reason
}

}  // namespace

void HandleGetBatchIdList(WSUser& user, const Command& command) {
    std::vector<std::string> names;
    ErrorInfo error;
    int ret = user.manager().GetBatchIdList(names, error);
    Reply reply(command);
    reply.SetResult(ret, error);
    if (ret == 0) {
        cJSON* list = cJSON_AddArrayToObject(reply.object(), "batch_id_list");
        for (const std::string& name : names)
            cJSON_AddItemToArray(list, cJSON_CreateString(name.c_str()));
    }
    reply.Send(user);
}

void HandleOpenBatch(WSUser& user, const Command& command) {
    ManagerV2& manager = user.manager();
    bool given = false;
    std::string name = GetJsonString(command.root, "batch_id", &given);
    ErrorInfo error;
    if (!given) {
        std::vector<std::string> names;
        if (manager.GetBatchIdList(names, error) == 0 && !names.empty()) name = names.back();
    }
    int ret = manager.OpenBatch(name, error);
    ReplyResult(user, command, ret, error);
}

void HandleDeleteBatch(WSUser& user, const Command& command) {
    std::string name = GetJsonString(command.root, "batch_id");
    ErrorInfo error;
    int ret = user.manager().DeleteBatch(name, error);
    ReplyResult(user, command, ret, error);
}

void HandleNewBatch(WSUser& user, const Command& command) {
    ManagerV2& manager = user.manager();
    bool given = false;
    std::string name = GetJsonString(command.root, "batch_id", &given);
    ErrorInfo error;
    int ret = -1;
    if (given) {
        ret = manager.NewBatch(name, error);
    } else if (manager.database() != nullptr) {
        ret = NewGeneratedBatch(manager, name, error);
    } else {
        ret = Refuse(error, kNoDatabase);
    }
    Reply reply(command);
    reply.SetResult(ret, error);
    if (ret == 0) cJSON_AddStringToObject(reply.object(), "batch_id", name.c_str());
    reply.Send(user);
}

void HandleGetCurrBatchId(WSUser& user, const Command& command) {
    std::string name;
    ErrorInfo error;
    int ret = user.manager().GetCurrBatchId(name, error);
    Reply reply(command);
    reply.SetResult(ret, error);
    if (ret == 0) cJSON_AddStringToObject(reply.object(), "batch_id", name.c_str());
    reply.Send(user);
}

void HandleModifyBatchId(WSUser& user, const Command& command) {
    ManagerV2& manager = user.manager();
    bool given = false;
    std::string oldName = GetJsonString(command.root, "batch_id", &given);
    if (!given && manager.database() != nullptr) oldName = manager.currBatchId();
    std::string newName = GetJsonString(command.root, "new_batch_id");
    ErrorInfo error;
    int ret = manager.ModifyBatchId(oldName, newName, error);
    ReplyResult(user, command, ret, error);
}

void HandleBindFolder(WSUser& user, const Command& command) {
    const cJSON* root = command.root;
    std::string folder = Utf8ToAnsi(GetJsonString(root, "folder"));
    // Files are always named by their order, whatever "name_mode" says.
    bool given = false;
    int32_t width = GetJsonInt(root, "name_width", &given);
    if (!given) width = 1;
    int32_t base = GetJsonInt(root, "name_base", &given);
    if (!given) base = 0;
    ErrorInfo error;
    int ret = user.manager().BindFolder(folder, width, base, error);
    ReplyResult(user, command, ret, error);
}

void HandleStopBindFolder(WSUser& user, const Command& command) {
    ErrorInfo error;
    int ret = user.manager().StopBindFolder(error);
    ReplyResult(user, command, ret, error);
}

}  // namespace ver_2

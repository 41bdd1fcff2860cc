// Device and scan commands: driver start and end, scanners, options, scans.
// "init_device" and "start_scan" also set the connection's event tags, which
// the driver side reads under the back end's lock (the setters take it).
#include "ver_2/commands.h"
#include "ver_2/device_param_json.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

namespace {

void ReplyResult(WSUser& user, const Command& command, int ret, const std::string& errorText) {
    Reply reply(command);
    reply.SetResult(ret, errorText);
    reply.Send(user);
}

}  // namespace

void HandleInitDevice(WSUser& user, const Command& command) {
    ManagerV2& manager = user.manager();
    bool wasInited = manager.saneInited();
    if (!wasInited) {
        user.SetDeviceIden(command.iden, command.hasIden);
    }
    std::string errorText;
    int ret = manager.InitDevice(errorText);
    // A refusal because the driver already runs keeps the tags of its events.
    if (ret != 0 && !wasInited) user.SetDeviceIden("", false);
    ReplyResult(user, command, ret, errorText);
}

void HandleDeinitDevice(WSUser& user, const Command& command) {
    std::string errorText;
    int ret = user.manager().DeinitDevice(errorText);
    user.SetDeviceIden("", false);
    ReplyResult(user, command, ret, errorText);
}

void HandleGetDeviceNameList(WSUser& user, const Command& command) {
    std::vector<std::string> names;
    std::string errorText;
    int ret = user.manager().GetDeviceNameList(names, errorText);
    Reply reply(command);
    reply.SetResult(ret, errorText);
    if (ret == 0) {
        cJSON* list = cJSON_AddArrayToObject(reply.object(), "device_name_list");
        for (const std::string& name : names)
            cJSON_AddItemToArray(list, cJSON_CreateString(name.c_str()));
    }
    reply.Send(user);
}

void HandleOpenDevice(WSUser& user, const Command& command) {
    ManagerV2& manager = user.manager();
    bool given = false;
    std::string name = GetJsonString(command.root, "device_name", &given);
    std::string errorText;
    if (!given) {
        std::vector<std::string> names;
        if (manager.GetDeviceNameList(names, errorText) == 0 && !names.empty())
            name = names.front();
    }
    int ret = manager.OpenDevice(name, errorText);
    ReplyResult(user, command, ret, errorText);
}

void HandleCloseDevice(WSUser& user, const Command& command) {
    std::string errorText;
    int ret = user.manager().CloseDevice(errorText);
    ReplyResult(user, command, ret, errorText);
}

void HandleSetDeviceParam(WSUser& user, const Command& command) {
    const cJSON* member = cJSON_GetObjectItemCaseSensitive(command.root, "device_param");
    std::vector<DeviceParam> list = DeviceParamsFromJson(member);
    std::string errorText;
    int ret = user.manager().SetDeviceParam(list, errorText);
    ReplyResult(user, command, ret, errorText);
}

void HandleGetDeviceParam(WSUser& user, const Command& command) {
    std::vector<DeviceParamGroup> groups;
    std::string errorText;
    int ret = user.manager().GetDeviceParam(groups, errorText);
    Reply reply(command);
    reply.SetResult(ret, errorText);
    if (ret == 0) {
        cJSON_AddItemToObject(reply.object(), "device_param", DeviceParamGroupsToJson(groups));
    }
    reply.Send(user);
}

void HandleResetDeviceParam(WSUser& user, const Command& command) {
    std::string errorText;
    int ret = user.manager().ResetDeviceParam(errorText);
    ReplyResult(user, command, ret, errorText);
}

void HandleGetCurrDeviceName(WSUser& user, const Command& command) {
    std::string name;
    std::string errorText;
    int ret = user.manager().GetCurrDeviceName(name, errorText);
    Reply reply(command);
    reply.SetResult(ret, errorText);
    if (ret == 0) cJSON_AddStringToObject(reply.object(), "device_name", name.c_str());
    reply.Send(user);
}

void HandleStartScan(WSUser& user, const Command& command) {
    ManagerV2& manager = user.manager();
    bool found = false;
    bool blankCheck = GetJsonBool(command.root, "blank_check");
    bool localSave = GetJsonBool(command.root, "local_save", &found);
    if (!found) localSave = true;
    bool getBase64 = GetJsonBool(command.root, "get_base64");

    bool wasScanning = manager.scanning();
    if (!wasScanning) {
        user.SetScanTags({command.iden, command.hasIden, blankCheck, localSave, getBase64});
    }
    std::string errorText;
    int ret = manager.StartScan(blankCheck, localSave, errorText);
    // A refusal because a scan runs keeps the running scan's tags.
    if (ret != 0 && !wasScanning) user.SetScanTags(ScanTags{});
    ReplyResult(user, command, ret, errorText);
}

void HandleStopScan(WSUser& user, const Command& command) {
    std::string errorText;
    int ret = user.manager().StopScan(errorText);
    user.SetScanTags(ScanTags{});
    ReplyResult(user, command, ret, errorText);
}

}  // namespace ver_2

// Device and scan commands: driver start and end, scanners, options, scans.
// "init_device" and "start_scan" also set the connection's event tags, which
// the driver side reads under the back end's lock (the setters take it).
#include "ver_2/commands.h"
#include "ver_2/device_param_json.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

void HandleInitDevice(WSUser& user, const Command& command) {
    ManagerV2& manager = user.manager();
    bool wasInited = manager.saneInited();
    if (!wasInited) {
        user.SetDeviceIden(command.iden, command.hasIden);
    }
    ErrorInfo error;
    int ret = manager.InitDevice(error);
    // A refusal because the driver already runs keeps the tags of its events.
    if (ret != 0 && !wasInited) user.SetDeviceIden("", false);
    ReplyResult(user, command, ret, error);
}

void HandleDeinitDevice(WSUser& user, const Command& command) {
    ErrorInfo error;
    int ret = user.manager().DeinitDevice(error);
    user.SetDeviceIden("", false);
    ReplyResult(user, command, ret, error);
}

void HandleGetDeviceNameList(WSUser& user, const Command& command) {
    std::vector<std::string> names;
    ErrorInfo error;
    int ret = user.manager().GetDeviceNameList(names, error);
    Reply reply(command);
    reply.SetResult(ret, error);
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
    ErrorInfo error;
    if (!given) {
        std::vector<std::string> names;
        if (manager.GetDeviceNameList(names, error) == 0 && !names.empty()) name = names.front();
    }
    int ret = manager.OpenDevice(name, error);
    ReplyResult(user, command, ret, error);
}

void HandleCloseDevice(WSUser& user, const Command& command) {
    ErrorInfo error;
    int ret = user.manager().CloseDevice(error);
    ReplyResult(user, command, ret, error);
}

void HandleSetDeviceParam(WSUser& user, const Command& command) {
    const cJSON* member = cJSON_GetObjectItemCaseSensitive(command.root, "device_param");
    std::vector<DeviceParam> list = DeviceParamsFromJson(member);
    ErrorInfo error;
    int ret = user.manager().SetDeviceParam(list, error);
    ReplyResult(user, command, ret, error);
}

void HandleGetDeviceParam(WSUser& user, const Command& command) {
    std::vector<DeviceParamGroup> groups;
    ErrorInfo error;
    int ret = user.manager().GetDeviceParam(groups, error);
    Reply reply(command);
    reply.SetResult(ret, error);
    if (ret == 0) {
        cJSON_AddItemToObject(reply.object(), "device_param", DeviceParamGroupsToJson(groups));
    }
    reply.Send(user);
}

void HandleResetDeviceParam(WSUser& user, const Command& command) {
    ErrorInfo error;
    int ret = user.manager().ResetDeviceParam(error);
    ReplyResult(user, command, ret, error);
}

void HandleGetCurrDeviceName(WSUser& user, const Command& command) {
    std::string name;
    ErrorInfo error;
    int ret = user.manager().GetCurrDeviceName(name, error);
    Reply reply(command);
    reply.SetResult(ret, error);
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
    ErrorInfo error;
    int ret = manager.StartScan(blankCheck, localSave, error);
    // A refusal because a scan runs keeps the running scan's tags.
    if (ret != 0 && !wasScanning) user.SetScanTags(ScanTags{});
    ReplyResult(user, command, ret, error);
}

void HandleStopScan(WSUser& user, const Command& command) {
    ErrorInfo error;
    int ret = user.manager().StopScan(error);
    user.SetScanTags(ScanTags{});
    ReplyResult(user, command, ret, error);
}

}  // namespace ver_2

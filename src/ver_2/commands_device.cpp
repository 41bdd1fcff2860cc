// Device and scan commands: driver start and end, scanners, options, scans.
#include "ver_2/commands.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

void HandleDeinitDevice(WSUser& user, const Command& command) {
    std::string errorText;
    int ret = user.manager().DeinitDevice(errorText);
    user.tags().deviceIden.clear();
    user.tags().hasDeviceIden = false;
    Reply reply(command);
    reply.SetResult(ret, errorText);
    reply.Send(user);
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

}  // namespace ver_2

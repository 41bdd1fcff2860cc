// REST endpoints of the scanner and its parameters.
#include "platform/driver/sane_qnsane.h"
#include "ver_1/manager_v1.h"
#include "ver_1/rest_endpoints.h"
#include "ver_1/rest_json.h"

namespace ver_1::rest {

void GetVersionInfo(RestCall& call) {
    ManagerV1& manager = call.manager();
    call.SendText(manager.scanning() ? "" : manager.deviceName());
}

void GetDevices(RestCall& call) {
    std::string names;
    const SANE_Device** list = nullptr;
    if (!call.manager().scanning() &&
        sane_qnsane_get_devices(&list, SANE_TRUE) == SANE_STATUS_GOOD && list != nullptr) {
        for (const SANE_Device** device = list; *device != nullptr; ++device) {
            if (!names.empty()) names += ",";
            names += Quoted((*device)->name != nullptr ? (*device)->name : "");
        }
    }
    call.SendData("[" + names + "]");
}

void GetParams(RestCall& call) {
    // The parameters are those of the open scanner, whatever "pid" names.
    ScanParams params;
    call.manager().GetParams(params);
    call.SendData(ParamsJson(params));
}

void SetParams(RestCall& call) {
    call.manager().SetParams(ParamsFromJson(call.Form("params")));
    call.SendEmpty();
}

void GetLastBatch(RestCall& call) {
    std::string pid;
    call.manager().GetLastBatch(&pid);
    call.SendText(pid);
}

void GetSerialNumber(RestCall& call) {
    std::string serial;
    call.manager().EchoSerial(call.Query("pid"), &serial);
    call.SendText(serial);
}

}  // namespace ver_1::rest

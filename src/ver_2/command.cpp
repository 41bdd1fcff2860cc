#include "ver_2/command.h"

#include <cstdlib>
#include <cstring>

#include "platform/base/encoding.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

Reply::Reply(const Command& command) : object_(cJSON_CreateObject()) {
    cJSON_AddStringToObject(object_.get(), "func", command.func.c_str());
    if (command.hasIden) cJSON_AddStringToObject(object_.get(), "iden", command.iden.c_str());
}

void Reply::SetResult(int ret, const std::string& errorText) {
    cJSON_AddNumberToObject(object_.get(), "ret", ret);
    if (ret != 0) cJSON_AddStringToObject(object_.get(), "err_info", AnsiToUtf8(errorText).c_str());
}

void Reply::Send(WSUser& user) {
    SendReply(user, object_.release());
}

void SendReply(WSUser& user, cJSON* object) {
    JsonHolder owner(object);
    char* text = cJSON_Print(object);
    if (text == nullptr) return;
    user.SendTextFrame(text, std::strlen(text));
    cJSON_free(text);
}

}  // namespace ver_2

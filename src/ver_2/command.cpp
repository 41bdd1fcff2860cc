#include "ver_2/command.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "platform/base/encoding.h"
#include "platform/base/kx_log.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

Reply::Reply(const Command& command) : func_(command.func), object_(cJSON_CreateObject()) {
    cJSON_AddStringToObject(object_.get(), "func", command.func.c_str());
    if (command.hasIden) cJSON_AddStringToObject(object_.get(), "iden", command.iden.c_str());
}

void Reply::SetSuccess() {
    cJSON_AddNumberToObject(object_.get(), "ret", 0);
}

void Reply::SetResult(int ret, const ErrorInfo& error) {
    cJSON_AddNumberToObject(object_.get(), "ret", ret);
    if (ret == 0) return;
    // Operations fail only through Refuse, which takes a reason; an empty one
    // is a fault of ours: debug builds (and so the tests) stop on it, a
    // release build says so instead of hiding it.
    assert(!error.detail.empty() && "a refusal without a reason");
    std::string detail = error.detail;
    if (detail.empty()) {
        detail = "internal error: no reason recorded";
        KXBase_WriteInfo(KX_LOG_ERROR, "%s refused without a reason", func_.c_str());
    }
    cJSON_AddStringToObject(object_.get(), "err_info", AnsiToUtf8(error.text).c_str());
    cJSON_AddStringToObject(object_.get(), "err_detail", detail.c_str());
    KXBase_WriteInfo(KX_LOG_WARNING, "%s refused: %s", func_.c_str(), detail.c_str());
}

void Reply::Send(WSUser& user) {
    SendReply(user, object_.release());
}

void ReplyResult(WSUser& user, const Command& command, int ret, const ErrorInfo& error) {
    Reply reply(command);
    reply.SetResult(ret, error);
    reply.Send(user);
}

void SendReply(WSUser& user, cJSON* object) {
    JsonHolder owner(object);
    char* text = cJSON_Print(object);
    if (text == nullptr) return;
    user.SendTextFrame(text, std::strlen(text));
    cJSON_free(text);
}

}  // namespace ver_2

// One parsed command message and the reply every command handler builds.
//
// A reply carries, in this order: "func" (the name as received), "iden"
// (only when the command had a string "iden"), "ret", "err_info" (only when
// "ret" is not 0, converted to UTF-8), "err_detail" (only when "ret" is not
// 0: the reason in plain words), then the command's results. Every refusal
// is also logged with the command's name and the same reason. Service
// thread only.
#pragma once

#include <cjson/cJSON.h>

#include <string>

#include "ver_2/error_info.h"
#include "ver_2/json_readers.h"

namespace ver_2 {

class WSUser;

struct Command {
    const cJSON* root = nullptr;
    std::string func;
    bool hasIden = false;
    std::string iden;
};

class Reply {
  public:
    explicit Reply(const Command& command);

    // Adds "ret" 0.
    void SetSuccess();
    // Adds "ret" and, when ret is not 0, "err_info" and "err_detail" from
    // error, and logs the refusal.
    void SetResult(int ret, const ErrorInfo& error);
    // The object, for adding result members after SetResult.
    cJSON* object() const { return object_.get(); }
    // Prints the object with cJSON's formatted printer and sends it as one
    // text frame on the connection.
    void Send(WSUser& user);

  private:
    std::string func_;
    JsonHolder object_;
};

// Sends a reply that carries nothing but the result.
void ReplyResult(WSUser& user, const Command& command, int ret, const ErrorInfo& error);

// Prints object with cJSON_Print, sends it as one text frame and deletes it.
void SendReply(WSUser& user, cJSON* object);

}  // namespace ver_2

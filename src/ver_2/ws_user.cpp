#include "ver_2/ws_user.h"

#include <optional>

#include "net/web_server.h"
#include "platform/base/kx_log.h"
#include "platform/base/service_thread.h"
#include "ver_2/command_parse.h"
#include "ver_2/command_table.h"
#include "ver_2/demo_files.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ws_server.h"

namespace ver_2 {

WSUser::WSUser(WebServer* server, uint32_t id, std::string ip, uint16_t port, KXSocket socket)
    : WebSocketUser(server, id, std::move(ip), port, socket),
      backEndLock_(static_cast<ManagerV2*>(server->backEnd())->lock()) {}

WSUser::~WSUser() {
    StopThread();
    // Only the page's connection touched the scanner and the callbacks.
    if (page_) {
        ErrorInfo ignored;
        manager().DeinitDevice(ignored);
        manager().SetImageCallback(nullptr, nullptr);
        manager().SetEventCallback(nullptr, nullptr);
        static_cast<WSServer*>(server())->ReleasePage(id());
    }
}

ManagerV2& WSUser::manager() const {
    return *static_cast<ManagerV2*>(server()->backEnd());
}

void WSUser::SetDeviceIden(const std::string& iden, bool hasIden) {
    KXLockGuard guard(backEndLock_);
    tags_.deviceIden = iden;
    tags_.hasDeviceIden = hasIden;
}

void WSUser::SetScanTags(const ScanTags& scan) {
    KXLockGuard guard(backEndLock_);
    tags_.scan = scan;
}

bool WSUser::CheckHandshake(const std::string& text) {
    HttpRequest request = ParseHttpRequest(text);
    KXBase_WriteInfo(KX_LOG_INFO, "%s", text.c_str());
    if (!AdmitOrigin(request)) return false;
    // A browser opening the service's address gets the demo page; the
    // connection ends after it, and no page place is taken.
    if (IsDemoRequest(request)) {
        std::string reply = DemoReply(request);
        SendLast(reply.data(), reply.size());
        return false;
    }
    auto* server = static_cast<WSServer*>(this->server());
    if (!server->ClaimPage(id())) {
        server->LogRefusal(ip(), port());
        SendRefusal("503 Service Unavailable", "Another page is connected to the scanner service");
        return false;
    }
    // Callbacks first: the page may start a scan as soon as it is answered.
    manager().SetEventCallback(OnDeviceEvent, this);
    manager().SetImageCallback(OnScanImage, this);
    page_ = true;
    if (AcceptHandshake(request)) return true;
    manager().SetImageCallback(nullptr, nullptr);
    manager().SetEventCallback(nullptr, nullptr);
    page_ = false;
    server->ReleasePage(id());
    return false;
}

void WSUser::HandleCommand(const uint8_t* text, size_t length) {
    SB_ASSERT_SERVICE_THREAD();
    const char* ignoredBecause = "";
    std::optional<ParsedCommand> parsed = ParseCommand(text, length, &ignoredBecause);
    // Without a command name there is nothing a reply could be addressed to.
    if (!parsed) {
        KXBase_WriteInfo(KX_LOG_WARNING, "message ignored: %s", ignoredBecause);
        return;
    }
    const Command& command = parsed->command;
    const CommandEntry* entry = FindCommand(command.func);
    if (entry == nullptr || entry->handler == nullptr) {
        ErrorInfo error;
        int ret =
            Refuse(error, "unknown command \"" + command.func + "\" (names are case-sensitive)");
        ReplyResult(*this, command, ret, error);
        return;
    }
    entry->handler(*this, command);
}

}  // namespace ver_2

#include "ver_1/sockio_user.h"

#include <cjson/cJSON.h>

#include <cstring>

#include "net/web_server.h"
#include "platform/base/kx_system.h"
#include "ver_1/json_text.h"
#include "ver_1/manager_v1.h"

namespace ver_1 {

namespace {

constexpr char kScanError[] = "42[\"error\", \"scan error\"]";
constexpr char kStopped[] = "42[\"success\", \"stop scan success!\"]";

// The text of an array element, or "" when it is missing or not a string.
std::string ElementText(const cJSON* array, int index) {
    const cJSON* element = cJSON_GetArrayItem(array, index);
    return cJSON_IsString(element) && element->valuestring != nullptr ? element->valuestring : "";
}

struct ScanRequest {
    std::string imageName;
    bool insert = false;
};

// The "scan" data: a JSON object whose first member is "imageName" (a
// string) and whose second is "isInsert" (true); any other layout appends.
ScanRequest ParseScanRequest(const std::string& data) {
    ScanRequest request;
    cJSON* root = cJSON_Parse(data.c_str());
    if (cJSON_IsObject(root)) {
        const cJSON* first = root->child;
        if (first != nullptr && first->string != nullptr &&
            std::strcmp(first->string, "imageName") == 0 && cJSON_IsString(first)) {
            request.imageName = first->valuestring;
            const cJSON* second = first->next;
            request.insert = second != nullptr && second->string != nullptr &&
                             std::strcmp(second->string, "isInsert") == 0 && cJSON_IsTrue(second);
        }
    }
    cJSON_Delete(root);
    return request;
}

}  // namespace

SockIoUser::SockIoUser(WebServer* server, uint32_t id, std::string ip, uint16_t port,
                       KXSocket socket)
    : WebSocketUser(server, id, std::move(ip), port, socket) {}

SockIoUser::~SockIoUser() {
    StopThread();
    // Whichever Socket.IO connection set them last, the callbacks go with
    // any connection that closes.
    manager().SetImageCallback(nullptr, nullptr);
    manager().SetEventCallback(nullptr, nullptr);
}

ManagerV1& SockIoUser::manager() const {
    return *static_cast<ManagerV1*>(server()->backEnd());
}

bool SockIoUser::CheckHandshake(const std::string& text) {
    HttpRequest request = ParseHttpRequest(text);
    if (request.Param("transport") != "websocket" ||
        !HasToken(request.HeaderIgnoreCase("Connection"), "Upgrade") ||
        !EqualIgnoreCase(request.HeaderIgnoreCase("Upgrade"), "websocket")) {
        return false;
    }
    if (!AdmitOrigin(request)) return false;
    if (!AcceptHandshake(request)) return false;

    char sid[256];
    KXBase_GetUuid(sid, sizeof sid);
    std::string open = std::string("0{\"sid\":\"") + sid +
                       "\",\"upgrades\":[\"websocket\"],\"pingInterval\":25000,"
                       "\"pingTimeout\":60000}";
    SendTextFrame(open.data(), open.size());
    SendTextFrame("40", 2);
    return true;
}

bool SockIoUser::OnMessage(ByteBuffer message) {
    if (message.size() == 1 && message.data()[0] == '2') {
        SendTextFrame("3", 1);
        return true;
    }
    return WebSocketUser::OnMessage(std::move(message));
}

void SockIoUser::HandleEvent(const uint8_t* text, size_t length) {
    if (length == 0) return;
    std::string message(reinterpret_cast<const char*>(text), length);
    message = message.substr(0, message.find('\0'));
    size_t bracket = message.find('[');
    if (bracket == std::string::npos || message.compare(0, bracket, "42") != 0) return;
    cJSON* array = cJSON_Parse(message.c_str() + bracket);
    if (array == nullptr) return;
    std::string name = ElementText(array, 0);
    std::string data = ElementText(array, 1);
    cJSON_Delete(array);

    if (name == "scan") {
        ScanRequest request = ParseScanRequest(data);
        bool started = !manager().scanning() && manager().HasDevice() &&
                       manager().StartScan(request.imageName, request.insert);
        if (!started) SendTextFrame(kScanError, std::strlen(kScanError));
    } else if (name == "stop") {
        manager().StopScan();
        SendTextFrame(kStopped, std::strlen(kStopped));
    }
}

void SockIoUser::OnEvent(int code, const char* text, int, void* user) {
    std::string message = JsonEscape(text != nullptr ? text : "");
    std::string event;
    switch (code) {
        case 1:
            event = "42[\"success\", \"" + message + "\"]";
            break;
        case 4:
            event = "42[\"event\", \"......\"]";
            break;
        case 5:
            event = "42[\"result\", {\"code\":204, \"msg\":\"" + message + "\"}]";
            break;
        case 6:
            event = "42[\"error\", \"" + message + "\"]";
            break;
        default:
            return;
    }
    static_cast<SockIoUser*>(user)->PostSendText(event.data(), event.size());
}

void SockIoUser::OnImage(const char* name, const char* dataUrl, void* user) {
    std::string event = "42[\"image\", {\"code\":201, \"imageName\":\"" +
                        JsonEscape(name != nullptr ? name : "") + "\", \"image\":\"" +
                        JsonEscape(dataUrl != nullptr ? dataUrl : "") + "\"}]";
    static_cast<SockIoUser*>(user)->PostSendText(event.data(), event.size());
}

}  // namespace ver_1

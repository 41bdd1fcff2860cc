#include "ver_1/http_user.h"

#include <memory>
#include <vector>

#include "net/head_deadline.h"
#include "net/http_request_reader.h"
#include "net/pump_messages.h"
#include "net/web_server.h"
#include "platform/base/kx_log.h"
#include "ver_1/manager_v1.h"
#include "ver_1/pump_messages_v1.h"

namespace ver_1 {

namespace {

constexpr size_t kReceiveBufferSize = 64 * 1024;

// The headers that let the page at origin read the response; every response
// varies by origin, so caches keep them apart.
std::string CorsHeaders(const std::string& origin) {
    std::string headers = "Vary: Origin\r\n";
    if (!origin.empty()) headers += "Access-Control-Allow-Origin: " + origin + "\r\n";
    return headers;
}

}  // namespace

HttpUser::~HttpUser() {
    StopThread();
}

ManagerV1& HttpUser::manager() const {
    return *static_cast<ManagerV1*>(server()->backEnd());
}

void HttpUser::ThreadFunc() {
    KXBase_WriteInfo(KX_LOG_INFO, "HttpUser::ThreadFunc");
    std::vector<uint8_t> buffer(kReceiveBufferSize);
    HttpRequestReader reader;
    HeadDeadline deadline(server()->headTimeoutMs());
    for (;;) {
        long received = KXSocket_Recv(socket(), buffer.data(), buffer.size(),
                                      reader.InBody() ? -1 : deadline.RemainingMs());
        if (received <= 0) break;
        size_t offset = 0;
        while (offset < static_cast<size_t>(received)) {
            auto step = reader.Feed(buffer.data() + offset, static_cast<size_t>(received) - offset);
            offset += step.consumed;
            if (step.event == HttpRequestReader::Event::kEnd) {
                PostClose();
                return;
            }
            if (step.event == HttpRequestReader::Event::kRequest) {
                auto message = std::make_unique<HttpRequestMessage>();
                message->server = server();
                message->id = id();
                message->request = reader.TakeRequest();
                message->body = reader.TakeBody();
                size_t bytes = message->body.size();
                if (!PostFromPeer(PUMP_MSG_V1_HTTP_REQUEST, std::move(message), bytes)) {
                    PostClose();
                    return;
                }
                deadline.Restart();
            }
        }
    }
    PostClose();
}

bool HttpUser::SendResponse(const char* version, const char* body, size_t length,
                            const char* contentType) {
    if (version == nullptr) return false;
    // The version comes from the client and may be long: no fixed buffer.
    std::string head = std::string(version) + " 200 OK\r\n";
    if (body != nullptr) {
        head += "Content-Length: " + std::to_string(length) +
                "\r\nContent-Type: " + (contentType != nullptr ? contentType : "") + "\r\n";
    } else {
        // An explicit zero length: on a persistent connection a response
        // without one would only end when the connection closes.
        head += "Content-Length: 0\r\n";
    }
    head += CorsHeaders(responseOrigin_) + "\r\n";
    SendLocked(head.data(), head.size(), body, body != nullptr ? length : 0);
    return true;
}

void HttpUser::SendPreflight(const HttpRequest& request) {
    std::string head = request.version + " 200 OK\r\nContent-Length: 0\r\n" +
                       CorsHeaders(responseOrigin_) +
                       "Access-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
                       "Access-Control-Max-Age: 600\r\n";
    std::string headers = request.HeaderIgnoreCase("Access-Control-Request-Headers");
    if (!headers.empty()) head += "Access-Control-Allow-Headers: " + headers + "\r\n";
    // Chromium asks before a public page reaches a local service; the page
    // has been allowed by its origin already.
    if (EqualIgnoreCase(request.HeaderIgnoreCase("Access-Control-Request-Private-Network"),
                        "true")) {
        head += "Access-Control-Allow-Private-Network: true\r\n";
    }
    head += "\r\n";
    SendLocked(head.data(), head.size(), nullptr, 0);
}

}  // namespace ver_1

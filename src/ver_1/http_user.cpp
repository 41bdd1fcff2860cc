#include "ver_1/http_user.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "net/http_request_reader.h"
#include "net/pump_messages.h"
#include "net/web_server.h"
#include "platform/base/kx_log.h"
#include "ver_1/manager_v1.h"
#include "ver_1/pump_messages_v1.h"

namespace ver_1 {

namespace {

constexpr size_t kReceiveBufferSize = 64 * 1024;

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
    for (;;) {
        long received = KXSocket_Recv(socket(), buffer.data(), buffer.size());
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
                PostPayload(server()->pump(), PUMP_MSG_V1_HTTP_REQUEST, std::move(message));
            }
        }
    }
    PostClose();
}

bool HttpUser::SendResponse(const char* version, const char* body, size_t length,
                            const char* contentType) {
    if (version == nullptr) return false;
    // The version comes from the client and may be long: no fixed buffer.
    std::string status = std::string(version) + " 200 OK\r\n";
    char headers[256];
    if (body != nullptr) {
        std::snprintf(headers, sizeof headers, "%s: %zu\r\n%s: %s\r\n%s: %s\r\n\r\n",
                      "Content-Length", length, "Content-Type",
                      contentType != nullptr ? contentType : "", "Access-Control-Allow-Origin",
                      "null");
    } else {
        // An explicit zero length: on a persistent connection a response
        // without one would only end when the connection closes.
        std::snprintf(headers, sizeof headers, "%s: %u\r\n%s: %s\r\n\r\n", "Content-Length", 0u,
                      "Access-Control-Allow-Origin", "null");
    }
    std::string head = status + headers;
    SendLocked(head.data(), head.size(), body, body != nullptr ? length : 0);
    return true;
}

}  // namespace ver_1

#include "net/websocket_user.h"

#include <memory>
#include <vector>

#include "net/pump_messages.h"
#include "net/sha1.h"
#include "net/web_server.h"
#include "net/websocket_reader.h"
#include "net/websocket_writer.h"
#include "platform/base/kx_log.h"

namespace {

constexpr size_t kReceiveBufferSize = 64 * 1024;

}  // namespace

void WebSocketUser::ThreadFunc() {
    KXBase_WriteInfo(KX_LOG_INFO, "%s", ThreadName());
    std::vector<uint8_t> buffer(kReceiveBufferSize);
    WebSocketReader reader;
    for (;;) {
        long received = KXSocket_Recv(socket(), buffer.data(), buffer.size());
        if (received <= 0) break;
        size_t offset = 0;
        while (offset < static_cast<size_t>(received)) {
            WebSocketReader::Step step =
                reader.Feed(buffer.data() + offset, static_cast<size_t>(received) - offset);
            offset += step.consumed;
            switch (step.event) {
                case WebSocketReader::Event::kNone:
                    break;
                case WebSocketReader::Event::kHandshake:
                    if (!CheckHandshake(reader.TakeHandshake())) {
                        PostClose();
                        return;
                    }
                    handshakeDone_ = true;
                    break;
                case WebSocketReader::Event::kPing: {
                    static constexpr uint8_t kPong[2] = {0x8A, 0x00};
                    SendLocked(kPong, sizeof kPong, nullptr, 0);
                    break;
                }
                case WebSocketReader::Event::kMessage:
                    OnMessage(reader.TakeMessage());
                    break;
                case WebSocketReader::Event::kEnd:
                    PostClose();
                    return;
            }
        }
    }
    PostClose();
}

bool WebSocketUser::SendTextFrame(const char* text, size_t length) {
    if (text == nullptr || length == 0) return false;
    uint8_t header[10];
    size_t headerSize = BuildTextFrameHeader(length, header);
    SendLocked(header, headerSize, text, length);
    return true;
}

void WebSocketUser::PostSendText(const char* text, size_t length) {
    PostPayload(server()->pump(), PUMP_MSG_SEND_TEXT,
                MakeTextMessage(server(), id(), text, length));
}

void WebSocketUser::OnMessage(ByteBuffer message) {
    auto payload = std::make_unique<TextMessage>();
    payload->server = server();
    payload->id = id();
    size_t size = 0;
    payload->text = message.Release(&size);
    payload->length = static_cast<uint32_t>(size);
    PostPayload(server()->pump(), PUMP_MSG_TEXT_RECEIVED, std::move(payload));
}

bool WebSocketUser::AcceptHandshake(const HttpRequest& request) {
    std::string key = request.Header("Sec-WebSocket-Key");
    if (key.empty()) return false;
    std::string reply =
        "HTTP/1.1 101 Switching Protocols\r\n"
        "Upgrade: websocket\r\n"
        "Connection: Upgrade\r\n"
        "Sec-WebSocket-Accept:" +
        WebSocketAcceptKey(key) + "\r\n\r\n";
    SendLocked(reply.data(), reply.size(), nullptr, 0);
    return true;
}

#include "net/websocket_user.h"

#include <memory>
#include <vector>

#include "net/head_deadline.h"
#include "net/pump_messages.h"
#include "net/sha1.h"
#include "net/web_server.h"
#include "net/websocket_reader.h"
#include "net/websocket_writer.h"
#include "platform/base/kx_log.h"

namespace {

constexpr size_t kReceiveBufferSize = 64 * 1024;

// An unfragmented control frame from the server (unmasked); payload of at
// most 125 bytes.
std::string ControlFrame(uint8_t first, const std::string& payload) {
    std::string frame;
    frame.push_back(static_cast<char>(first));
    frame.push_back(static_cast<char>(payload.size()));
    return frame + payload;
}

}  // namespace

void WebSocketUser::ThreadFunc() {
    KXBase_WriteInfo(KX_LOG_INFO, "%s", ThreadName());
    std::vector<uint8_t> buffer(kReceiveBufferSize);
    WebSocketReader reader;
    // The opening handshake must be complete within the head time limit;
    // after it the connection may stay quiet as long as the page likes.
    HeadDeadline deadline(server()->headTimeoutMs());
    for (;;) {
        long received = KXSocket_Recv(socket(), buffer.data(), buffer.size(),
                                      handshakeDone_ ? -1 : deadline.RemainingMs());
        if (received == KX_RECV_TIMED_OUT) {
            KXBase_WriteInfo(KX_LOG_INFO, "connection %u from %s: no handshake in time, closed",
                             id(), ip().c_str());
        }
        if (received <= 0) break;
        size_t offset = 0;
        while (offset < static_cast<size_t>(received)) {
            WebSocketReader::Step step =
                reader.Feed(buffer.data() + offset, static_cast<size_t>(received) - offset);
            offset += step.consumed;
            if (!HandleEvent(step.event, reader)) {
                PostClose();
                return;
            }
        }
    }
    PostClose();
}

bool WebSocketUser::HandleEvent(WebSocketReader::Event event, WebSocketReader& reader) {
    switch (event) {
        case WebSocketReader::Event::kNone:
            return true;
        case WebSocketReader::Event::kHandshake:
            if (!CheckHandshake(reader.TakeHandshake())) return false;
            handshakeDone_ = true;
            return true;
        case WebSocketReader::Event::kPing: {
            std::string pong = ControlFrame(0x8A, reader.ControlPayload());
            SendLocked(pong.data(), pong.size(), nullptr, 0);
            return true;
        }
        case WebSocketReader::Event::kMessage:
            return OnMessage(reader.TakeMessage());
        case WebSocketReader::Event::kClose: {
            // Echo the status code (the first two bytes), as the peer waits
            // for a close frame before it counts the close as clean.
            std::string close = ControlFrame(0x88, reader.ControlPayload().substr(0, 2));
            SendLast(close.data(), close.size());
            return false;
        }
        case WebSocketReader::Event::kEnd:
            return false;
    }
    return false;
}

// The going-away frame follows the upgrade reply or is not sent at all:
// the reply may be on the wire before this connection's thread has marked
// the handshake done.
void WebSocketUser::OnServerClosing() {
    static constexpr uint8_t kGoingAway[4] = {0x88, 0x02, 0x03, 0xE9};  // status 1001
    SendLastIfUpgraded(kGoingAway, sizeof kGoingAway);
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

bool WebSocketUser::OnMessage(ByteBuffer message) {
    auto payload = std::make_unique<TextMessage>();
    payload->server = server();
    payload->id = id();
    size_t size = 0;
    payload->text = message.Release(&size);
    payload->length = static_cast<uint32_t>(size);
    return PostFromPeer(PUMP_MSG_TEXT_RECEIVED, std::move(payload), size);
}

bool WebSocketUser::AdmitOrigin(const HttpRequest& request) {
    if (server()->AdmitsOrigin(request)) return true;
    SendRefusal("403 Forbidden", kOriginRefused);
    return false;
}

bool WebSocketUser::AcceptHandshake(const HttpRequest& request) {
    std::string key = request.HeaderIgnoreCase("Sec-WebSocket-Key");
    if (key.empty()) return false;
    std::string reply =
        "HTTP/1.1 101 Switching Protocols\r\n"
        "Upgrade: websocket\r\n"
        "Connection: Upgrade\r\n"
        "Sec-WebSocket-Accept:" +
        WebSocketAcceptKey(key) + "\r\n\r\n";
    SendUpgrade(reply);
    return true;
}

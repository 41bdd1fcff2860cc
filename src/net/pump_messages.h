// Pump messages shared by both generations and their payload records.
//
// A payload is a heap record. Once posted it belongs to the pump handler,
// which releases it also when its target has gone; when a post is refused the
// poster releases it (PostPayload does that). Connections are named by their
// server and id, never by pointer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/base/kx_pump.h"
#include "platform/base/kx_socket.h"

class WebServer;

enum SharedPumpMessage : uint32_t {
    PUMP_MSG_USER_CONNECTED = 1,
    PUMP_MSG_USER_CLOSED = 2,
    PUMP_MSG_TEXT_RECEIVED = 7,
    PUMP_MSG_SEND_TEXT = 8,
};

// PUMP_MSG_USER_CONNECTED. The socket is closed by whoever ends up owning it.
struct AcceptedConnection {
    WebServer* server = nullptr;
    std::string ip;
    uint16_t port = 0;
    KXSocket socket = KX_INVALID_SOCKET;
};

// PUMP_MSG_USER_CLOSED.
struct ConnectionRef {
    WebServer* server = nullptr;
    uint32_t id = 0;
};

// PUMP_MSG_TEXT_RECEIVED and PUMP_MSG_SEND_TEXT: the bytes, not NUL-terminated.
struct TextMessage {
    WebServer* server = nullptr;
    uint32_t id = 0;
    std::unique_ptr<uint8_t[]> text;
    uint32_t length = 0;
};

// Posts payload under id. Returns false, having released the payload, when
// the pump refuses it.
template <typename Payload>
bool PostPayload(KXPump pump, uint32_t id, std::unique_ptr<Payload> payload) {
    PumpMessage message{id, payload.get()};
    if (KXBase_PostPumpMessage(pump, &message) != KX_OK) return false;
    payload.release();
    return true;
}

// Takes ownership of a received payload.
template <typename Payload>
std::unique_ptr<Payload> AdoptPayload(const PumpMessage* message) {
    return std::unique_ptr<Payload>(static_cast<Payload*>(message->payload));
}

// A text payload holding a copy of text.
std::unique_ptr<TextMessage> MakeTextMessage(WebServer* server, uint32_t id, const char* text,
                                             size_t length);

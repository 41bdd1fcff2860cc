#include "net/pump_messages.h"

#include <cstring>

std::unique_ptr<TextMessage> MakeTextMessage(WebServer* server, uint32_t id, const char* text,
                                             size_t length) {
    auto message = std::make_unique<TextMessage>();
    message->server = server;
    message->id = id;
    message->length = static_cast<uint32_t>(length);
    message->text.reset(new uint8_t[length == 0 ? 1 : length]);
    if (length != 0) std::memcpy(message->text.get(), text, length);
    return message;
}

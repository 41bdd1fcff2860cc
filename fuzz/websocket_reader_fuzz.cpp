// Fuzz target: the WebSocket reader the connection threads feed, from the
// opening handshake through client frames, and the request parser the
// handshake goes to.
//
// Besides running clean under the sanitizers, the reader must report the
// same events with the same contents however the bytes are split between
// Feed calls (the eight-byte unmasking then starts at every key offset).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/split_feed.h"
#include "net/http_request.h"
#include "net/websocket_reader.h"

namespace {

using Event = WebSocketReader::Event;

struct Observed {
    Event event;
    std::string content;

    bool operator==(const Observed&) const = default;
};

// What the connection thread acts on for one event.
Observed Take(Event event, WebSocketReader& reader) {
    switch (event) {
        case Event::kHandshake: {
            std::string head = reader.TakeHandshake();
            HttpRequest request = ParseHttpRequest(head);
            // The checks a handshake goes through before it is answered.
            HasToken(request.HeaderIgnoreCase("Connection"), "Upgrade");
            EqualIgnoreCase(request.HeaderIgnoreCase("Upgrade"), "websocket");
            request.Header("Sec-WebSocket-Key");
            return {event, head};
        }
        case Event::kMessage: {
            ByteBuffer message = reader.TakeMessage();
            return {event,
                    std::string(reinterpret_cast<const char*>(message.data()), message.size())};
        }
        case Event::kPing:
        case Event::kClose:
            return {event, reader.ControlPayload()};
        case Event::kNone:
        case Event::kEnd:
            break;
    }
    return {event, ""};
}

std::vector<Observed> Read(const uint8_t* data, size_t size, size_t chunk) {
    std::vector<Observed> log;
    WebSocketReader reader;
    FeedInPieces(reader, data, size, chunk, [&](Event event) {
        log.push_back(Take(event, reader));
        return event != Event::kEnd && event != Event::kClose;
    });
    return log;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckSplitsAgree(size, [&](size_t chunk) { return Read(data, size, chunk); });
    return 0;
}

// Fuzz target: the WebSocket reader the connection threads feed, from the
// opening handshake through client frames, and the request parser the
// handshake goes to.
//
// Besides running clean under the sanitizers, the reader must report the
// same events with the same contents however the bytes are split between
// Feed calls: the input is fed whole, one byte at a time, and in chunks of
// seven (so the eight-byte unmasking starts at every key offset), and the
// three event logs are compared.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
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

// Feeds the input in pieces of at most chunk bytes, as recv would hand them
// over, until the input ends or the connection would be closed.
std::vector<Observed> Read(const uint8_t* data, size_t size, size_t chunk) {
    std::vector<Observed> log;
    WebSocketReader reader;
    for (size_t start = 0; start < size; start += chunk) {
        size_t piece = std::min(chunk, size - start);
        size_t offset = 0;
        while (offset < piece) {
            WebSocketReader::Step step = reader.Feed(data + start + offset, piece - offset);
            FUZZ_CHECK(step.consumed > 0 && step.consumed <= piece - offset);
            offset += step.consumed;
            if (step.event == Event::kNone) continue;
            log.push_back(Take(step.event, reader));
            if (step.event == Event::kEnd || step.event == Event::kClose) return log;
        }
    }
    return log;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<Observed> whole = Read(data, size, size);
    FUZZ_CHECK(Read(data, size, 1) == whole);
    FUZZ_CHECK(Read(data, size, 7) == whole);
    return 0;
}

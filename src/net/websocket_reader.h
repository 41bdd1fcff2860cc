// The server side of a WebSocket connection as a byte-fed state machine:
// first the opening handshake (the request head up to the blank line), then
// client frames. It knows nothing of sockets; the connection thread feeds it
// what recv returned and acts on what it reports.
//
// Frames accepted, byte by byte as they arrive:
//   first byte 0x00/0x01/0x02 (more to come) or 0x80/0x81/0x82 (final):
//     data; text and binary are treated alike and fragments are joined; an
//     empty final frame with nothing before it is an empty message;
//   0x88 close, 0x89 ping and 0x8A pong: control frames with up to 125
//     payload bytes, reported with their payload (pongs are dropped);
//   anything else: the connection ends.
// Every client frame must be masked. A 64-bit length must fit in 32 bits. Limits protect memory: a
// handshake longer than kMaxHandshake, a frame or message longer than kMaxMessage end the
// connection before anything that large is allocated; buffers grow with the bytes that actually
// arrive.
//
// One reader per connection, used by the connection thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/byte_buffer.h"

class WebSocketReader {
  public:
    static constexpr size_t kMaxHandshake = 64 * 1024;
    static constexpr size_t kMaxMessage = 256 * 1024 * 1024;

    enum class Event {
        kNone,       // all input consumed, nothing complete yet
        kHandshake,  // the request head is complete: TakeHandshake()
        kMessage,    // a final frame completed a message: TakeMessage()
        kPing,       // a ping arrived: answer with a pong echoing ControlPayload()
        kClose,      // a close frame arrived (payload in ControlPayload())
        kEnd,        // protocol violation: end the connection
    };

    struct Step {
        Event event;
        size_t consumed;
    };

    // Consumes bytes until one event completes or the input is used up.
    // After kEnd the reader must not be fed again.
    Step Feed(const uint8_t* data, size_t size);

    std::string TakeHandshake();
    ByteBuffer TakeMessage();
    // The unmasked payload of the last ping or close frame.
    const std::string& ControlPayload() const { return control_; }

  private:
    enum class Opcode { kData, kClose, kPing, kPong };

    size_t FeedHandshake(const uint8_t* data, size_t size, Event* event);
    Event FeedHeaderByte(uint8_t byte);
    Event CompleteHeader(uint64_t length);
    Event CompleteFrame();
    size_t FeedPayload(const uint8_t* data, size_t size, Event* event);

    // Handshake.
    bool handshakeDone_ = false;
    std::string handshake_;
    int terminatorMatched_ = 0;

    // Current frame.
    uint8_t header_[10] = {};
    int headerCount_ = 0;
    Opcode opcode_ = Opcode::kData;
    bool final_ = false;      // FIN of the current data frame
    bool inPayload_ = false;  // header done, reading mask key and payload
    uint8_t mask_[4] = {};
    int maskCount_ = 0;
    uint64_t remaining_ = 0;    // payload bytes still to come
    uint64_t payloadDone_ = 0;  // payload bytes of this frame already unmasked

    ByteBuffer message_;
    std::string control_;
};

// Unmasks size bytes of a payload into out; offset is the position of the
// first byte within the frame's payload (it selects the mask key byte).
void UnmaskPayload(const uint8_t* in, uint8_t* out, size_t size, const uint8_t mask[4],
                   uint64_t offset);

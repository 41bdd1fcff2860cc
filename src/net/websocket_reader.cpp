#include "net/websocket_reader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kTerminator[] = "\r\n\r\n";

// First reservation for a frame's payload: the announced length, but no more
// than this until the bytes arrive.
constexpr size_t kMaxUpfrontReserve = 16 * 1024 * 1024;

}  // namespace

void UnmaskPayload(const uint8_t* in, uint8_t* out, size_t size, const uint8_t mask[4],
                   uint64_t offset) {
    size_t i = 0;
    // Bring the key to its first byte, then XOR eight bytes at a time.
    while (i < size && (offset + i) % 4 != 0) {
        out[i] = in[i] ^ mask[(offset + i) % 4];
        ++i;
    }
    uint64_t wide;
    uint8_t repeated[8] = {mask[0], mask[1], mask[2], mask[3], mask[0], mask[1], mask[2], mask[3]};
    std::memcpy(&wide, repeated, 8);
    for (; i + 8 <= size; i += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, in + i, 8);
        chunk ^= wide;
        std::memcpy(out + i, &chunk, 8);
    }
    for (; i < size; ++i)
        out[i] = in[i] ^ mask[(offset + i) % 4];
}

WebSocketReader::Step WebSocketReader::Feed(const uint8_t* data, size_t size) {
    size_t used = 0;
    while (used < size) {
        Event event = Event::kNone;
        if (!handshakeDone_) {
            used += FeedHandshake(data + used, size - used, &event);
        } else if (inPayload_) {
            used += FeedPayload(data + used, size - used, &event);
        } else {
            event = FeedHeaderByte(data[used++]);
        }
        if (event != Event::kNone) return {event, used};
    }
    return {Event::kNone, used};
}

std::string WebSocketReader::TakeHandshake() {
    return std::move(handshake_);
}

ByteBuffer WebSocketReader::TakeMessage() {
    return std::move(message_);
}

size_t WebSocketReader::FeedHandshake(const uint8_t* data, size_t size, Event* event) {
    for (size_t i = 0; i < size; ++i) {
        char c = static_cast<char>(data[i]);
        handshake_.push_back(c);
        if (c == kTerminator[terminatorMatched_]) {
            ++terminatorMatched_;
        } else {
            terminatorMatched_ = c == '\r' ? 1 : 0;
        }
        if (terminatorMatched_ == 4) {
            handshakeDone_ = true;
            *event = Event::kHandshake;
            return i + 1;
        }
        if (handshake_.size() > kMaxHandshake) {
            *event = Event::kEnd;
            return i + 1;
        }
    }
    return size;
}

WebSocketReader::Event WebSocketReader::FeedHeaderByte(uint8_t byte) {
    header_[headerCount_++] = byte;
    if (headerCount_ == 1) {
        switch (byte) {
            case 0x88:
                opcode_ = Opcode::kClose;
                return Event::kNone;
            case 0x89:
                opcode_ = Opcode::kPing;
                return Event::kNone;
            case 0x8A:
                opcode_ = Opcode::kPong;
                return Event::kNone;
            case 0x00:
            case 0x01:
            case 0x02:
                opcode_ = Opcode::kData;
                final_ = false;
                return Event::kNone;
            case 0x80:
            case 0x81:
            case 0x82:
                opcode_ = Opcode::kData;
                final_ = true;
                return Event::kNone;
            default:
                return Event::kEnd;  // an unknown first byte
        }
    }
    uint8_t lengthCode = header_[1] & 0x7F;
    if (headerCount_ == 2) {
        if ((header_[1] & 0x80) == 0) return Event::kEnd;  // clients must mask
        if (opcode_ != Opcode::kData) {
            // Control frames carry at most 125 bytes, in the short form.
            return lengthCode > 125 ? Event::kEnd : CompleteHeader(lengthCode);
        }
        if (lengthCode == 126 || lengthCode == 127) return Event::kNone;
        return CompleteHeader(lengthCode);
    }
    if (lengthCode == 126 && headerCount_ == 4) {
        return CompleteHeader((uint64_t{header_[2]} << 8) | header_[3]);
    }
    if (lengthCode == 127 && headerCount_ == 10) {
        uint32_t high = 0;
        uint32_t low = 0;
        for (int i = 2; i < 6; ++i)
            high = (high << 8) | header_[i];
        for (int i = 6; i < 10; ++i)
            low = (low << 8) | header_[i];
        if (high != 0) return Event::kEnd;
        return CompleteHeader(low);
    }
    return Event::kNone;
}

WebSocketReader::Event WebSocketReader::CompleteHeader(uint64_t length) {
    if (opcode_ == Opcode::kData) {
        if (length > kMaxMessage || message_.size() + length > kMaxMessage) return Event::kEnd;
        message_.Reserve(std::min<uint64_t>(length, kMaxUpfrontReserve));
    } else {
        control_.clear();
    }
    headerCount_ = 0;
    maskCount_ = 0;
    remaining_ = length;
    payloadDone_ = 0;
    inPayload_ = true;
    return Event::kNone;
}

size_t WebSocketReader::FeedPayload(const uint8_t* data, size_t size, Event* event) {
    size_t used = 0;
    while (maskCount_ < 4 && used < size)
        mask_[maskCount_++] = data[used++];
    if (maskCount_ < 4) return used;

    size_t count = static_cast<size_t>(std::min<uint64_t>(remaining_, size - used));
    if (opcode_ == Opcode::kData) {
        UnmaskPayload(data + used, message_.Append(count, kMaxMessage), count, mask_, payloadDone_);
        message_.Commit(count);
    } else {
        size_t start = control_.size();
        control_.resize(start + count);
        UnmaskPayload(data + used, reinterpret_cast<uint8_t*>(control_.data()) + start, count,
                      mask_, payloadDone_);
    }
    used += count;
    payloadDone_ += count;
    remaining_ -= count;
    if (remaining_ == 0) *event = CompleteFrame();
    return used;
}

WebSocketReader::Event WebSocketReader::CompleteFrame() {
    inPayload_ = false;
    switch (opcode_) {
        case Opcode::kClose:
            return Event::kClose;
        case Opcode::kPing:
            return Event::kPing;
        case Opcode::kPong:
            return Event::kNone;
        case Opcode::kData:
            break;
    }
    if (!final_) return Event::kNone;
    final_ = false;
    return Event::kMessage;
}

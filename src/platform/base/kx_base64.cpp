// Base64 coding tuned for whole pages: the encoder turns 12 input bits into
// two output characters with one table read, the decoder turns four
// characters into three bytes with four table reads and one validity test.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/base/base64_simd.h"
#include "platform/base/kx_system.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint32_t kInvalid = 0x01000000;  // above any 24-bit group

struct EncodeTable {
    std::array<uint16_t, 4096> pairs{};
    constexpr EncodeTable() {
        for (unsigned i = 0; i < 4096; ++i) {
            auto first = static_cast<uint8_t>(kAlphabet[i >> 6]);
            auto second = static_cast<uint8_t>(kAlphabet[i & 63]);
            pairs[i] = static_cast<uint16_t>(first | (second << 8));  // little-endian store order
        }
    }
};

// decode[k][c]: the 6-bit value of character c placed at position k of a
// 4-character group, or kInvalid.
struct DecodeTable {
    std::array<std::array<uint32_t, 256>, 4> shifted{};
    constexpr DecodeTable() {
        for (auto& row : shifted)
            row.fill(kInvalid);
        for (uint32_t v = 0; v < 64; ++v) {
            auto c = static_cast<uint8_t>(kAlphabet[v]);
            for (int k = 0; k < 4; ++k)
                shifted[k][c] = v << (18 - 6 * k);
        }
    }
};

constexpr EncodeTable kEncode;
constexpr DecodeTable kDecode;

size_t EncodedSize(size_t size) {
    return (size + 2) / 3 * 4;
}

size_t MaxDecodedSize(size_t size) {
    size_t rest = size % 4;
    return size / 4 * 3 + (rest >= 2 ? rest - 1 : 0);
}

void EncodeBlock(const uint8_t* in, char* out) {
    uint32_t group = (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8) | in[2];
    uint16_t high = kEncode.pairs[group >> 12];
    uint16_t low = kEncode.pairs[group & 0xFFF];
    std::memcpy(out, &high, 2);
    std::memcpy(out + 2, &low, 2);
}

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// Decodes text without line breaks. Returns the byte count, or -1.
long long DecodeCompact(const uint8_t* text, size_t size, uint8_t* out) {
    // Up to two "=" may end a padded text; any other "=" fails the table test.
    if (size >= 4 && size % 4 == 0 && text[size - 1] == '=') {
        --size;
        if (text[size - 1] == '=') --size;
    }
    if (size % 4 == 1) return -1;
    uint8_t* start = out;
    if (Base64SimdAvailable()) {
        size_t consumed = Base64DecodeBlocks(text, size, out);
        text += consumed;
        size -= consumed;
        out += consumed / 4 * 3;
    }
    size_t full = size / 4;
    for (size_t i = 0; i < full; ++i, text += 4) {
        uint32_t group = kDecode.shifted[0][text[0]] | kDecode.shifted[1][text[1]] |
                         kDecode.shifted[2][text[2]] | kDecode.shifted[3][text[3]];
        if (group & kInvalid) return -1;
        out[0] = static_cast<uint8_t>(group >> 16);
        out[1] = static_cast<uint8_t>(group >> 8);
        out[2] = static_cast<uint8_t>(group);
        out += 3;
    }
    size_t rest = size % 4;
    if (rest != 0) {
        uint32_t group = 0;
        for (size_t k = 0; k < rest; ++k)
            group |= kDecode.shifted[k][text[k]];
        if (group & kInvalid) return -1;
        *out++ = static_cast<uint8_t>(group >> 16);
        if (rest == 3) *out++ = static_cast<uint8_t>(group >> 8);
    }
    return out - start;
}

}  // namespace

int KXBase_Base64Encode(const void* data, size_t size, char* out, size_t* outSize) {
    if (outSize == nullptr || (data == nullptr && size != 0)) return KX_ERR_ARGUMENT;
    size_t needed = EncodedSize(size);
    if (out == nullptr) {
        *outSize = needed;
        return KX_OK;
    }
    if (*outSize < needed) return KX_ERR_BUFFER;
    const auto* in = static_cast<const uint8_t*>(data);
    if (Base64SimdAvailable()) {
        size_t consumed = Base64EncodeBlocks(in, size, out);
        in += consumed;
        out += consumed / 3 * 4;
        size -= consumed;
    }
    size_t full = size / 3;
    for (size_t i = 0; i < full; ++i)
        EncodeBlock(in + 3 * i, out + 4 * i);
    size_t rest = size % 3;
    if (rest != 0) {
        uint8_t tail[3] = {in[3 * full], rest == 2 ? in[3 * full + 1] : uint8_t{0}, 0};
        char* last = out + 4 * full;
        EncodeBlock(tail, last);
        last[3] = '=';
        if (rest == 1) last[2] = '=';
    }
    *outSize = needed;
    return KX_OK;
}

int KXBase_Base64Decode(const char* text, size_t size, void* out, size_t* outSize) {
    if (outSize == nullptr || (text == nullptr && size != 0)) return KX_ERR_ARGUMENT;
    size_t needed = MaxDecodedSize(size);
    if (out == nullptr) {
        *outSize = needed;
        return KX_OK;
    }
    if (*outSize < needed) return KX_ERR_BUFFER;
    const auto* in = reinterpret_cast<const uint8_t*>(text);
    auto* bytes = static_cast<uint8_t*>(out);

    if (std::memchr(text, '\n', size) == nullptr && std::memchr(text, '\r', size) == nullptr) {
        long long written = DecodeCompact(in, size, bytes);
        if (written < 0) return KX_ERR_DATA;
        *outSize = static_cast<size_t>(written);
        return KX_OK;
    }
    // Rare path: text wrapped into lines; decode a copy without the breaks.
    std::string compact;
    compact.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        if (!IsLineBreak(text[i])) compact.push_back(text[i]);
    }
    long long written =
        DecodeCompact(reinterpret_cast<const uint8_t*>(compact.data()), compact.size(), bytes);
    if (written < 0) return KX_ERR_DATA;
    *outSize = static_cast<size_t>(written);
    return KX_OK;
}

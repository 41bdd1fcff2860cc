#include "net/sha1.h"

namespace {

uint32_t RotateLeft(uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

// The Base64 alphabet, built once when the program starts.
const std::string kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

void SHA1::Reset() {
    hash_[0] = 0x67452301;
    hash_[1] = 0xEFCDAB89;
    hash_[2] = 0x98BADCFE;
    hash_[3] = 0x10325476;
    hash_[4] = 0xC3D2E1F0;
    lengthLow_ = 0;
    lengthHigh_ = 0;
    blockIndex_ = 0;
    computed_ = false;
    corrupted_ = false;
}

void SHA1::Input(uint8_t byte) {
    if (computed_ || corrupted_) {
        corrupted_ = true;
        return;
    }
    block_[blockIndex_++] = byte;
    lengthLow_ += 8;
    if (lengthLow_ == 0 && ++lengthHigh_ == 0) corrupted_ = true;
    if (blockIndex_ == 64) ProcessBlock();
}

void SHA1::Input(const char* text) {
    while (text != nullptr && *text != '\0')
        Input(static_cast<uint8_t>(*text++));
}

void SHA1::Input(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i)
        Input(bytes[i]);
}

bool SHA1::Result(uint32_t words[5]) {
    if (corrupted_) return false;
    if (!computed_) {
        Pad();
        computed_ = true;
    }
    for (int i = 0; i < 5; ++i)
        words[i] = hash_[i];
    return true;
}

void SHA1::ProcessBlock() {
    static constexpr uint32_t kConstants[4] = {0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xCA62C1D6};
    uint32_t w[80];
    for (int t = 0; t < 16; ++t) {
        w[t] = (uint32_t{block_[4 * t]} << 24) | (uint32_t{block_[4 * t + 1]} << 16) |
               (uint32_t{block_[4 * t + 2]} << 8) | block_[4 * t + 3];
    }
    for (int t = 16; t < 80; ++t)
        w[t] = RotateLeft(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

    uint32_t a = hash_[0], b = hash_[1], c = hash_[2], d = hash_[3], e = hash_[4];
    for (int t = 0; t < 80; ++t) {
        uint32_t f;
        if (t < 20) {
            f = (b & c) | (~b & d);
        } else if (t < 40 || t >= 60) {
            f = b ^ c ^ d;
        } else {
            f = (b & c) | (b & d) | (c & d);
        }
        uint32_t temp = RotateLeft(a, 5) + f + e + w[t] + kConstants[t / 20];
        e = d;
        d = c;
        c = RotateLeft(b, 30);
        b = a;
        a = temp;
    }
    hash_[0] += a;
    hash_[1] += b;
    hash_[2] += c;
    hash_[3] += d;
    hash_[4] += e;
    blockIndex_ = 0;
}

void SHA1::Pad() {
    // 0x80, zeros up to 56 bytes of the last block, then the bit length.
    block_[blockIndex_++] = 0x80;
    if (blockIndex_ > 56) {
        while (blockIndex_ < 64)
            block_[blockIndex_++] = 0;
        ProcessBlock();
    }
    while (blockIndex_ < 56)
        block_[blockIndex_++] = 0;
    for (int i = 0; i < 4; ++i) {
        block_[56 + i] = static_cast<uint8_t>(lengthHigh_ >> (24 - 8 * i));
        block_[60 + i] = static_cast<uint8_t>(lengthLow_ >> (24 - 8 * i));
    }
    ProcessBlock();
}

std::string Base64Digest(const uint8_t digest[20]) {
    std::string text;
    text.reserve(28);
    for (int i = 0; i < 20; i += 3) {
        uint32_t group = uint32_t{digest[i]} << 16;
        if (i + 1 < 20) group |= uint32_t{digest[i + 1]} << 8;
        if (i + 2 < 20) group |= digest[i + 2];
        text.push_back(kBase64Alphabet[(group >> 18) & 63]);
        text.push_back(kBase64Alphabet[(group >> 12) & 63]);
        text.push_back(i + 1 < 20 ? kBase64Alphabet[(group >> 6) & 63] : '=');
        text.push_back(i + 2 < 20 ? kBase64Alphabet[group & 63] : '=');
    }
    return text;
}

std::string WebSocketAcceptKey(const std::string& key) {
    SHA1 sha;
    sha.Input(key.c_str());
    sha.Input("258EAFA5-E914-47DA-95CA-C5AB0DC85B11");
    uint32_t words[5];
    sha.Result(words);
    uint8_t digest[20];
    for (int i = 0; i < 5; ++i) {
        for (int k = 0; k < 4; ++k)
            digest[4 * i + k] = static_cast<uint8_t>(words[i] >> (24 - 8 * k));
    }
    return Base64Digest(digest);
}

// Row-level pixel conversions between the three pixel types of the image
// layer: 1 (1 bit, most significant bit first, 1 = black), 2 (grey byte) and
// 4 (R, G, B bytes). Colour becomes grey by luminance, grey becomes black and
// white by the threshold 128 (darker is black), black and white becomes 0 or
// 255. Pure functions; any thread.
#pragma once

#include <cstdint>

namespace kximage {

constexpr uint8_t kBlackThreshold = 128;

// Bytes per pixel of type 2 (grey) or 4 (colour).
inline uint32_t BytesPerPixel(uint32_t type) {
    return type == 4 ? 3 : 1;
}

inline uint8_t Luminance(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint8_t>((77u * r + 150u * g + 29u * b + 128u) >> 8);
}

inline bool BitAt(const uint8_t* row, uint32_t x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

inline void SetBit(uint8_t* row, uint32_t x, bool black) {
    uint8_t mask = static_cast<uint8_t>(0x80u >> (x & 7));
    if (black)
        row[x >> 3] |= mask;
    else
        row[x >> 3] &= static_cast<uint8_t>(~mask);
}

// Converts count pixels: pixel srcX of src (in srcType) onwards into pixel
// dstX of dst (in dstType) onwards. Pixels of dst outside the range are kept.
void ConvertPixels(const uint8_t* src, uint32_t srcType, uint32_t srcX, uint8_t* dst,
                   uint32_t dstType, uint32_t dstX, uint32_t count);

// Inverts every bit of count bytes (black-and-white rows stored with
// 0 = black elsewhere).
void InvertBytes(const uint8_t* src, uint8_t* dst, uint32_t count);

}  // namespace kximage

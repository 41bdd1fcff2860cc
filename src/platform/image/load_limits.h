// Limits that every loader applies before it allocates pixels, so that a
// small or damaged file can never make the process allocate more than the
// file can justify. Pure functions; any thread.
#pragma once

#include <cstdint>

namespace kximage {

constexpr uint32_t kMaxLoadSide = 65535;
constexpr uint64_t kMaxLoadPixels = uint64_t{1} << 28;
// Pixels any file may ask for whatever its size (a 4096 x 4096 page).
constexpr uint64_t kFreePixels = uint64_t{1} << 24;

// Densest packing a valid file of each kind can reach, in pixels per byte of
// file; generous, so that real files (blank pages included) always pass.
constexpr uint64_t kJpegPixelsPerByte = 1024;
constexpr uint64_t kDeflatePixelsPerByte = 8 * 1032;  // zlib's ratio, 1-bit pixels
constexpr uint64_t kFaxPixelsPerByte = 65536;         // a blank fax row is a few bits

// True when width x height is within the caps and a file of fileSize bytes
// packed at most pixelsPerByte pixels per byte can hold that many pixels.
inline bool SizeJustified(uint64_t width, uint64_t height, uint64_t fileSize,
                          uint64_t pixelsPerByte) {
    if (width == 0 || height == 0 || width > kMaxLoadSide || height > kMaxLoadSide) return false;
    uint64_t pixels = width * height;
    if (pixels > kMaxLoadPixels) return false;
    return pixels <= kFreePixels || pixels / pixelsPerByte <= fileSize;
}

}  // namespace kximage

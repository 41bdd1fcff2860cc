// Headers of the frames the service sends: unmasked, unfragmented text.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the header for a payload of length bytes into header (10 bytes of
// room) and returns its size: 2 bytes up to 125, 4 bytes up to 65535, else 10
// (127, four zero bytes, the length as 32-bit big-endian).
size_t BuildTextFrameHeader(uint64_t length, uint8_t header[10]);

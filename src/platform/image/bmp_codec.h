// BMP files, read and written by hand.
//
// Reading: uncompressed 1-, 4-, 8-bit palette images, 16- and 32-bit images
// (plain or with bit-field masks) and 24-bit images, bottom-up or top-down,
// with the OS/2 or any Windows information header. Run-length and embedded
// JPEG/PNG compression are refused. Palette images whose colours are all grey
// load as grey, and 1-bit images of pure black and white as black and white.
//
// Writing: 24-bit colour, 8-bit grey (grey palette) or 1-bit (white, black
// palette), bottom-up, with the resolution in pixels per metre.
// Any thread; no shared state.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/image/image_object.h"

namespace kximage {

int EncodeBmp(const KXImageObject& image, std::vector<uint8_t>* out);

}  // namespace kximage

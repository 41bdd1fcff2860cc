// PNG files on libpng.
//
// Reading: any PNG (palette, grey, colour, 1 to 16 bits, interlaced, with or
// without alpha, which is composed onto white). 1-bit grey images without
// transparency load as black and white, other grey images as grey, the rest
// as colour. The file must be complete up to its IEND chunk.
//
// Writing: 1-bit grey for black and white, 8-bit grey, 24-bit colour, with
// pHYs when the resolution is known.
//
// libpng errors end in a longjmp inside plain functions and come back as
// failure values. Any thread; no shared state.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/image/image_object.h"

namespace kximage {

int EncodePng(const KXImageObject& image, std::vector<uint8_t>* out);

// The zlib stream of a non-interlaced PNG (its IDAT chunks joined), which a
// PDF Flate stream with the PNG predictor decodes to the same rows. False
// when png is not such a file.
bool PngCompressedRows(const uint8_t* png, size_t size, std::vector<uint8_t>* rows);

}  // namespace kximage

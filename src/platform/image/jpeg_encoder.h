// JPEG writing on libjpeg-turbo. Rows go from the image to the encoder
// without copies for grey and colour images (black-and-white rows are widened
// to grey one at a time). Baseline, 4:2:0 for colour, JFIF density from the
// image's resolution when known. Images of kMinStripPixels or more are cut
// into about kEncoderRestartIntervals restart intervals of whole MCU rows
// (about 0.02 % of the file), so that they can be decoded in strips on two
// threads.
//
// libjpeg errors end in a longjmp inside a plain function and come back as a
// failure value. Any thread; no shared state.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/image/image_object.h"

namespace kximage {

constexpr uint32_t kDefaultJpegQuality = 80;

// Quality 0..100; larger values are taken as 100.
int EncodeJpeg(const KXImageObject* image, uint32_t quality, std::vector<uint8_t>* out);

}  // namespace kximage

// JPEG reading on libjpeg-turbo: checking that a byte block holds one
// complete JPEG stream, reading its header, and decoding it at full size or
// reduced by DCT scaling (which skips most of the decoding work). Large
// streams with restart markers on MCU rows (as the encoder writes them) are
// decoded in two strips on two threads (jpeg_strip_decode.h), with the same
// pixels as a decode in one piece.
//
// libjpeg errors end in a longjmp inside plain functions of the decoder and
// come back as failure values; nothing is thrown. Any thread; decodes on
// different threads may run at once.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/image/image_object.h"

namespace kximage {

// Null when bytes are not one complete JPEG stream (SOI through EOI) that
// libjpeg-turbo can decode, or when the size in its header is beyond the load
// limits for a file of its length. The tables of sequential streams are
// checked here; damage inside the coded data of a progressive stream shows
// only when it is decoded.
std::shared_ptr<JpegSource> ParseJpeg(std::vector<uint8_t> bytes);

// The pixel type the stream holds: 2 for grey, 4 for colour.
uint32_t NativeJpegType(const JpegSource& source);

// Decodes the whole stream into image->pixels (allocated here) in
// image->type; image->width and height must be the stream's.
int DecodeJpegPixels(const JpegSource& source, KXImageObject* image);

// Decodes the stream reduced by the smallest scale M/8 (M = 1..8) whose long
// side is still at least minLongSide pixels, into a new image of type.
std::unique_ptr<KXImageObject> DecodeJpegScaled(const JpegSource& source, uint32_t minLongSide,
                                                uint32_t type);

}  // namespace kximage

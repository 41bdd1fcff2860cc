// One libjpeg decode of a stream given as byte spans (jpeg_span_source.h),
// at a DCT scale, into rows of an image: the stream's output rows
// [firstKept, firstKept + keptRows) go to consecutive rows of the destination
// in its pixel type; rows outside that window are decoded and dropped. A whole
// file is one span whose window is all its rows; a strip of a file keeps its
// share of the picture.
//
// libjpeg errors end in a longjmp inside a plain function and come back as a
// failure value (the message is logged). Any thread; no shared state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/image/jpeg_span_source.h"

namespace kximage {

struct JpegRowsJob {
    const ByteSpan* spans;
    size_t spanCount;
    int restartShift;  // see JpegSpanSource
    int scale;         // eighths, 1..8
    // Faster, slightly less exact decoding for reduced previews: the fast
    // integer DCT and no smoothing of subsampled chroma.
    bool fast;
    uint32_t type;   // pixel type of the destination (1, 2 or 4)
    uint32_t width;  // output size the stream must give at this scale
    uint32_t height;
    uint32_t firstKept;
    uint32_t keptRows;
    uint8_t* pixels;  // destination of the first kept row
    size_t step;      // bytes from one destination row to the next
};

// KX_OK, KX_ERR_DATA when libjpeg fails or the output size is not the
// expected one, KX_ERR_SYSTEM without memory.
int DecodeJpegRows(const JpegRowsJob& job);

}  // namespace kximage

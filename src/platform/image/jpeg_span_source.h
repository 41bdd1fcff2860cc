// A libjpeg data source that reads one stream made of several byte spans held
// elsewhere (the headers of a file, a patched field, a slice of its coded
// data, an end marker), so that a strip of a file is decoded without copying
// its coded data.
//
// A slice that starts after the file's first restart interval still carries
// the file's restart numbers; restartShift says how far they run ahead of the
// numbers the decoder expects (which start at 0 with each stream), and the
// source accepts exactly the shifted number. Any other marker is handed to
// libjpeg's own resynchronisation as if the numbers had not been shifted.
//
// Running past the last span gives a warning and an EOI marker, as libjpeg's
// memory source does. The spans must outlive the decode. One decode, one
// thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/image/jpeg_error.h"

namespace kximage {

struct ByteSpan {
    const uint8_t* data;
    size_t size;
};

struct JpegSpanSource {
    jpeg_source_mgr manager;
    const ByteSpan* spans;
    size_t count;
    size_t next;
    int restartShift;
};

// Makes source the data source of info.
void UseSpanSource(jpeg_decompress_struct* info, JpegSpanSource* source, const ByteSpan* spans,
                   size_t count, int restartShift);

}  // namespace kximage

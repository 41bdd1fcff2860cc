#include "platform/image/jpeg_span_source.h"

#include <jerror.h>

namespace kximage {
namespace {

const uint8_t kEndOfImage[2] = {0xFF, 0xD9};

JpegSpanSource* SourceOf(j_decompress_ptr info) {
    return reinterpret_cast<JpegSpanSource*>(info->src);
}

void InitSource(j_decompress_ptr) {}

void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr info) {
    JpegSpanSource* source = SourceOf(info);
    while (source->next < source->count && source->spans[source->next].size == 0)
        ++source->next;
    if (source->next == source->count) {
        WARNMS(info, JWRN_JPEG_EOF);
        source->manager.next_input_byte = kEndOfImage;
        source->manager.bytes_in_buffer = sizeof kEndOfImage;
        return TRUE;
    }
    const ByteSpan& span = source->spans[source->next++];
    source->manager.next_input_byte = span.data;
    source->manager.bytes_in_buffer = span.size;
    return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count) {
    if (count <= 0) return;
    JpegSpanSource* source = SourceOf(info);
    size_t left = static_cast<size_t>(count);
    while (left > source->manager.bytes_in_buffer) {
        left -= source->manager.bytes_in_buffer;
        bool atEnd = source->next == source->count;
        FillInputBuffer(info);
        if (atEnd) return;  // only the inserted EOI is left
    }
    source->manager.next_input_byte += left;
    source->manager.bytes_in_buffer -= left;
}

boolean ResyncToRestart(j_decompress_ptr info, int desired) {
    int numbered = (desired + SourceOf(info)->restartShift) & 7;
    if (info->unread_marker == JPEG_RST0 + numbered) {
        info->unread_marker = 0;
        return TRUE;
    }
    return jpeg_resync_to_restart(info, numbered);
}

}  // namespace

void UseSpanSource(jpeg_decompress_struct* info, JpegSpanSource* source, const ByteSpan* spans,
                   size_t count, int restartShift) {
    source->manager.next_input_byte = nullptr;
    source->manager.bytes_in_buffer = 0;
    source->manager.init_source = InitSource;
    source->manager.fill_input_buffer = FillInputBuffer;
    source->manager.skip_input_data = SkipInputData;
    source->manager.resync_to_restart = ResyncToRestart;
    source->manager.term_source = TermSource;
    source->spans = spans;
    source->count = count;
    source->next = 0;
    source->restartShift = restartShift & 7;
    info->src = &source->manager;
}

}  // namespace kximage

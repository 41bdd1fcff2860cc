#include "platform/image/jpeg_strip_decode.h"

#include <utility>

#include "platform/image/helper_thread.h"
#include "platform/image/jpeg_rows.h"

namespace kximage {
namespace {

const uint8_t kEndOfImage[2] = {0xFF, 0xD9};

// A strip of this many intervals or fewer is decoded one interval at a time
// (each a stream without restart markers, which libjpeg-turbo decodes on its
// fast path), unless chroma smoothing needs rows across interval seams.
constexpr uint32_t kMostChainedIntervals = 32;

struct StripTask {
    const uint8_t* bytes;
    const JpegRestartLayout* layout;
    JpegStrip strip;
    int scale;
    bool fast;
    bool chained;
    KXImageObject* image;
    int status;
};

uint32_t Scaled(uint32_t rows, int scale) {
    return static_cast<uint32_t>((uint64_t{rows} * static_cast<uint32_t>(scale) + 7) / 8);
}

// The file's headers up to the coded data with the frame height replaced
// and, when dropRestarts, the restart interval segment left out.
size_t HeaderSpans(const uint8_t* bytes, const JpegRestartLayout& layout, const uint8_t* height,
                   bool dropRestarts, ByteSpan* spans) {
    struct Edit {
        size_t at;
        size_t length;
        const uint8_t* with;
        size_t withLength;
    };
    Edit edits[2] = {{layout.heightField, 2, height, 2}, {layout.restartSegment, 6, nullptr, 0}};
    size_t editCount = dropRestarts ? 2 : 1;
    if (editCount == 2 && edits[1].at < edits[0].at) std::swap(edits[0], edits[1]);
    size_t count = 0;
    size_t from = 0;
    for (size_t k = 0; k < editCount; ++k) {
        spans[count++] = ByteSpan{bytes + from, edits[k].at - from};
        if (edits[k].withLength != 0) spans[count++] = ByteSpan{edits[k].with, edits[k].withLength};
        from = edits[k].at + edits[k].length;
    }
    spans[count++] = ByteSpan{bytes + from, layout.scanData - from};
    return count;
}

// Decodes intervals [first, end) as one stream and keeps image rows
// [keepBegin, keepEnd). Pieces start and end on MCU rows (multiples of 8
// rows), so the scaled rows of the pieces add up exactly to the scaled image.
int DecodePiece(const StripTask& task, uint32_t first, uint32_t end, uint32_t keepBegin,
                uint32_t keepEnd) {
    const JpegRestartLayout& layout = *task.layout;
    uint32_t firstRow = layout.RowOf(first);
    uint32_t rows = layout.RowOf(end) - firstRow;
    uint8_t height[2] = {static_cast<uint8_t>(rows >> 8), static_cast<uint8_t>(rows & 0xFF)};
    ByteSpan spans[7];
    bool single = end == first + 1;
    size_t count = HeaderSpans(task.bytes, layout, height, single, spans);
    size_t dataBegin = layout.DataBegin(first);
    spans[count++] = ByteSpan{task.bytes + dataBegin, layout.DataEnd(end - 1) - dataBegin};
    spans[count++] = ByteSpan{kEndOfImage, sizeof kEndOfImage};
    uint32_t keptBegin = Scaled(keepBegin, task.scale);
    JpegRowsJob job{.spans = spans,
                    .spanCount = count,
                    .restartShift = static_cast<int>(first & 7),
                    .scale = task.scale,
                    .fast = task.fast,
                    .type = task.image->type,
                    .width = task.image->width,
                    .height = Scaled(rows, task.scale),
                    .firstKept = keptBegin - Scaled(firstRow, task.scale),
                    .keptRows = Scaled(keepEnd, task.scale) - keptBegin,
                    .pixels = Row(task.image, keptBegin),
                    .step = task.image->widthStep};
    return DecodeJpegRows(job);
}

void RunStrip(void* param) {
    auto* task = static_cast<StripTask*>(param);
    const JpegStrip& strip = task->strip;
    if (!task->chained) {
        task->status = DecodePiece(*task, strip.firstInterval, strip.endInterval, strip.keepBegin,
                                   strip.keepEnd);
        return;
    }
    task->status = KX_OK;
    const JpegRestartLayout& layout = *task->layout;
    for (uint32_t i = strip.firstInterval; i < strip.endInterval && task->status == KX_OK; ++i)
        task->status = DecodePiece(*task, i, i + 1, layout.RowOf(i), layout.RowOf(i + 1));
}

}  // namespace

int DecodeJpegInStrips(const uint8_t* bytes, const JpegRestartLayout& layout, int scale, bool fast,
                       KXImageObject* image) {
    // Smoothed chroma upsampling (full-quality colour decodes of vertically
    // subsampled chroma) blends each chroma row with its neighbours across
    // the seam; grey output uses no chroma.
    bool contextRows = !fast && layout.mcuHeight > 8 && image->type == KX_PIXEL_RGB;
    uint32_t pixelsPerByte = scale == 8 ? 4 : 16;
    JpegStrip top;
    JpegStrip bottom;
    PlanJpegStrips(layout, pixelsPerByte, contextRows, &top, &bottom);
    auto chained = [&](const JpegStrip& strip) {
        return !contextRows && strip.endInterval - strip.firstInterval <= kMostChainedIntervals;
    };
    StripTask topTask{bytes, &layout, top, scale, fast, chained(top), image, KX_ERR_STATE};
    StripTask bottomTask{bytes, &layout, bottom, scale, fast, chained(bottom), image, KX_ERR_STATE};
    HelperRun helper;
    bool onHelper = helper.Start(RunStrip, &bottomTask);
    RunStrip(&topTask);
    if (!onHelper) RunStrip(&bottomTask);
    helper.Wait();
    return topTask.status != KX_OK ? topTask.status : bottomTask.status;
}

}  // namespace kximage

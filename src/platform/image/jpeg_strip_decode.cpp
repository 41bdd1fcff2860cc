#include "platform/image/jpeg_strip_decode.h"

#include "platform/image/helper_thread.h"
#include "platform/image/jpeg_rows.h"

namespace kximage {
namespace {

const uint8_t kEndOfImage[2] = {0xFF, 0xD9};

// A strip as libjpeg reads it: the file's headers up to the frame height, the
// strip's height, the rest of the headers, the strip's coded data, an EOI.
struct StripDecode {
    uint8_t height[2];
    ByteSpan spans[5];
    JpegRowsJob job;
    int status;
};

uint32_t Scaled(uint32_t rows, int scale) {
    return static_cast<uint32_t>((uint64_t{rows} * static_cast<uint32_t>(scale) + 7) / 8);
}

// Strips start and end on MCU rows (multiples of 8 rows), so their scaled
// rows add up exactly to the scaled image.
void PrepareStrip(const uint8_t* bytes, const JpegRestartLayout& layout, const JpegStrip& strip,
                  int scale, bool fast, KXImageObject* image, StripDecode* decode) {
    decode->height[0] = static_cast<uint8_t>(strip.rows >> 8);
    decode->height[1] = static_cast<uint8_t>(strip.rows & 0xFF);
    size_t afterHeight = layout.heightField + 2;
    decode->spans[0] = ByteSpan{bytes, layout.heightField};
    decode->spans[1] = ByteSpan{decode->height, 2};
    decode->spans[2] = ByteSpan{bytes + afterHeight, layout.scanData - afterHeight};
    decode->spans[3] = ByteSpan{bytes + strip.dataBegin, strip.dataEnd - strip.dataBegin};
    decode->spans[4] = ByteSpan{kEndOfImage, sizeof kEndOfImage};
    uint32_t firstOutput = Scaled(strip.firstRow, scale);
    uint32_t keptBegin = Scaled(strip.keepBegin, scale);
    JpegRowsJob& job = decode->job;
    job.spans = decode->spans;
    job.spanCount = 5;
    job.restartShift = static_cast<int>(strip.firstInterval & 7);
    job.scale = scale;
    job.fast = fast;
    job.type = image->type;
    job.width = image->width;
    job.height = Scaled(strip.rows, scale);
    job.firstKept = keptBegin - firstOutput;
    job.keptRows = Scaled(strip.keepEnd, scale) - keptBegin;
    job.pixels = Row(image, keptBegin);
    job.step = image->widthStep;
    decode->status = KX_ERR_STATE;
}

void RunStrip(void* param) {
    auto* decode = static_cast<StripDecode*>(param);
    decode->status = DecodeJpegRows(decode->job);
}

}  // namespace

int DecodeJpegInStrips(const uint8_t* bytes, const JpegRestartLayout& layout, int scale, bool fast,
                       KXImageObject* image) {
    // Smoothed chroma upsampling (full-quality decodes of subsampled colour)
    // blends each chroma row with its neighbours across the seam.
    bool contextRows = !fast && layout.mcuHeight > 8;
    uint32_t pixelsPerByte = scale == 8 ? 4 : 16;
    JpegStrip topStrip;
    JpegStrip bottomStrip;
    PlanJpegStrips(layout, pixelsPerByte, contextRows, &topStrip, &bottomStrip);
    StripDecode top;
    StripDecode bottom;
    PrepareStrip(bytes, layout, topStrip, scale, fast, image, &top);
    PrepareStrip(bytes, layout, bottomStrip, scale, fast, image, &bottom);
    HelperRun helper;
    bool onHelper = helper.Start(RunStrip, &bottom);
    RunStrip(&top);
    if (!onHelper) RunStrip(&bottom);
    helper.Wait();
    return top.status != KX_OK ? top.status : bottom.status;
}

}  // namespace kximage

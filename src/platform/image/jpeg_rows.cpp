#include "platform/image/jpeg_rows.h"

#include <memory>
#include <new>

#include "platform/base/kx_log.h"
#include "platform/image/image_object.h"
#include "platform/image/pixel_rows.h"

namespace kximage {
namespace {

void CmykToRgb(const uint8_t* cmyk, bool inverted, uint8_t* rgb, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, cmyk += 4, rgb += 3) {
        uint32_t c = inverted ? cmyk[0] : 255u - cmyk[0];
        uint32_t m = inverted ? cmyk[1] : 255u - cmyk[1];
        uint32_t y = inverted ? cmyk[2] : 255u - cmyk[2];
        uint32_t k = inverted ? cmyk[3] : 255u - cmyk[3];
        rgb[0] = static_cast<uint8_t>(c * k / 255);
        rgb[1] = static_cast<uint8_t>(m * k / 255);
        rgb[2] = static_cast<uint8_t>(y * k / 255);
    }
}

struct Scratch {
    uint8_t* row;  // 4 bytes per pixel: one decoded row before conversion
    uint8_t* rgb;  // 3 bytes per pixel
};

// Plain function: no object with a destructor lives in this frame.
bool DecodeWithLibjpeg(JpegErrorManager* errors, jpeg_decompress_struct* info,
                       JpegSpanSource* source, const JpegRowsJob* job, const Scratch* scratch) {
    if (setjmp(errors->jump)) return false;
    info->mem->max_memory_to_use = kJpegMaxLibraryMemory;
    UseSpanSource(info, source, job->spans, job->spanCount, job->restartShift);
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) return false;
    bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    if (cmyk)
        info->out_color_space = JCS_CMYK;
    else
        info->out_color_space = job->type == KX_PIXEL_RGB ? JCS_RGB : JCS_GRAYSCALE;
    info->scale_num = static_cast<unsigned>(job->scale);
    info->scale_denom = 8;
    if (job->fast) {
        info->dct_method = JDCT_IFAST;
        info->do_fancy_upsampling = FALSE;
    }
    jpeg_start_decompress(info);
    if (info->output_width != job->width || info->output_height != job->height) return false;
    uint32_t keptEnd = job->firstKept + job->keptRows;
    if (keptEnd > job->height || keptEnd < job->firstKept) return false;
    bool direct = !cmyk && job->type != KX_PIXEL_BW;
    bool inverted = info->saw_Adobe_marker;
    while (info->output_scanline < info->output_height) {
        uint32_t y = info->output_scanline;
        if (y < job->firstKept || y >= keptEnd) {
            JSAMPROW dropped = scratch->row;
            if (jpeg_read_scanlines(info, &dropped, 1) != 1) return false;
            continue;
        }
        uint8_t* row = job->pixels + (y - job->firstKept) * job->step;
        if (direct) {
            JSAMPROW rows[16];
            uint32_t count = keptEnd - y < 16 ? keptEnd - y : 16;
            for (uint32_t k = 0; k < count; ++k)
                rows[k] = row + k * job->step;
            if (jpeg_read_scanlines(info, rows, count) == 0) return false;
            continue;
        }
        JSAMPROW decoded = scratch->row;
        if (jpeg_read_scanlines(info, &decoded, 1) != 1) return false;
        if (cmyk) {
            CmykToRgb(scratch->row, inverted, scratch->rgb, job->width);
            ConvertPixels(scratch->rgb, KX_PIXEL_RGB, 0, row, job->type, 0, job->width);
        } else {
            ConvertPixels(scratch->row, KX_PIXEL_GRAY, 0, row, KX_PIXEL_BW, 0, job->width);
        }
    }
    jpeg_finish_decompress(info);
    return true;
}

}  // namespace

int DecodeJpegRows(const JpegRowsJob& job) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size_t{job.width} * 7]);
    if (!buffer) return KX_ERR_SYSTEM;
    Scratch scratch{buffer.get(), buffer.get() + size_t{job.width} * 4};
    JpegSpanSource source{};
    JpegErrorManager errors;
    jpeg_decompress_struct info;
    info.err = InstallJpegErrors(&errors);
    jpeg_create_decompress(&info);
    bool ok = DecodeWithLibjpeg(&errors, &info, &source, &job, &scratch);
    jpeg_destroy_decompress(&info);
    if (!ok) {
        KXBase_WriteInfo(KX_LOG_INFO, "jpeg decode: %s", errors.message);
        return KX_ERR_DATA;
    }
    return KX_OK;
}

}  // namespace kximage

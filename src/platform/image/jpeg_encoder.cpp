#include "platform/image/jpeg_encoder.h"

#include <jerror.h>

#include <algorithm>
#include <memory>
#include <new>

#include "platform/base/kx_log.h"
#include "platform/image/jpeg_error.h"
#include "platform/image/jpeg_strips.h"
#include "platform/image/pixel_rows.h"

namespace kximage {
namespace {

// A libjpeg destination that appends to a vector.
struct VectorDestination {
    jpeg_destination_mgr manager;
    std::vector<uint8_t>* out;
};

bool Grow(std::vector<uint8_t>* out) noexcept {
    try {
        out->resize(out->size() * 2);
        return true;
    } catch (...) {
        return false;
    }
}

void InitDestination(j_compress_ptr info) {
    auto* destination = reinterpret_cast<VectorDestination*>(info->dest);
    destination->manager.next_output_byte = destination->out->data();
    destination->manager.free_in_buffer = destination->out->size();
}

boolean EmptyOutput(j_compress_ptr info) {
    auto* destination = reinterpret_cast<VectorDestination*>(info->dest);
    size_t used = destination->out->size();
    if (!Grow(destination->out)) ERREXIT(info, JERR_OUT_OF_MEMORY);
    destination->manager.next_output_byte = destination->out->data() + used;
    destination->manager.free_in_buffer = destination->out->size() - used;
    return TRUE;
}

void TermDestination(j_compress_ptr info) {
    auto* destination = reinterpret_cast<VectorDestination*>(info->dest);
    destination->out->resize(destination->out->size() - destination->manager.free_in_buffer);
}

struct EncodeJob {
    const KXImageObject* image;
    int quality;
    uint8_t* greyRow;  // one row of grey for black-and-white images
};

// Plain function: no object with a destructor lives in this frame.
bool EncodeWithLibjpeg(JpegErrorManager* errors, jpeg_compress_struct* info,
                       VectorDestination* destination, const EncodeJob* job) {
    if (setjmp(errors->jump)) return false;
    const KXImageObject* image = job->image;
    info->dest = &destination->manager;
    info->image_width = image->width;
    info->image_height = image->height;
    bool colour = image->type == KX_PIXEL_RGB;
    info->input_components = colour ? 3 : 1;
    info->in_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, job->quality, TRUE);
    uint32_t mcuSide = colour ? 16 : 8;  // 4:2:0 colour, grey
    info->restart_in_rows =
        static_cast<int>(EncoderRestartRows(image->width, image->height, mcuSide, mcuSide));
    if (image->dpi != 0 && image->dpi <= 65535) {
        info->density_unit = 1;
        info->X_density = static_cast<UINT16>(image->dpi);
        info->Y_density = static_cast<UINT16>(image->dpi);
    }
    jpeg_start_compress(info, TRUE);
    while (info->next_scanline < info->image_height) {
        uint32_t y = info->next_scanline;
        if (image->type == KX_PIXEL_BW) {
            ConvertPixels(Row(image, y), KX_PIXEL_BW, 0, job->greyRow, KX_PIXEL_GRAY, 0,
                          image->width);
            JSAMPROW row = job->greyRow;
            jpeg_write_scanlines(info, &row, 1);
            continue;
        }
        JSAMPROW rows[32];
        uint32_t count = info->image_height - y < 32 ? info->image_height - y : 32;
        for (uint32_t k = 0; k < count; ++k)
            rows[k] = const_cast<uint8_t*>(Row(image, y + k));
        jpeg_write_scanlines(info, rows, count);
    }
    jpeg_finish_compress(info);
    return true;
}

}  // namespace

int EncodeJpeg(const KXImageObject* image, uint32_t quality, std::vector<uint8_t>* out) {
    if (!image->pixels || image->width > 65500 || image->height > 65500) return KX_ERR_ARGUMENT;
    std::unique_ptr<uint8_t[]> greyRow;
    if (image->type == KX_PIXEL_BW) {
        greyRow.reset(new (std::nothrow) uint8_t[image->width]);
        if (!greyRow) return KX_ERR_SYSTEM;
    }
    // A first guess of the encoded size keeps regrowth rare.
    constexpr size_t kMaxGuess = size_t{32} << 20;
    size_t guess = size_t{image->width} * image->height * (image->type == KX_PIXEL_RGB ? 3 : 1) / 8;
    out->resize(std::min(guess, kMaxGuess) + 65536);
    VectorDestination destination{};
    destination.out = out;
    destination.manager.init_destination = InitDestination;
    destination.manager.empty_output_buffer = EmptyOutput;
    destination.manager.term_destination = TermDestination;
    EncodeJob job{image, static_cast<int>(quality > 100 ? 100 : quality), greyRow.get()};

    JpegErrorManager errors;
    jpeg_compress_struct info;
    info.err = InstallJpegErrors(&errors);
    jpeg_create_compress(&info);
    bool ok = EncodeWithLibjpeg(&errors, &info, &destination, &job);
    jpeg_destroy_compress(&info);
    if (!ok) {
        out->clear();
        KXBase_WriteInfo(KX_LOG_INFO, "jpeg encode: %s", errors.message);
        return KX_ERR_SYSTEM;
    }
    return KX_OK;
}

}  // namespace kximage

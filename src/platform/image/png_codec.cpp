#include "platform/image/png_codec.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "platform/base/kx_log.h"
#include "platform/image/image_loader.h"
#include "platform/image/load_limits.h"

namespace kximage {
namespace {

struct PngInput {
    const uint8_t* data;
    size_t size;
    size_t position;
};

struct PngErrors {
    char message[200];
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp text) {
    auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
    std::snprintf(errors->message, sizeof errors->message, "%s", text);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void ReadInput(png_structp png, png_bytep out, size_t length) {
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (length > input->size - input->position) png_error(png, "file ends early");
    std::memcpy(out, input->data + input->position, length);
    input->position += length;
}

// What the header says and how the rows will come out.
struct PngShape {
    uint32_t width;
    uint32_t height;
    uint32_t storedType;
    uint32_t dpi;
    uint32_t channels;  // after the transforms: 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    size_t rowBytes;
};

struct PngReadJob {
    PngInput input;
    bool infoOnly;
    uint64_t fileSize;
    PngShape shape;
    // Filled between the two steps by the caller: where the rows go.
    png_bytepp rows;
};

uint32_t StoredTypeOf(png_structp png, png_infop info) {
    int colour = png_get_color_type(png, info);
    bool transparent = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (colour == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) == 1 && !transparent)
        return KX_PIXEL_BW;
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) return KX_PIXEL_GRAY;
    return KX_PIXEL_RGB;
}

uint32_t DpiOf(png_structp png, png_infop info) {
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &x, &y, &unit) == 0 || unit != PNG_RESOLUTION_METER || x > 1000000)
        return 0;
    return static_cast<uint32_t>(std::lround(x * 0.0254));
}

// Plain function: no object with a destructor lives in this frame. Step 1
// reads the header and sets the transforms.
bool ReadPngHeader(png_structp png, png_infop info, PngReadJob* job) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_user_limits(png, kMaxLoadSide, kMaxLoadSide);
    png_set_read_fn(png, &job->input, ReadInput);
    png_read_info(png, info);
    PngShape& shape = job->shape;
    shape.width = png_get_image_width(png, info);
    shape.height = png_get_image_height(png, info);
    shape.storedType = StoredTypeOf(png, info);
    shape.dpi = DpiOf(png, info);
    if (job->infoOnly) return true;
    int colour = png_get_color_type(png, info);
    if (shape.storedType == KX_PIXEL_BW) {
        png_set_invert_mono(png);  // PNG's 0 is black, ours is 1
    } else {
        png_set_strip_16(png);
        if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
        if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_expand_gray_1_2_4_to_8(png);
        if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    shape.channels = png_get_channels(png, info);
    shape.rowBytes = png_get_rowbytes(png, info);
    return true;
}

// Plain function: step 2 reads the rows and checks the file's end.
bool ReadPngRows(png_structp png, png_infop info, PngReadJob* job) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, job->rows);
    png_read_end(png, info);
    return true;
}

// Alpha over white, then grey or colour bytes into the image row.
void ComposeOnWhite(const uint8_t* in, uint32_t channels, uint32_t width, uint8_t* out) {
    uint32_t colours = channels - 1;
    for (uint32_t x = 0; x < width; ++x, in += channels) {
        uint32_t alpha = in[colours];
        for (uint32_t c = 0; c < colours; ++c)
            out[x * colours + c] =
                static_cast<uint8_t>((in[c] * alpha + 255 * (255 - alpha) + 127) / 255);
    }
}

struct PngReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngErrors errors{};
    ~PngReadState() { png_destroy_read_struct(&png, &info, nullptr); }
};

}  // namespace

int LoadPng(const std::vector<uint8_t>& bytes, const LoadRequest& request, LoadResult* result) {
    PngReadState state;
    state.png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &state.errors, OnPngError, OnPngWarning);
    if (state.png == nullptr) return KX_ERR_SYSTEM;
    state.info = png_create_info_struct(state.png);
    if (state.info == nullptr) return KX_ERR_SYSTEM;
    PngReadJob job{};
    job.input = PngInput{bytes.data(), bytes.size(), 0};
    job.infoOnly = request.infoOnly;
    if (!ReadPngHeader(state.png, state.info, &job)) {
        KXBase_WriteInfo(KX_LOG_INFO, "png: %s", state.errors.message);
        return KX_ERR_DATA;
    }
    const PngShape& shape = job.shape;
    if (!SizeJustified(shape.width, shape.height, bytes.size(), kDeflatePixelsPerByte))
        return KX_ERR_DATA;
    result->info =
        ImageFileInfo{shape.width, shape.height, shape.storedType, KX_FORMAT_PNG, shape.dpi};
    if (request.infoOnly) return KX_OK;

    auto image = NewImage(shape.width, shape.height, shape.storedType);
    if (!image) return KX_ERR_SYSTEM;
    ClearPadding(image.get());
    image->dpi = shape.dpi;
    bool alpha = shape.channels == 2 || shape.channels == 4;
    std::unique_ptr<uint8_t[]> decoded;
    if (alpha) {
        decoded.reset(new (std::nothrow) uint8_t[shape.rowBytes * shape.height]);
        if (!decoded) return KX_ERR_SYSTEM;
    } else if (shape.rowBytes > image->widthStep) {
        return KX_ERR_DATA;
    }
    std::unique_ptr<png_bytep[]> rows(new (std::nothrow) png_bytep[shape.height]);
    if (!rows) return KX_ERR_SYSTEM;
    for (uint32_t y = 0; y < shape.height; ++y)
        rows[y] = alpha ? decoded.get() + y * shape.rowBytes : Row(image.get(), y);
    job.rows = rows.get();
    if (!ReadPngRows(state.png, state.info, &job)) {
        KXBase_WriteInfo(KX_LOG_INFO, "png: %s", state.errors.message);
        return KX_ERR_DATA;
    }
    if (alpha) {
        for (uint32_t y = 0; y < shape.height; ++y)
            ComposeOnWhite(rows[y], shape.channels, shape.width, Row(image.get(), y));
    }
    result->image = std::move(image);
    return KX_OK;
}

namespace {

struct PngOutput {
    std::vector<uint8_t>* out;
};

bool Append(std::vector<uint8_t>* out, const uint8_t* data, size_t length) noexcept {
    try {
        out->insert(out->end(), data, data + length);
        return true;
    } catch (...) {
        return false;
    }
}

void WriteOutput(png_structp png, png_bytep data, size_t length) {
    auto* output = static_cast<PngOutput*>(png_get_io_ptr(png));
    if (!Append(output->out, data, length)) png_error(png, "out of memory");
}

void FlushOutput(png_structp) {}

// Plain function: no object with a destructor lives in this frame.
bool WritePng(png_structp png, png_infop info, const KXImageObject* image, PngOutput* output) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, output, WriteOutput, FlushOutput);
    int depth = image->type == KX_PIXEL_BW ? 1 : 8;
    int colour = image->type == KX_PIXEL_RGB ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
    png_set_IHDR(png, info, image->width, image->height, depth, colour, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (image->dpi != 0) {
        auto perMetre = static_cast<png_uint_32>(std::lround(image->dpi / 0.0254));
        png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
    }
    // Level 3 compresses scanned pages within a percent of the default level
    // in a fifth of the time.
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    if (image->type == KX_PIXEL_BW) png_set_invert_mono(png);
    for (uint32_t y = 0; y < image->height; ++y)
        png_write_row(png, Row(image, y));
    png_write_end(png, info);
    return true;
}

struct PngWriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngErrors errors{};
    ~PngWriteState() { png_destroy_write_struct(&png, &info); }
};

}  // namespace

int EncodePng(const KXImageObject& image, std::vector<uint8_t>* out) {
    PngWriteState state;
    state.png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &state.errors, OnPngError, OnPngWarning);
    if (state.png == nullptr) return KX_ERR_SYSTEM;
    state.info = png_create_info_struct(state.png);
    if (state.info == nullptr) return KX_ERR_SYSTEM;
    out->clear();
    PngOutput output{out};
    if (!WritePng(state.png, state.info, &image, &output)) {
        out->clear();
        KXBase_WriteInfo(KX_LOG_INFO, "png: %s", state.errors.message);
        return KX_ERR_SYSTEM;
    }
    return KX_OK;
}

namespace {

uint32_t BigEndian32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

}  // namespace

bool PngCompressedRows(const uint8_t* png, size_t size, std::vector<uint8_t>* rows) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    constexpr size_t kHeaderInterlace = 12;  // offset of the interlace byte in IHDR's data
    rows->clear();
    if (size < sizeof kSignature || std::memcmp(png, kSignature, sizeof kSignature) != 0)
        return false;
    size_t at = sizeof kSignature;
    bool plainRows = false;
    while (size - at >= 12) {
        size_t length = BigEndian32(png + at);
        const uint8_t* type = png + at + 4;
        const uint8_t* data = png + at + 8;
        if (length > size - at - 12) return false;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            plainRows = length == 13 && data[kHeaderInterlace] == 0;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            rows->insert(rows->end(), data, data + length);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            return plainRows && !rows->empty();
        }
        at += length + 12;
    }
    return false;
}

}  // namespace kximage

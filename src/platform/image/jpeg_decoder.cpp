#include "platform/image/jpeg_decoder.h"

#include <cstring>

#include "platform/base/kx_log.h"
#include "platform/image/jpeg_error.h"
#include "platform/image/jpeg_rows.h"
#include "platform/image/jpeg_strip_decode.h"
#include "platform/image/load_limits.h"

namespace kximage {
namespace {

uint32_t ReadBigEndian16(const uint8_t* p) {
    return (uint32_t{p[0]} << 8) | p[1];
}

// Index of the first marker after entropy-coded data starting at i: an 0xFF
// that is neither a stuffed 0x00, a restart marker nor fill; size when none.
size_t SkipEntropyData(const uint8_t* bytes, size_t size, size_t i) {
    while (i < size) {
        const void* found = std::memchr(bytes + i, 0xFF, size - i);
        if (found == nullptr) return size;
        i = static_cast<size_t>(static_cast<const uint8_t*>(found) - bytes);
        if (i + 1 >= size) return size;
        uint8_t next = bytes[i + 1];
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7) || next == 0xFF)
            i += next == 0xFF ? 1 : 2;
        else
            return i;
    }
    return size;
}

// Entropy-coded data never holds FF D9, so once the first scan has begun a
// complete stream is one with an EOI marker somewhere after it; searching from
// the end finds it at once, even when other data trails the image.
bool HasEndMarker(const uint8_t* bytes, size_t size, size_t from) {
    for (size_t i = size; i >= from + 2; --i)
        if (bytes[i - 2] == 0xFF && bytes[i - 1] == 0xD9) return true;
    return false;
}

// Walks the marker segments from SOI to the first scan and checks for the
// EOI marker, so that a truncated stream is refused before anything is
// decoded.
bool IsCompleteJpeg(const uint8_t* bytes, size_t size) {
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
    size_t i = 2;
    while (i < size) {
        if (bytes[i] != 0xFF) {
            i = SkipEntropyData(bytes, size, i);  // stray bytes between segments
            continue;
        }
        while (i < size && bytes[i] == 0xFF)
            ++i;
        if (i >= size) return false;
        uint8_t marker = bytes[i++];
        if (marker == 0xD8 || marker == 0xD9 || marker == 0x00)
            return false;  // a second start, or an end before any scan
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (i + 2 > size) return false;
        size_t length = ReadBigEndian16(bytes + i);
        if (length < 2 || i + length > size) return false;
        i += length;
        if (marker == 0xDA) return HasEndMarker(bytes, size, i);
    }
    return false;
}

struct Header {
    uint32_t width;
    uint32_t height;
    uint32_t components;
    uint32_t dpi;
    bool embeddable;
};

uint32_t DpiOf(const jpeg_decompress_struct* info) {
    if (info->density_unit == 1) return info->X_density;
    if (info->density_unit == 2) return static_cast<uint32_t>(info->X_density * 2.54 + 0.5);
    return 0;
}

bool IsEmbeddable(const jpeg_decompress_struct* info) {
    if (info->arith_code || info->data_precision != 8) return false;
    if (info->num_components == 1) return info->jpeg_color_space == JCS_GRAYSCALE;
    if (info->num_components != 3) return false;
    // PDF readers apply the YCbCr transform to three components unless an
    // Adobe marker says otherwise.
    return info->jpeg_color_space == JCS_YCbCr ||
           (info->jpeg_color_space == JCS_RGB && info->saw_Adobe_marker);
}

// Plain function: no object with a destructor lives in this frame.
bool ReadHeaderWithLibjpeg(JpegErrorManager* errors, jpeg_decompress_struct* info,
                           const uint8_t* bytes, size_t size, Header* header) {
    if (setjmp(errors->jump)) return false;
    jpeg_mem_src(info, bytes, static_cast<unsigned long>(size));
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) return false;
    header->width = info->image_width;
    header->height = info->image_height;
    header->components = static_cast<uint32_t>(info->num_components);
    header->dpi = DpiOf(info);
    header->embeddable = IsEmbeddable(info);
    if (!info->progressive_mode) {
        // Starting a small decode checks the tables the scan refers to
        // without reading any coded data.
        info->scale_num = 1;
        info->scale_denom = 8;
        jpeg_start_decompress(info);
    }
    return true;
}

bool ReadHeader(const std::vector<uint8_t>& bytes, Header* header) {
    JpegErrorManager errors;
    jpeg_decompress_struct info;
    info.err = InstallJpegErrors(&errors);
    jpeg_create_decompress(&info);
    bool ok = ReadHeaderWithLibjpeg(&errors, &info, bytes.data(), bytes.size(), header);
    jpeg_destroy_decompress(&info);
    if (!ok) KXBase_WriteInfo(KX_LOG_INFO, "jpeg header: %s", errors.message);
    return ok;
}

// Splittable streams (those with restart markers on MCU rows, as the
// encoder writes them for large pages) are decoded in two strips at once; a
// strip that fails hands the decision to the whole-stream decode.
int Decode(const JpegSource& source, int scale, bool fast, KXImageObject* image) {
    ClearPadding(image);
    const uint8_t* bytes = source.bytes.data();
    JpegRestartLayout layout;
    if (ReadRestartLayout(bytes, source.bytes.size(), &layout) &&
        DecodeJpegInStrips(bytes, layout, scale, fast, image) == KX_OK)
        return KX_OK;
    ByteSpan whole{bytes, source.bytes.size()};
    JpegRowsJob job{.spans = &whole,
                    .spanCount = 1,
                    .restartShift = 0,
                    .scale = scale,
                    .fast = fast,
                    .type = image->type,
                    .width = image->width,
                    .height = image->height,
                    .firstKept = 0,
                    .keptRows = image->height,
                    .pixels = image->pixels.get(),
                    .step = image->widthStep};
    return DecodeJpegRows(job);
}

uint32_t ScaledSide(uint32_t side, int scale) {
    return static_cast<uint32_t>((uint64_t{side} * scale + 7) / 8);
}

}  // namespace

std::shared_ptr<JpegSource> ParseJpeg(std::vector<uint8_t> bytes) {
    if (!IsCompleteJpeg(bytes.data(), bytes.size())) return nullptr;
    Header header{};
    if (!ReadHeader(bytes, &header)) return nullptr;
    if (!SizeJustified(header.width, header.height, bytes.size(), kJpegPixelsPerByte))
        return nullptr;
    auto source = std::make_shared<JpegSource>();
    source->width = header.width;
    source->height = header.height;
    source->components = header.components;
    source->dpi = header.dpi;
    source->embeddable = header.embeddable;
    source->bytes = std::move(bytes);
    return source;
}

uint32_t NativeJpegType(const JpegSource& source) {
    return source.components == 1 ? KX_PIXEL_GRAY : KX_PIXEL_RGB;
}

int DecodeJpegPixels(const JpegSource& source, KXImageObject* image) {
    auto made = NewImage(image->width, image->height, image->type);
    if (!made) return KX_ERR_SYSTEM;
    int status = Decode(source, 8, false, made.get());
    if (status != KX_OK) return status;
    image->pixels = std::move(made->pixels);
    image->widthStep = made->widthStep;
    return KX_OK;
}

std::unique_ptr<KXImageObject> DecodeJpegScaled(const JpegSource& source, uint32_t minLongSide,
                                                uint32_t type) {
    uint32_t longSide = source.width > source.height ? source.width : source.height;
    int scale = 1;
    while (scale < 8 && ScaledSide(longSide, scale) < minLongSide)
        ++scale;
    auto image = NewImage(ScaledSide(source.width, scale), ScaledSide(source.height, scale), type);
    if (!image || Decode(source, scale, scale < 8, image.get()) != KX_OK) return nullptr;
    image->dpi = source.dpi * scale / 8;
    return image;
}

}  // namespace kximage

// Writing TIFF pages, and the CCITT G4 helpers for PDF pages.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/image/image_loader.h"
#include "platform/image/image_reduce.h"
#include "platform/image/kx_imgfmt.h"
#include "platform/image/page_image.h"
#include "platform/image/tiff_codec.h"
#include "platform/image/tiff_stream.h"

namespace kximage {
namespace {

// How a page goes into the file: the pixels (converted when the compression
// needs another type) and the tags that describe them.
struct PageLayout {
    const KXImageObject* pixels;
    uint16_t compression;
    uint16_t photometric;
    uint16_t bits;
    uint16_t samples;
    bool predictor;
};

uint16_t CompressionOf(uint32_t code) {
    switch (code) {
        case KX_TIFF_NONE:
            return COMPRESSION_NONE;
        case KX_TIFF_CCITT_G4:
            return COMPRESSION_CCITTFAX4;
        case KX_TIFF_JPEG:
            return COMPRESSION_JPEG;
        default:
            return COMPRESSION_LZW;
    }
}

// Strips of about 64 KiB, a multiple of 16 rows as JPEG strips need.
uint32_t RowsPerStrip(const KXImageObject& image, uint16_t compression) {
    if (compression == COMPRESSION_CCITTFAX4) return image.height;
    uint64_t rowBytes = std::max<uint64_t>(1, PackedRowBytes(image.width, image.type));
    uint64_t rows = std::max<uint64_t>(16, (65536 / rowBytes) / 16 * 16);
    return static_cast<uint32_t>(std::min<uint64_t>(rows, image.height));
}

bool SetTags(TIFF* tiff, const KXImageObject& image, const PageLayout& layout, uint32_t quality) {
    bool ok = TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE) &&
              TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, image.width) &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, image.height) &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bits) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samples) &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, layout.compression) &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric) &&
              TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, RowsPerStrip(image, layout.compression));
    if (ok && layout.compression == COMPRESSION_JPEG) {
        ok = TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, static_cast<int>(std::min(quality, 100u)));
        if (ok && layout.photometric == PHOTOMETRIC_YCBCR)
            ok = TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
    if (ok && layout.predictor) ok = TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    // A page of unknown resolution gets the one PDF and OFD pages get, so
    // that one image has one physical size in every document format.
    auto dpi = static_cast<float>(image.dpi != 0 ? image.dpi : kDefaultPageDpi);
    return ok && TIFFSetField(tiff, TIFFTAG_XRESOLUTION, dpi) &&
           TIFFSetField(tiff, TIFFTAG_YRESOLUTION, dpi) &&
           TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
}

int WriteRows(TIFF* tiff, const KXImageObject& pixels) {
    // libtiff may change the row it is given (prediction, colour conversion),
    // so each row is handed over in a copy.
    size_t bytes = PackedRowBytes(pixels.width, pixels.type);
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[bytes]);
    if (!line) return KX_ERR_SYSTEM;
    for (uint32_t y = 0; y < pixels.height; ++y) {
        std::memcpy(line.get(), Row(&pixels, y), bytes);
        if (TIFFWriteScanline(tiff, line.get(), y, 0) < 0) return KX_ERR_SYSTEM;
    }
    return KX_OK;
}

std::unique_ptr<KXImageObject> CopyOf(const KXImageObject& image) {
    auto copy = NewImage(image.width, image.height, image.type);
    if (copy) {
        std::memcpy(copy->pixels.get(), image.pixels.get(), size_t{image.widthStep} * image.height);
        copy->dpi = image.dpi;
    }
    return copy;
}

}  // namespace

int WriteTiffPage(TIFF* tiff, const KXImageObject& image, uint32_t compression,
                  uint32_t jpegQuality) {
    if (!image.pixels) return KX_ERR_STATE;
    uint16_t method = CompressionOf(compression);
    // G4 needs black and white, JPEG needs at least 8 bits.
    uint32_t type = image.type;
    if (method == COMPRESSION_CCITTFAX4)
        type = KX_PIXEL_BW;
    else if (method == COMPRESSION_JPEG && type == KX_PIXEL_BW)
        type = KX_PIXEL_GRAY;
    std::unique_ptr<KXImageObject> converted;
    if (type != image.type) {
        converted = ConvertImage(CopyOf(image), type);
        if (!converted) return KX_ERR_SYSTEM;
    }
    const KXImageObject& pixels = converted ? *converted : image;
    PageLayout layout{&pixels, method, PHOTOMETRIC_MINISWHITE, 1, 1, false};
    if (type == KX_PIXEL_GRAY) {
        layout =
            PageLayout{&pixels, method, PHOTOMETRIC_MINISBLACK, 8, 1, method == COMPRESSION_LZW};
    } else if (type == KX_PIXEL_RGB) {
        uint16_t photometric = method == COMPRESSION_JPEG ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_RGB;
        layout = PageLayout{&pixels, method, photometric, 8, 3, method == COMPRESSION_LZW};
    }
    if (!SetTags(tiff, pixels, layout, jpegQuality)) return KX_ERR_SYSTEM;
    int status = WriteRows(tiff, pixels);
    if (status != KX_OK) return status;
    return TIFFWriteDirectory(tiff) ? KX_OK : KX_ERR_SYSTEM;
}

int EncodeG4(const KXImageObject& image, std::vector<uint8_t>* out) {
    std::vector<uint8_t> file;
    TiffMemory memory;
    memory.output = &file;
    {
        TiffPtr writer = OpenTiffMemoryWriter(&memory);
        if (!writer) return KX_ERR_SYSTEM;
        int status = WriteTiffPage(writer.get(), image, KX_TIFF_CCITT_G4, 0);
        if (status != KX_OK) return status;
    }
    TiffMemory input;
    input.input = file.data();
    input.inputSize = file.size();
    TiffPtr reader = OpenTiffReader(&input);
    if (!reader || TIFFNumberOfStrips(reader.get()) != 1) return KX_ERR_SYSTEM;
    uint64_t* counts = nullptr;
    if (!TIFFGetField(reader.get(), TIFFTAG_STRIPBYTECOUNTS, &counts) || counts == nullptr)
        return KX_ERR_SYSTEM;
    out->resize(static_cast<size_t>(counts[0]));
    tmsize_t got =
        TIFFReadRawStrip(reader.get(), 0, out->data(), static_cast<tmsize_t>(out->size()));
    if (got < 0 || static_cast<size_t>(got) != out->size()) return KX_ERR_SYSTEM;
    return KX_OK;
}

std::unique_ptr<KXImageObject> DecodeG4(const uint8_t* data, size_t size, uint32_t width,
                                        uint32_t height, bool blackRunsAreBlack) {
    std::vector<uint8_t> file;
    TiffMemory memory;
    memory.output = &file;
    {
        TiffPtr writer = OpenTiffMemoryWriter(&memory);
        if (!writer) return nullptr;
        uint16_t photometric = blackRunsAreBlack ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK;
        bool ok = TIFFSetField(writer.get(), TIFFTAG_IMAGEWIDTH, width) &&
                  TIFFSetField(writer.get(), TIFFTAG_IMAGELENGTH, height) &&
                  TIFFSetField(writer.get(), TIFFTAG_BITSPERSAMPLE, 1) &&
                  TIFFSetField(writer.get(), TIFFTAG_SAMPLESPERPIXEL, 1) &&
                  TIFFSetField(writer.get(), TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4) &&
                  TIFFSetField(writer.get(), TIFFTAG_PHOTOMETRIC, photometric) &&
                  TIFFSetField(writer.get(), TIFFTAG_ROWSPERSTRIP, height) &&
                  TIFFWriteRawStrip(writer.get(), 0, const_cast<uint8_t*>(data),
                                    static_cast<tmsize_t>(size)) >= 0 &&
                  TIFFWriteDirectory(writer.get());
        if (!ok) return nullptr;
    }
    LoadResult result;
    if (LoadTiff(file, LoadRequest{}, &result) != KX_OK) return nullptr;
    return std::move(result.image);
}

}  // namespace kximage

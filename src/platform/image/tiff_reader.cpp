// Loading the first directory of a TIFF file.
#include <cstring>
#include <new>

#include "platform/base/kx_log.h"
#include "platform/image/image_loader.h"
#include "platform/image/load_limits.h"
#include "platform/image/pixel_rows.h"
#include "platform/image/tiff_codec.h"
#include "platform/image/tiff_stream.h"

namespace kximage {
namespace {

struct TiffShape {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bits = 1;
    uint16_t samples = 1;
    uint16_t photometric = 0;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    bool tiled = false;
    uint32_t dpi = 0;
    uint16_t* colourMap[3] = {nullptr, nullptr, nullptr};
};

uint32_t ResolutionOf(TIFF* tiff) {
    float x = 0;
    uint16_t unit = RESUNIT_INCH;
    if (!TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x) || !(x > 0 && x < 100000)) return 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit == RESUNIT_CENTIMETER) return static_cast<uint32_t>(x * 2.54f + 0.5f);
    return unit == RESUNIT_INCH ? static_cast<uint32_t>(x + 0.5f) : 0;
}

bool ReadShape(TIFF* tiff, TiffShape* shape) {
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &shape->width) ||
        !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &shape->height))
        return false;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &shape->bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &shape->samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &shape->compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &shape->planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &shape->sampleFormat);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &shape->orientation);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &shape->photometric))
        shape->photometric = shape->samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE;
    if (shape->photometric == PHOTOMETRIC_PALETTE)
        TIFFGetField(tiff, TIFFTAG_COLORMAP, &shape->colourMap[0], &shape->colourMap[1],
                     &shape->colourMap[2]);
    shape->tiled = TIFFIsTiled(tiff) != 0;
    shape->dpi = ResolutionOf(tiff);
    return true;
}

bool IsGreyPhotometric(uint16_t photometric) {
    return photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
}

bool PaletteIsGrey(const TiffShape& shape) {
    if (shape.colourMap[0] == nullptr || shape.bits > 8) return false;
    for (uint32_t i = 0; i < (1u << shape.bits); ++i)
        if (shape.colourMap[0][i] != shape.colourMap[1][i] ||
            shape.colourMap[0][i] != shape.colourMap[2][i])
            return false;
    return true;
}

uint32_t StoredType(const TiffShape& shape) {
    if (IsGreyPhotometric(shape.photometric))
        return shape.bits == 1 && shape.samples == 1 ? KX_PIXEL_BW : KX_PIXEL_GRAY;
    if (shape.photometric == PHOTOMETRIC_PALETTE && PaletteIsGrey(shape)) return KX_PIXEL_GRAY;
    return KX_PIXEL_RGB;
}

uint64_t PixelsPerByte(const TiffShape& shape) {
    switch (shape.compression) {
        case COMPRESSION_NONE:
            return 8 / std::min<uint64_t>(8, uint64_t{shape.bits} * shape.samples) + 1;
        case COMPRESSION_CCITTRLE:
        case COMPRESSION_CCITTRLEW:
        case COMPRESSION_CCITTFAX3:
        case COMPRESSION_CCITTFAX4:
            return kFaxPixelsPerByte;
        default:
            return kDeflatePixelsPerByte;
    }
}

// Strips whose rows libtiff hands out in a layout we convert directly.
bool ReadsByRows(const TiffShape& shape) {
    if (shape.tiled || shape.planar != PLANARCONFIG_CONTIG ||
        shape.sampleFormat != SAMPLEFORMAT_UINT || shape.orientation != ORIENTATION_TOPLEFT)
        return false;
    if (IsGreyPhotometric(shape.photometric))
        return shape.samples == 1 && (shape.bits == 1 || shape.bits == 8);
    if (shape.photometric == PHOTOMETRIC_RGB) return shape.samples == 3 && shape.bits == 8;
    if (shape.photometric == PHOTOMETRIC_YCBCR)
        return shape.compression == COMPRESSION_JPEG && shape.samples == 3 && shape.bits == 8;
    if (shape.photometric == PHOTOMETRIC_PALETTE)
        return shape.samples == 1 && shape.bits <= 8 && shape.colourMap[0] != nullptr;
    return false;
}

uint32_t PaletteRgb(const TiffShape& shape, uint32_t index) {
    auto level = [&](int channel) { return uint32_t{shape.colourMap[channel][index]} >> 8; };
    return (level(0) << 16) | (level(1) << 8) | level(2);
}

void ConvertTiffRow(const TiffShape& shape, const uint8_t* in, uint32_t type, uint8_t* out) {
    uint32_t width = shape.width;
    if (shape.photometric == PHOTOMETRIC_PALETTE) {
        uint32_t bits = shape.bits;
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t shift = 8 - bits - (x * bits) % 8;
            uint32_t index = (in[x * bits / 8] >> shift) & ((1u << bits) - 1);
            uint32_t rgb = PaletteRgb(shape, index);
            if (type == KX_PIXEL_GRAY) {
                out[x] = static_cast<uint8_t>(rgb);
            } else {
                out[x * 3] = static_cast<uint8_t>(rgb >> 16);
                out[x * 3 + 1] = static_cast<uint8_t>(rgb >> 8);
                out[x * 3 + 2] = static_cast<uint8_t>(rgb);
            }
        }
        return;
    }
    size_t bytes = PackedRowBytes(width, type);
    if (shape.photometric == PHOTOMETRIC_MINISBLACK && type == KX_PIXEL_BW)
        InvertBytes(in, out, static_cast<uint32_t>(bytes));  // ours: 1 = black
    else if (shape.photometric == PHOTOMETRIC_MINISWHITE && type == KX_PIXEL_GRAY)
        InvertBytes(in, out, static_cast<uint32_t>(bytes));
    else
        std::memcpy(out, in, bytes);
}

int ReadRows(TIFF* tiff, const TiffShape& shape, KXImageObject* image) {
    if (shape.photometric == PHOTOMETRIC_YCBCR)
        TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    tmsize_t lineSize = TIFFScanlineSize(tiff);
    uint64_t needed = (uint64_t{shape.width} * shape.bits * shape.samples + 7) / 8;
    if (lineSize <= 0 || static_cast<uint64_t>(lineSize) < needed) return KX_ERR_DATA;
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[static_cast<size_t>(lineSize)]);
    if (!line) return KX_ERR_SYSTEM;
    for (uint32_t y = 0; y < shape.height; ++y) {
        if (TIFFReadScanline(tiff, line.get(), y, 0) < 0) return KX_ERR_DATA;
        ConvertTiffRow(shape, line.get(), image->type, Row(image, y));
        if (image->type == KX_PIXEL_BW && shape.width % 8 != 0)
            Row(image, y)[shape.width / 8] &= static_cast<uint8_t>(0xFF00 >> (shape.width % 8));
    }
    return KX_OK;
}

int ReadThroughRgba(TIFF* tiff, const TiffShape& shape, KXImageObject* image) {
    char message[1024];
    if (!TIFFRGBAImageOK(tiff, message)) {
        KXBase_WriteInfo(KX_LOG_INFO, "tiff: %s", message);
        return KX_ERR_DATA;
    }
    size_t count = size_t{shape.width} * shape.height;
    std::unique_ptr<uint32_t[]> raster(new (std::nothrow) uint32_t[count]);
    if (!raster) return KX_ERR_SYSTEM;
    if (!TIFFReadRGBAImageOriented(tiff, shape.width, shape.height, raster.get(),
                                   ORIENTATION_TOPLEFT, 0))
        return KX_ERR_DATA;
    std::unique_ptr<uint8_t[]> rgb(new (std::nothrow) uint8_t[size_t{shape.width} * 3]);
    if (!rgb) return KX_ERR_SYSTEM;
    for (uint32_t y = 0; y < shape.height; ++y) {
        const uint32_t* in = raster.get() + size_t{y} * shape.width;
        for (uint32_t x = 0; x < shape.width; ++x) {
            uint32_t alpha = TIFFGetA(in[x]);  // premultiplied: add white where transparent
            uint32_t white = 255 - alpha;
            rgb[x * 3] = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetR(in[x]) + white));
            rgb[x * 3 + 1] = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetG(in[x]) + white));
            rgb[x * 3 + 2] = static_cast<uint8_t>(std::min<uint32_t>(255, TIFFGetB(in[x]) + white));
        }
        ConvertPixels(rgb.get(), KX_PIXEL_RGB, 0, Row(image, y), image->type, 0, shape.width);
    }
    return KX_OK;
}

}  // namespace

int LoadTiff(const std::vector<uint8_t>& bytes, const LoadRequest& request, LoadResult* result) {
    TiffMemory memory;
    memory.input = bytes.data();
    memory.inputSize = bytes.size();
    TiffPtr tiff = OpenTiffReader(&memory);
    TiffShape shape;
    if (!tiff || !ReadShape(tiff.get(), &shape)) return KX_ERR_DATA;
    if (!SizeJustified(shape.width, shape.height, bytes.size(), PixelsPerByte(shape)))
        return KX_ERR_DATA;
    uint32_t type = StoredType(shape);
    result->info = ImageFileInfo{shape.width, shape.height, type, KX_FORMAT_TIFF, shape.dpi};
    if (request.infoOnly) return KX_OK;
    auto image = NewImage(shape.width, shape.height, type);
    if (!image) return KX_ERR_SYSTEM;
    ClearPadding(image.get());
    image->dpi = shape.dpi;
    int status = ReadsByRows(shape) ? ReadRows(tiff.get(), shape, image.get())
                                    : ReadThroughRgba(tiff.get(), shape, image.get());
    if (status != KX_OK) return status;
    result->image = std::move(image);
    return KX_OK;
}

}  // namespace kximage

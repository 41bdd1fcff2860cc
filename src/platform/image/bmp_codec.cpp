#include "platform/image/bmp_codec.h"

#include <cmath>
#include <cstring>

#include "platform/image/image_loader.h"
#include "platform/image/load_limits.h"
#include "platform/image/pixel_rows.h"

namespace kximage {
namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0, kBiBitfields = 3, kBiAlphaBitfields = 6;

uint32_t Le16(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8);
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}
void Put16(std::vector<uint8_t>* out, uint32_t value) {
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>* out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// One colour channel of a bit-field pixel.
struct Channel {
    uint32_t mask = 0;
    uint32_t shift = 0;
    uint32_t max = 0;

    static Channel Of(uint32_t mask) {
        Channel channel;
        channel.mask = mask;
        if (mask == 0) return channel;
        while (((mask >> channel.shift) & 1) == 0)
            ++channel.shift;
        channel.max = mask >> channel.shift;
        return channel;
    }
    uint8_t Value(uint32_t pixel) const {
        if (max == 0) return 0;
        return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / max);
    }
};

struct BmpLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    bool topDown = false;
    uint32_t bits = 0;
    uint32_t dpi = 0;
    uint32_t dataOffset = 0;
    uint32_t stride = 0;
    Channel red, green, blue;
    std::vector<uint32_t> palette;  // 0xRRGGBB
};

bool IsGrey(uint32_t rgb) {
    return (rgb >> 16) == ((rgb >> 8) & 0xFF) && (rgb >> 16) == (rgb & 0xFF);
}

uint32_t StoredType(const BmpLayout& layout) {
    if (layout.bits > 8) return KX_PIXEL_RGB;
    bool grey = true;
    for (uint32_t rgb : layout.palette)
        grey = grey && IsGrey(rgb);
    if (!grey) return KX_PIXEL_RGB;
    bool blackAndWhite = layout.bits == 1;
    for (uint32_t rgb : layout.palette)
        blackAndWhite = blackAndWhite && (rgb == 0 || rgb == 0xFFFFFF);
    return blackAndWhite ? KX_PIXEL_BW : KX_PIXEL_GRAY;
}

bool ReadMasks(const std::vector<uint8_t>& bytes, uint32_t at, uint32_t compression,
               BmpLayout* layout) {
    if (compression == kBiRgb) {
        if (layout->bits == 16) {
            layout->red = Channel::Of(0x7C00);
            layout->green = Channel::Of(0x03E0);
            layout->blue = Channel::Of(0x001F);
        } else {
            layout->red = Channel::Of(0xFF0000);
            layout->green = Channel::Of(0x00FF00);
            layout->blue = Channel::Of(0x0000FF);
        }
        return true;
    }
    if (at + 12 > bytes.size()) return false;
    layout->red = Channel::Of(Le32(&bytes[at]));
    layout->green = Channel::Of(Le32(&bytes[at + 4]));
    layout->blue = Channel::Of(Le32(&bytes[at + 8]));
    return true;
}

bool ReadPalette(const std::vector<uint8_t>& bytes, uint32_t at, uint32_t entrySize, uint32_t count,
                 BmpLayout* layout) {
    if (count == 0 || count > (1u << layout->bits)) count = 1u << layout->bits;
    if (uint64_t{at} + uint64_t{count} * entrySize > bytes.size()) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = &bytes[at + i * entrySize];
        layout->palette.push_back((uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0]);
    }
    return true;
}

int ParseLayout(const std::vector<uint8_t>& bytes, BmpLayout* layout) {
    if (bytes.size() < kFileHeaderSize + 12 || bytes[0] != 'B' || bytes[1] != 'M')
        return KX_ERR_DATA;
    layout->dataOffset = Le32(&bytes[10]);
    const uint8_t* info = &bytes[kFileHeaderSize];
    uint32_t infoSize = Le32(info);
    if (infoSize < 12 || kFileHeaderSize + uint64_t{infoSize} > bytes.size()) return KX_ERR_DATA;
    uint32_t compression = kBiRgb, colours = 0, entrySize = 4;
    int64_t height = 0;
    if (infoSize == 12) {  // OS/2 core header
        layout->width = Le16(info + 4);
        height = Le16(info + 6);
        layout->bits = Le16(info + 10);
        entrySize = 3;
    } else if (infoSize >= kInfoHeaderSize) {
        layout->width = Le32(info + 4);
        height = static_cast<int32_t>(Le32(info + 8));
        layout->bits = Le16(info + 14);
        compression = Le32(info + 16);
        uint32_t pixelsPerMetre = Le32(info + 24);
        if (pixelsPerMetre < 1000000)
            layout->dpi = static_cast<uint32_t>(std::lround(pixelsPerMetre * 0.0254));
        colours = Le32(info + 32);
    } else {
        return KX_ERR_DATA;
    }
    if (static_cast<int32_t>(layout->width) <= 0 || height == 0) return KX_ERR_DATA;
    layout->topDown = height < 0;
    layout->height = static_cast<uint32_t>(height < 0 ? -height : height);
    bool bitfields = compression == kBiBitfields || compression == kBiAlphaBitfields;
    if (compression != kBiRgb && !bitfields)
        return KX_ERR_DATA;  // run-length or embedded JPEG/PNG data
    uint32_t afterInfo = kFileHeaderSize + infoSize;
    switch (layout->bits) {
        case 1:
        case 4:
        case 8:
            if (bitfields || !ReadPalette(bytes, afterInfo, entrySize, colours, layout))
                return KX_ERR_DATA;
            break;
        case 16:
        case 32:
            if (!ReadMasks(bytes, infoSize == kInfoHeaderSize ? afterInfo : kFileHeaderSize + 40,
                           compression, layout))
                return KX_ERR_DATA;
            break;
        case 24:
            if (bitfields) return KX_ERR_DATA;
            break;
        default:
            return KX_ERR_DATA;
    }
    if (layout->width > kMaxLoadSide || layout->height > kMaxLoadSide) return KX_ERR_DATA;
    layout->stride = static_cast<uint32_t>((uint64_t{layout->width} * layout->bits + 31) / 32 * 4);
    // Every row must be in the file (the last one may lack its padding).
    uint64_t rowBytes = (uint64_t{layout->width} * layout->bits + 7) / 8;
    uint64_t needed = uint64_t{layout->stride} * (layout->height - 1) + rowBytes;
    if (layout->dataOffset > bytes.size() || needed > bytes.size() - layout->dataOffset)
        return KX_ERR_DATA;
    return KX_OK;
}

uint32_t PaletteIndex(const uint8_t* row, uint32_t bits, uint32_t x) {
    if (bits == 8) return row[x];
    if (bits == 4) return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// One file row into one image row of the stored type.
void DecodeRow(const BmpLayout& layout, const uint8_t* row, uint32_t type, uint8_t* out) {
    for (uint32_t x = 0; x < layout.width; ++x) {
        uint32_t rgb;
        if (layout.bits <= 8) {
            uint32_t index = PaletteIndex(row, layout.bits, x);
            rgb = index < layout.palette.size() ? layout.palette[index] : 0;
        } else if (layout.bits == 24) {
            const uint8_t* p = row + x * 3;
            rgb = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
        } else {
            uint32_t pixel = layout.bits == 16 ? Le16(row + x * 2) : Le32(row + x * 4);
            rgb = (uint32_t{layout.red.Value(pixel)} << 16) |
                  (uint32_t{layout.green.Value(pixel)} << 8) | layout.blue.Value(pixel);
        }
        if (type == KX_PIXEL_BW) {
            SetBit(out, x, rgb == 0);
        } else if (type == KX_PIXEL_GRAY) {
            out[x] = static_cast<uint8_t>(rgb);
        } else {
            out[x * 3] = static_cast<uint8_t>(rgb >> 16);
            out[x * 3 + 1] = static_cast<uint8_t>(rgb >> 8);
            out[x * 3 + 2] = static_cast<uint8_t>(rgb);
        }
    }
}

}  // namespace

int LoadBmp(const std::vector<uint8_t>& bytes, const LoadRequest& request, LoadResult* result) {
    BmpLayout layout;
    int status = ParseLayout(bytes, &layout);
    if (status != KX_OK) return status;
    uint32_t type = StoredType(layout);
    result->info = ImageFileInfo{layout.width, layout.height, type, KX_FORMAT_BMP, layout.dpi};
    if (request.infoOnly) return KX_OK;
    auto image = NewImage(layout.width, layout.height, type);
    if (!image) return KX_ERR_SYSTEM;
    ClearPadding(image.get());
    image->dpi = layout.dpi;
    for (uint32_t y = 0; y < layout.height; ++y) {
        uint32_t fileRow = layout.topDown ? y : layout.height - 1 - y;
        const uint8_t* row = bytes.data() + layout.dataOffset + size_t{fileRow} * layout.stride;
        DecodeRow(layout, row, type, Row(image.get(), y));
    }
    result->image = std::move(image);
    return KX_OK;
}

int EncodeBmp(const KXImageObject& image, std::vector<uint8_t>* out) {
    uint32_t bits = image.type == KX_PIXEL_RGB ? 24 : image.type == KX_PIXEL_GRAY ? 8 : 1;
    uint32_t colours = bits == 24 ? 0 : (1u << bits);
    uint64_t stride = (uint64_t{image.width} * bits + 31) / 32 * 4;
    uint64_t dataOffset = kFileHeaderSize + kInfoHeaderSize + uint64_t{colours} * 4;
    uint64_t fileSize = dataOffset + stride * image.height;
    if (fileSize > 0xFFFFFFFFu || image.width > 0x7FFFFFFF || image.height > 0x7FFFFFFF)
        return KX_ERR_ARGUMENT;
    out->clear();
    out->reserve(static_cast<size_t>(fileSize));
    out->push_back('B');
    out->push_back('M');
    Put32(out, static_cast<uint32_t>(fileSize));
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(dataOffset));
    auto pixelsPerMetre = static_cast<uint32_t>(std::lround(image.dpi / 0.0254));
    Put32(out, kInfoHeaderSize);
    Put32(out, image.width);
    Put32(out, image.height);  // positive: bottom-up rows
    Put16(out, 1);
    Put16(out, bits);
    Put32(out, kBiRgb);
    Put32(out, static_cast<uint32_t>(stride * image.height));
    Put32(out, pixelsPerMetre);
    Put32(out, pixelsPerMetre);
    Put32(out, colours);
    Put32(out, 0);
    for (uint32_t i = 0; i < colours; ++i) {
        // 1-bit: index 0 white, 1 black, so the rows are stored as they are.
        uint32_t level = bits == 1 ? (i == 0 ? 255 : 0) : i;
        Put32(out, level * 0x010101u);
    }
    size_t used = static_cast<size_t>(PackedRowBytes(image.width, image.type));
    for (uint32_t y = image.height; y-- > 0;) {
        const uint8_t* row = Row(&image, y);
        size_t start = out->size();
        out->resize(start + stride, 0);
        uint8_t* to = out->data() + start;
        if (bits == 24) {
            for (uint32_t x = 0; x < image.width; ++x) {
                to[x * 3] = row[x * 3 + 2];
                to[x * 3 + 1] = row[x * 3 + 1];
                to[x * 3 + 2] = row[x * 3];
            }
        } else {
            std::memcpy(to, row, used);
        }
    }
    return KX_OK;
}

}  // namespace kximage

#include "platform/image/proc/image_access.h"

#include <cstring>

#include "platform/image/image_internal.h"

namespace kximgproc {
namespace {

bool IsSupportedType(uint32_t type) {
    return type == KX_PIXEL_BW || type == KX_PIXEL_GRAY || type == KX_PIXEL_RGB;
}

// Packed bits of 8 pixels starting at x of a 1-bit row, most significant first.
uint8_t BitsAt(const uint8_t* row, int32_t x, int32_t rowEnd) {
    int32_t byte = x >> 3;
    int32_t shift = x & 7;
    uint32_t value = static_cast<uint32_t>(row[byte]) << 8;
    if (shift != 0 && ((byte + 1) << 3) < rowEnd) {
        value |= row[byte + 1];
    }
    return static_cast<uint8_t>((value << shift) >> 8);
}

void CopyBwRow(const uint8_t* src, const ImageView& view, l_uint32* line, int32_t width) {
    int32_t bytes = (width + 7) / 8;
    for (int32_t b = 0; b < bytes; ++b) {
        uint8_t bits = BitsAt(src, view.roi.left + 8 * b, static_cast<int32_t>(view.width));
        int32_t valid = width - 8 * b;
        if (valid < 8) {
            bits &= static_cast<uint8_t>(0xFF00 >> valid);
        }
        SET_DATA_BYTE(line, b, bits);
    }
}

void WriteRow(const l_uint32* line, int32_t depth, uint32_t type, int32_t width, uint8_t* dst) {
    if (type == KX_PIXEL_BW) {
        std::memset(dst, 0, (width + 7) / 8);
    }
    for (int32_t x = 0; x < width; ++x) {
        uint8_t r, g, b;
        if (depth == 1) {
            r = g = b = GET_DATA_BIT(line, x) ? 0 : 255;
        } else if (depth == 8) {
            r = g = b = static_cast<uint8_t>(GET_DATA_BYTE(line, x));
        } else {
            l_int32 rv, gv, bv;
            extractRGBValues(line[x], &rv, &gv, &bv);
            r = static_cast<uint8_t>(rv);
            g = static_cast<uint8_t>(gv);
            b = static_cast<uint8_t>(bv);
        }
        if (type == KX_PIXEL_RGB) {
            dst[3 * x] = r;
            dst[3 * x + 1] = g;
            dst[3 * x + 2] = b;
        } else if (type == KX_PIXEL_GRAY) {
            dst[x] = Luma(r, g, b);
        } else if (Luma(r, g, b) < 128) {
            dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
        }
    }
}

}  // namespace

namespace {

// Fills view from the image's pixel rows at data.
int ViewOfData(KXImage image, uint8_t* data, ImageView* view) {
    KXImageInfo info{};
    KXRect roi{};
    if (KXBase_GetImageInfo(image, &info) != 0 || KXBase_GetImageROI(image, &roi) != 0) {
        return KX_ERR_ARGUMENT;
    }
    if (data == nullptr || info.width == 0 || info.height == 0 || !IsSupportedType(info.type)) {
        return KX_ERR_ARGUMENT;
    }
    if (roi.left < 0 || roi.top < 0 || roi.left >= roi.right || roi.top >= roi.bottom ||
        static_cast<uint32_t>(roi.right) > info.width ||
        static_cast<uint32_t>(roi.bottom) > info.height) {
        return KX_ERR_ARGUMENT;
    }
    *view = ImageView{data, info.width, info.height, info.type, info.widthStep, roi};
    return KX_OK;
}

}  // namespace

int GetImageView(KXImage image, ImageView* view) {
    uint8_t* data = nullptr;
    if (image == nullptr || view == nullptr || KXBase_GetImageData(image, &data) != 0) {
        return KX_ERR_ARGUMENT;
    }
    return ViewOfData(image, data, view);
}

int GetReadOnlyImageView(KXImage image, ImageView* view) {
    const uint8_t* data = nullptr;
    if (image == nullptr || view == nullptr || KXImage_GetConstData(image, &data) != 0) {
        return KX_ERR_ARGUMENT;
    }
    return ViewOfData(image, const_cast<uint8_t*>(data), view);
}

namespace {

// A pix of the view's region at depth, each line filled by fill(source row,
// pix line, words per line); null when the pix cannot be made.
template <typename FillLine>
PixPtr RegionPix(const ImageView& view, int32_t depth, FillLine fill) {
    int32_t height = view.RoiHeight();
    PixPtr pix(pixCreateNoInit(view.RoiWidth(), height, depth));
    if (!pix) {
        return nullptr;
    }
    l_uint32* data = pixGetData(pix.get());
    int32_t wpl = pixGetWpl(pix.get());
    for (int32_t y = 0; y < height; ++y) {
        fill(view.Row(view.roi.top + y), data + static_cast<size_t>(y) * wpl, wpl);
    }
    return pix;
}

}  // namespace

PixPtr RoiToPix(const ImageView& view) {
    int32_t width = view.RoiWidth();
    int32_t depth = view.type == KX_PIXEL_BW ? 1 : view.type == KX_PIXEL_GRAY ? 8 : 32;
    return RegionPix(view, depth, [&](const uint8_t* src, l_uint32* line, int32_t wpl) {
        if (depth == 1) {
            std::memset(line, 0, wpl * sizeof(l_uint32));
            CopyBwRow(src, view, line, width);
        } else if (depth == 8) {
            for (int32_t x = 0; x < width; ++x) {
                SET_DATA_BYTE(line, x, src[view.roi.left + x]);
            }
        } else {
            const uint8_t* p = src + 3 * view.roi.left;
            for (int32_t x = 0; x < width; ++x, p += 3) {
                composeRGBPixel(p[0], p[1], p[2], line + x);
            }
        }
    });
}

PixPtr RoiToGrayPix(const ImageView& view) {
    int32_t width = view.RoiWidth();
    return RegionPix(view, 8, [&](const uint8_t* src, l_uint32* line, int32_t) {
        for (int32_t x = 0; x < width; ++x) {
            SET_DATA_BYTE(line, x, GrayAt(src, view.type, view.roi.left + x));
        }
    });
}

ImageHolder PixToImage(PIX* pix, uint32_t type, uint32_t dpi) {
    int32_t depth = pix != nullptr ? pixGetDepth(pix) : 0;
    if ((depth != 1 && depth != 8 && depth != 32) || !IsSupportedType(type)) {
        return nullptr;
    }
    int32_t width = pixGetWidth(pix);
    int32_t height = pixGetHeight(pix);
    KXImage raw = nullptr;
    if (KXBase_CreateImage(width, height, type, KX_ORIGIN_TOP_LEFT, &raw) != 0 || raw == nullptr) {
        return nullptr;
    }
    ImageHolder image(raw);
    ImageView view;
    if (GetImageView(image.get(), &view) != 0) {
        return nullptr;
    }
    const l_uint32* data = pixGetData(pix);
    int32_t wpl = pixGetWpl(pix);
    for (int32_t y = 0; y < height; ++y) {
        WriteRow(data + static_cast<size_t>(y) * wpl, depth, type, width, view.Row(y));
    }
    if (dpi != 0) {
        KXBase_SetImageResolution(image.get(), dpi);
    }
    return image;
}

uint32_t ImageResolution(KXImage image) {
    uint32_t dpi = 0;
    if (KXBase_GetImageResolution(image, &dpi) != 0) {
        return 0;
    }
    return dpi;
}

}  // namespace kximgproc

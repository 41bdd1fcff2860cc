#include "platform/image/pixel_rows.h"

#include <cstring>

#include "platform/image/kx_image.h"

namespace kximage {
namespace {

void CopyBits(const uint8_t* src, uint32_t srcX, uint8_t* dst, uint32_t dstX, uint32_t count) {
    if ((srcX & 7) == 0 && (dstX & 7) == 0) {
        uint32_t whole = count >> 3;
        std::memcpy(dst + (dstX >> 3), src + (srcX >> 3), whole);
        srcX += whole * 8;
        dstX += whole * 8;
        count -= whole * 8;
    }
    for (uint32_t i = 0; i < count; ++i)
        SetBit(dst, dstX + i, BitAt(src, srcX + i));
}

void BitsToGrey(const uint8_t* src, uint32_t srcX, uint8_t* dst, uint32_t count, uint32_t step) {
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t value = BitAt(src, srcX + i) ? 0 : 255;
        std::memset(dst + static_cast<size_t>(i) * step, value, step);
    }
}

void GreyToBits(const uint8_t* src, uint32_t step, uint8_t* dst, uint32_t dstX, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = src + static_cast<size_t>(i) * step;
        uint8_t grey = step == 3 ? Luminance(p[0], p[1], p[2]) : p[0];
        SetBit(dst, dstX + i, grey < kBlackThreshold);
    }
}

void RgbToGrey(const uint8_t* src, uint8_t* dst, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, src += 3)
        dst[i] = Luminance(src[0], src[1], src[2]);
}

void GreyToRgb(const uint8_t* src, uint8_t* dst, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, dst += 3)
        dst[0] = dst[1] = dst[2] = src[i];
}

}  // namespace

void ConvertPixels(const uint8_t* src, uint32_t srcType, uint32_t srcX, uint8_t* dst,
                   uint32_t dstType, uint32_t dstX, uint32_t count) {
    if (srcType == KX_PIXEL_BW) {
        if (dstType == KX_PIXEL_BW)
            CopyBits(src, srcX, dst, dstX, count);
        else
            BitsToGrey(src, srcX, dst + size_t{dstX} * BytesPerPixel(dstType), count,
                       BytesPerPixel(dstType));
        return;
    }
    const uint8_t* from = src + size_t{srcX} * BytesPerPixel(srcType);
    if (dstType == KX_PIXEL_BW) {
        GreyToBits(from, BytesPerPixel(srcType), dst, dstX, count);
        return;
    }
    uint8_t* to = dst + size_t{dstX} * BytesPerPixel(dstType);
    if (srcType == dstType)
        std::memcpy(to, from, size_t{count} * BytesPerPixel(srcType));
    else if (srcType == KX_PIXEL_RGB)
        RgbToGrey(from, to, count);
    else
        GreyToRgb(from, to, count);
}

void InvertBytes(const uint8_t* src, uint8_t* dst, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        dst[i] = static_cast<uint8_t>(~src[i]);
}

}  // namespace kximage

#include "platform/image/proc/gray_reduce.h"

#include <algorithm>
#include <vector>

namespace kx_imgproc {
namespace {

// Adds the grey values of one source row, sampled every step pixels, to the
// block sums of the output row.
void AccumulateRow(const ImageView& view, const uint8_t* row, int32_t factor, int32_t step,
                   int32_t outWidth, uint32_t* sums) {
    int32_t x = view.roi.left;
    if (view.type == KX_PIXEL_RGB) {
        for (int32_t ox = 0; ox < outWidth; ++ox, x += factor) {
            uint32_t sum = 0;
            for (const uint8_t* p = row + 3 * x; p < row + 3 * (x + factor); p += 3 * step) {
                sum += p[0] * 77u + p[1] * 150u + p[2] * 29u;
            }
            sums[ox] += (sum + 128) >> 8;
        }
    } else if (view.type == KX_PIXEL_GRAY) {
        for (int32_t ox = 0; ox < outWidth; ++ox, x += factor) {
            uint32_t sum = 0;
            for (const uint8_t* p = row + x; p < row + x + factor; p += step) {
                sum += *p;
            }
            sums[ox] += sum;
        }
    } else {
        for (int32_t ox = 0; ox < outWidth; ++ox, x += factor) {
            for (int32_t i = 0; i < factor; i += step) {
                sums[ox] += GrayAt(row, view.type, x + i);
            }
        }
    }
}

}  // namespace

PixPtr ReduceToGray(const ImageView& view, int32_t factor, int32_t step) {
    factor = std::max(factor, 1);
    step = std::clamp(step, 1, factor);
    int32_t outWidth = view.RoiWidth() / factor;
    int32_t outHeight = view.RoiHeight() / factor;
    if (outWidth == 0 || outHeight == 0) {
        return nullptr;
    }
    PixPtr pix(pixCreateNoInit(outWidth, outHeight, 8));
    if (!pix) {
        return nullptr;
    }
    int32_t perAxis = (factor + step - 1) / step;
    uint32_t samples = static_cast<uint32_t>(perAxis * perAxis);
    std::vector<uint32_t> sums(outWidth);
    l_uint32* data = pixGetData(pix.get());
    int32_t wpl = pixGetWpl(pix.get());
    for (int32_t oy = 0; oy < outHeight; ++oy) {
        std::fill(sums.begin(), sums.end(), 0u);
        int32_t y0 = view.roi.top + oy * factor;
        for (int32_t y = y0; y < y0 + factor; y += step) {
            AccumulateRow(view, view.Row(y), factor, step, outWidth, sums.data());
        }
        l_uint32* line = data + static_cast<size_t>(oy) * wpl;
        for (int32_t ox = 0; ox < outWidth; ++ox) {
            SET_DATA_BYTE(line, ox, (sums[ox] + samples / 2) / samples);
        }
    }
    return pix;
}

int32_t FactorForMaxSide(const ImageView& view, int32_t maxSide) {
    int32_t longSide = std::max(view.RoiWidth(), view.RoiHeight());
    return std::max(1, (longSide + maxSide - 1) / maxSide);
}

}  // namespace kx_imgproc

#include "platform/image/proc/gray_reduce.h"

#include <algorithm>
#include <vector>

namespace kximgproc {
namespace {

// Adds the grey values of one source row, sampled every step pixels, to the
// block sums of the output row. Colour rows add luma scaled by 256.
void AccumulateRow(const ImageView& view, const uint8_t* row, int32_t factor, int32_t step,
                   int32_t outWidth, uint64_t* sums) {
    int32_t x = view.roi.left;
    if (view.type == KX_PIXEL_RGB) {
        for (int32_t ox = 0; ox < outWidth; ++ox, x += factor) {
            uint32_t sum = 0;
            for (const uint8_t* p = row + 3 * x; p < row + 3 * (x + factor); p += 3 * step) {
                sum += p[0] * 77u + p[1] * 150u + p[2] * 29u;
            }
            sums[ox] += sum;
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

bool ReduceToGray(const ImageView& view, int32_t factor, int32_t step, GrayImage* gray) {
    factor = std::max(factor, 1);
    step = std::clamp(step, 1, factor);
    int32_t outWidth = view.RoiWidth() / factor;
    int32_t outHeight = view.RoiHeight() / factor;
    *gray = GrayImage{};
    if (outWidth == 0 || outHeight == 0) {
        return false;
    }
    int32_t perAxis = (factor + step - 1) / step;
    auto samples = static_cast<uint64_t>(perAxis) * perAxis;
    if (view.type == KX_PIXEL_RGB) {
        samples *= 256;
    }
    gray->width = outWidth;
    gray->height = outHeight;
    gray->pixels.resize(static_cast<size_t>(outWidth) * outHeight);
    std::vector<uint64_t> sums(outWidth);
    for (int32_t oy = 0; oy < outHeight; ++oy) {
        std::fill(sums.begin(), sums.end(), 0);
        int32_t y0 = view.roi.top + oy * factor;
        for (int32_t y = y0; y < y0 + factor; y += step) {
            AccumulateRow(view, view.Row(y), factor, step, outWidth, sums.data());
        }
        uint8_t* out = gray->pixels.data() + static_cast<size_t>(oy) * outWidth;
        for (int32_t ox = 0; ox < outWidth; ++ox) {
            out[ox] = static_cast<uint8_t>((sums[ox] + samples / 2) / samples);
        }
    }
    return true;
}

int32_t FactorForMaxSide(const ImageView& view, int32_t maxSide) {
    int32_t longSide = std::max(view.RoiWidth(), view.RoiHeight());
    return std::max(1, (longSide + maxSide - 1) / maxSide);
}

}  // namespace kximgproc

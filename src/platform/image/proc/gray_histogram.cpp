#include "platform/image/proc/gray_histogram.h"

#include <algorithm>

namespace kximgproc {

int32_t GrayHistogram::Percentile(double share) const {
    auto wanted = static_cast<int64_t>(share * total);
    int64_t seen = 0;
    for (int32_t level = 0; level < 256; ++level) {
        seen += counts[level];
        if (seen > wanted) {
            return level;
        }
    }
    return 255;
}

int64_t GrayHistogram::CountBelow(int32_t level) const {
    int64_t count = 0;
    for (int32_t i = 0; i < std::clamp(level, 0, 256); ++i) {
        count += counts[i];
    }
    return count;
}

GrayHistogram HistogramOf(const GrayImage& gray) {
    GrayHistogram histogram;
    for (uint8_t level : gray.pixels) {
        histogram.Add(level);
    }
    return histogram;
}

PixPtr Binarize(const GrayImage& gray, int32_t threshold) {
    PixPtr pix(pixCreate(gray.width, gray.height, 1));
    if (!pix) {
        return nullptr;
    }
    l_uint32* data = pixGetData(pix.get());
    int32_t wpl = pixGetWpl(pix.get());
    for (int32_t y = 0; y < gray.height; ++y) {
        l_uint32* line = data + static_cast<size_t>(y) * wpl;
        for (int32_t x = 0; x < gray.width; ++x) {
            if (gray.At(x, y) < threshold) {
                SET_DATA_BIT(line, x);
            }
        }
    }
    return pix;
}

}  // namespace kximgproc

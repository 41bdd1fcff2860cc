// Grey-level statistics and thresholding of reduced grey copies. Stateless.
#pragma once

#include <array>
#include <cstdint>

#include "platform/image/proc/gray_reduce.h"

namespace kximgproc {

struct GrayHistogram {
    std::array<int64_t, 256> counts{};
    int64_t total = 0;

    void Add(uint8_t level) {
        ++counts[level];
        ++total;
    }
    // The lowest level with more than share (0..1) of the pixels at or below it.
    int32_t Percentile(double share) const;
    // Pixels darker than level.
    int64_t CountBelow(int32_t level) const;
};

GrayHistogram HistogramOf(const GrayImage& gray);

// A 1-bit PIX, black (1) where the grey is below threshold.
PixPtr Binarize(const GrayImage& gray, int32_t threshold);

}  // namespace kximgproc

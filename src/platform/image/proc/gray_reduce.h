// Reduced grey copies of a region of interest, for analyses that do not
// need every pixel (blank check, text direction, document detection).
// Stateless; the view must stay valid during the call.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/image/proc/image_access.h"

namespace kximgproc {

// 8-bit grey pixels, row after row without padding.
struct GrayImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;

    uint8_t At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The region reduced by an integer factor: each output pixel
// is the mean of the pixels on a grid of spacing step inside its
// factor × factor block (step 1 averages the whole block; step 2 reads a
// quarter of the pixels, which is enough for strokes two or more pixels
// wide). Edge pixels that do not fill a whole block are dropped. Null when
// the region is smaller than one block (gray is then left empty).
bool ReduceToGray(const ImageView& view, int32_t factor, int32_t step, GrayImage* gray);

// The integer factor that brings the longer side of the region down to at
// most maxSide pixels.
int32_t FactorForMaxSide(const ImageView& view, int32_t maxSide);

}  // namespace kximgproc

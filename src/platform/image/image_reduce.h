// Reduction of whole images by area averaging, used by the preview loads, and
// conversion of a loaded image into the pixel type a caller asked for.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/image/image_object.h"

namespace kximage {

struct Size {
    uint32_t width;
    uint32_t height;
};

// The size of a preview whose long side is at most maxSide: the long side
// becomes maxSide and the other max(1, round(side * maxSide / long side));
// images that already fit keep their size.
Size PreviewSize(uint32_t width, uint32_t height, uint32_t maxSide);

// The resolution of an image made fullWidth pixels wide at dpi and reduced
// to width pixels, so that it keeps the physical size of the full image;
// 0 (unknown) stays 0.
uint32_t ReducedDpi(uint32_t dpi, uint32_t fullWidth, uint32_t width);

// A new image of the given size, each pixel the average of the source area
// it covers (made for reductions; a side that grows is stretched with the
// same box weights). Black-and-white images are averaged as grey and
// thresholded again. Null when out of memory.
std::unique_ptr<KXImageObject> ReduceImage(const KXImageObject& source, Size size);

// The image in the given type (0 = unchanged): the same object when it
// already has that type, else a converted copy (null when out of memory).
std::unique_ptr<KXImageObject> ConvertImage(std::unique_ptr<KXImageObject> image, uint32_t type);

}  // namespace kximage

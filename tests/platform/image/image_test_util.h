// Helpers for the image tests: handles that destroy themselves, pixel access
// by coordinates and pattern images.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/image/kx_image.h"

namespace image_test {

struct ImageDeleter {
    void operator()(KXImage image) const { KXBase_DestroyImage(image); }
};
using ImagePtr = std::unique_ptr<KXImageObject, ImageDeleter>;

struct BufferDeleter {
    void operator()(KXBuffer buffer) const { KXBase_DestroyBuffer(buffer); }
};
using BufferPtr = std::unique_ptr<KXBufferObject, BufferDeleter>;

KXImageInfo InfoOf(KXImage image);
ImagePtr Create(uint32_t width, uint32_t height, uint32_t type);

// Pixel (x, y) as R, G, B (a grey or black-and-white pixel gives three equal
// values); reading leaves a pristine image pristine.
uint32_t PixelRgb(KXImage image, uint32_t x, uint32_t y);
void SetPixelRgb(KXImage image, uint32_t x, uint32_t y, uint32_t rgb);
inline uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return (r << 16) | (g << 8) | b;
}

// An image whose every pixel differs from its neighbours: colour and grey
// vary with x and y; black and white is a checkerboard-like pattern.
ImagePtr Pattern(uint32_t width, uint32_t height, uint32_t type);
// The expected colour of Pattern(width, height, type) at (x, y).
uint32_t PatternPixel(uint32_t x, uint32_t y, uint32_t type);

// A photo-like colour image (smooth gradients and a few shapes) for codec
// tests and benchmarks.
ImagePtr Photo(uint32_t width, uint32_t height);

// Largest per-channel difference between two images of the same size.
int MaxDifference(KXImage a, KXImage b);
// Number of pixels whose colours differ.
uint64_t DifferentPixels(KXImage a, KXImage b);

}  // namespace image_test

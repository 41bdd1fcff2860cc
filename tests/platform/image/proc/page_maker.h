// Generated test pages for the image-processing tests and benchmarks: blank
// paper with the defects of real scans, text pages drawn with the library's
// own text renderer, strokes, discs and rotations.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/image/kx_image.h"

namespace imgproc_test {

struct ImageDeleter {
    void operator()(KXImage image) const { KXBase_DestroyImage(image); }
};
using Image = std::unique_ptr<KXImageObject, ImageDeleter>;

struct Rgb {
    uint8_t r, g, b;
};

// A new image filled with one colour; dpi 0 leaves the resolution unknown.
Image MakeImage(uint32_t width, uint32_t height, uint32_t type, Rgb fill = {255, 255, 255},
                uint32_t dpi = 0);

Rgb PixelAt(KXImage image, int32_t x, int32_t y);
void SetPixel(KXImage image, int32_t x, int32_t y, Rgb color);
void FillRect(KXImage image, KXRect rect, Rgb color);
void FillDisc(KXImage image, double cx, double cy, double radius, Rgb color);
// A rectangle of the given half sizes centred on (cx, cy), turned clockwise.
void FillTurnedRect(KXImage image, double cx, double cy, double halfWidth, double halfHeight,
                    double radians, Rgb color);
// A polyline of the given pen width.
void DrawStroke(KXImage image, const std::vector<std::pair<double, double>>& points, double width,
                Rgb color);
// Adds Gaussian noise of the given deviation to every channel.
void AddNoise(KXImage image, double sigma, uint32_t seed);
// Sprinkles dark specks of one to three pixels.
void AddSpecks(KXImage image, int32_t count, uint32_t seed);

// Text drawn with its box's top-left corner at (x, y), size in pixels.
void DrawText(KXImage image, const std::string& text, int32_t x, int32_t y, int32_t size,
              Rgb color = {0, 0, 0}, const char* font = "DejaVu Sans");

// A page of the given size with a title and lines of English prose in the
// upper part, size in pixels per em.
Image MakeTextPage(uint32_t width, uint32_t height, uint32_t type, int32_t size, uint32_t dpi = 0);

// A page filled with lines of prose from margin to margin, like a letter.
Image MakeDocumentPage(uint32_t width, uint32_t height, uint32_t type, int32_t size,
                       uint32_t dpi = 0);

// The image turned by a multiple of 90 degrees clockwise.
Image TurnClockwise(KXImage image, int32_t degrees);

// The bounding box of pixels that differ from the colour by more than
// tolerance in any channel; an empty rectangle (all zero) when none do.
KXRect BoxOfPixelsNot(KXImage image, Rgb color, int32_t tolerance);
int64_t CountPixelsNot(KXImage image, Rgb color, int32_t tolerance);

}  // namespace imgproc_test

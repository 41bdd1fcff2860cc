// Helpers for the image tests: handles that destroy themselves, pixel access
// by coordinates and pattern images.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
// Mean absolute difference over all channels of all pixels.
double MeanDifference(KXImage a, KXImage b);
// Number of pixels whose colours differ.
uint64_t DifferentPixels(KXImage a, KXImage b);

// Runs a shell command; its standard output, and the exit status in *status.
std::string RunCommand(const std::string& command, int* status = nullptr);

// Loads with KXImgFmt_LoadImage(path, 0, null, type, 1).
ImagePtr Load(const std::string& path, uint32_t type = 0);

// The bytes of one entry of a ZIP archive; "<missing>" when absent.
std::string ReadZipEntry(const std::string& zipPath, const std::string& name);
// Names of all entries.
std::vector<std::string> ZipEntries(const std::string& zipPath);
// Writes a ZIP archive of the given (name, bytes) entries.
void WriteZip(const std::string& zipPath,
              const std::vector<std::pair<std::string, std::string>>& entries);

// Page sizes in points as pdfinfo reports them ("144x72" for page 1, ...).
std::vector<std::string> PdfPageSizes(const std::string& path);

// Occurrences of needle in haystack.
size_t CountOf(const std::string& haystack, const std::string& needle);

}  // namespace image_test

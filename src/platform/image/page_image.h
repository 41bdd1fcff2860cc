// The encoded picture of one document page (PDF or OFD): an unmodified JPEG
// image keeps its own bytes; other images are encoded once here, lossy or
// lossless as the writer asks. Any thread; the result shares nothing mutable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/image/image_object.h"

namespace kximage {

// Page size in the absence of a resolution.
constexpr uint32_t kDefaultPageDpi = 200;

enum class PageImageKind { kJpeg, kCcittG4, kPng };

// How black-and-white images become page pictures.
enum class BlackAndWhiteAs { kCcittG4, kPng, kJpeg };

// How grey and colour images become page pictures: JPEG at the writer's
// quality, or PNG, which keeps every pixel (a clean text page also comes out
// smaller than as JPEG).
enum class GreyAndColourAs { kJpeg, kPng };

struct PagePictures {
    BlackAndWhiteAs blackAndWhite = BlackAndWhiteAs::kCcittG4;
    GreyAndColourAs greyAndColour = GreyAndColourAs::kJpeg;
};

// Every page a JPEG, black-and-white ones as grey.
constexpr PagePictures kJpegPagePictures{BlackAndWhiteAs::kJpeg, GreyAndColourAs::kJpeg};

struct PageImage {
    std::shared_ptr<const void> owner;  // keeps data alive
    const uint8_t* data = nullptr;
    size_t size = 0;
    PageImageKind kind = PageImageKind::kJpeg;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t components = 1;  // 1 grey (or black and white), 3 colour
    bool bilevel = false;     // one bit per pixel: black-and-white G4 or PNG
    uint32_t dpi = kDefaultPageDpi;

    double WidthInches() const { return static_cast<double>(width) / dpi; }
    double HeightInches() const { return static_cast<double>(height) / dpi; }
};

int MakePageImage(KXImageObject* image, PagePictures pictures, uint32_t jpegQuality,
                  PageImage* page);

}  // namespace kximage

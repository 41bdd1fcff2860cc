// The encoded picture of one document page (PDF or OFD): an unmodified JPEG
// image keeps its own bytes; other images are encoded once here. Any thread;
// the result shares nothing mutable.
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

struct PageImage {
    std::shared_ptr<const void> owner;  // keeps data alive
    const uint8_t* data = nullptr;
    size_t size = 0;
    PageImageKind kind = PageImageKind::kJpeg;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t components = 1;  // 1 grey (or black and white), 3 colour
    uint32_t dpi = kDefaultPageDpi;

    double WidthInches() const { return static_cast<double>(width) / dpi; }
    double HeightInches() const { return static_cast<double>(height) / dpi; }
};

int MakePageImage(KXImageObject* image, BlackAndWhiteAs blackAndWhite, uint32_t jpegQuality,
                  PageImage* page);

}  // namespace kximage

#include "platform/image/scanner_page.h"

#include <cstring>

#include "platform/image/image_holders.h"

namespace {

size_t SamplesPerLine(const SANE_Parameters& parameters) {
    return static_cast<size_t>(parameters.pixels_per_line) *
           (parameters.format == SANE_FRAME_RGB ? 3 : 1);
}

// A 16-bit page written straight into a new 8-bit image of its own type,
// each sample rounded to the nearest level; null when the record's lines are
// too short for its pixels or no image can be made.
KXImage EightBitCopy(const SANE_Event_Image& page, uint32_t pageType) {
    const SANE_Parameters& parameters = page.parameters;
    size_t samples = SamplesPerLine(parameters);
    size_t stride = static_cast<size_t>(parameters.bytes_per_line);
    if (stride < 2 * samples) return nullptr;
    KXImage raw = nullptr;
    if (KXBase_CreateImage(static_cast<uint32_t>(parameters.pixels_per_line),
                           static_cast<uint32_t>(parameters.lines), pageType, KX_ORIGIN_TOP_LEFT,
                           &raw) != KX_OK) {
        return nullptr;
    }
    ImageHolder image(raw);
    KXImageInfo info{};
    uint8_t* rows = nullptr;
    if (KXBase_GetImageInfo(raw, &info) != KX_OK || KXBase_GetImageData(raw, &rows) != KX_OK) {
        return nullptr;
    }
    for (size_t y = 0; y < static_cast<size_t>(parameters.lines); ++y) {
        const uint8_t* source = page.data + y * stride;
        uint8_t* target = rows + y * info.widthStep;
        for (size_t i = 0; i < samples; ++i) {
            uint16_t sample = 0;
            std::memcpy(&sample, source + 2 * i, sizeof sample);
            target[i] = static_cast<uint8_t>((sample * 255u + 32767u) / 65535u);
        }
    }
    return image.release();
}

// The page's own pixels in the requested type.
KXImage DirectCopy(const SANE_Event_Image& page, uint32_t pageType, uint32_t type) {
    const SANE_Parameters& parameters = page.parameters;
    KXImageInfo info{};
    info.width = static_cast<uint32_t>(parameters.pixels_per_line);
    info.height = static_cast<uint32_t>(parameters.lines);
    info.type = pageType;
    info.widthStep = static_cast<uint32_t>(parameters.bytes_per_line);
    info.origin = KX_ORIGIN_TOP_LEFT;
    KXImage image = nullptr;
    if (KXBase_CreateImageFromData(page.data, &info, nullptr, type, KX_ORIGIN_TOP_LEFT, &image) !=
        KX_OK) {
        return nullptr;
    }
    return image;
}

}  // namespace

uint32_t ScannerPagePixelType(const SANE_Parameters& parameters) {
    bool wholeBytes = parameters.depth == 8 || parameters.depth == 16;
    if (parameters.format == SANE_FRAME_RGB) return wholeBytes ? KX_PIXEL_RGB : KX_PIXEL_KEEP;
    if (parameters.format != SANE_FRAME_GRAY) return KX_PIXEL_KEEP;
    if (parameters.depth == 1) return KX_PIXEL_BW;
    return wholeBytes ? KX_PIXEL_GRAY : KX_PIXEL_KEEP;
}

KXImage CopyScannerPage(const SANE_Event_Image& page, uint32_t type) {
    const SANE_Parameters& parameters = page.parameters;
    uint32_t pageType = ScannerPagePixelType(parameters);
    if (page.data == nullptr || pageType == KX_PIXEL_KEEP || parameters.pixels_per_line <= 0 ||
        parameters.lines <= 0 || parameters.bytes_per_line <= 0) {
        return nullptr;
    }
    KXImage image = nullptr;
    if (parameters.depth != 16) {
        image = DirectCopy(page, pageType, type);
    } else {
        image = EightBitCopy(page, pageType);
        if (image != nullptr && type != KX_PIXEL_KEEP && type != pageType) {
            ImageHolder eightBit(image);
            image = nullptr;
            if (KXBase_CloneImage(eightBit.get(), type, KX_ORIGIN_TOP_LEFT, &image) != KX_OK)
                return nullptr;
        }
    }
    if (image != nullptr && page.resolution > 0)
        KXBase_SetImageResolution(image, static_cast<uint32_t>(page.resolution));
    return image;
}

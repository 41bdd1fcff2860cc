#include "platform/image/scanner_page.h"

uint32_t ScannerPagePixelType(const SANE_Parameters& parameters) {
    if (parameters.depth == 8 && parameters.format == SANE_FRAME_RGB) return KX_PIXEL_RGB;
    if (parameters.format != SANE_FRAME_GRAY) return KX_PIXEL_KEEP;
    if (parameters.depth == 1) return KX_PIXEL_BW;
    if (parameters.depth == 8) return KX_PIXEL_GRAY;
    return KX_PIXEL_KEEP;
}

KXImage CopyScannerPage(const SANE_Event_Image& page, uint32_t type) {
    const SANE_Parameters& parameters = page.parameters;
    uint32_t pageType = ScannerPagePixelType(parameters);
    if (page.data == nullptr || pageType == KX_PIXEL_KEEP || parameters.pixels_per_line <= 0 ||
        parameters.lines <= 0 || parameters.bytes_per_line <= 0) {
        return nullptr;
    }
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
    if (page.resolution > 0)
        KXBase_SetImageResolution(image, static_cast<uint32_t>(page.resolution));
    return image;
}

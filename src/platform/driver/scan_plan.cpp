#include "platform/driver/scan_plan.h"

#include <utility>

namespace {

PageFormat MakeFormat(SANE_Word colorMode, int width, int height) {
    PageFormat format;
    format.width = width;
    format.height = height;
    switch (colorMode) {
        case kColorGray:
            format.frame = SANE_FRAME_GRAY;
            format.depth = 8;
            format.bytesPerLine = width;
            break;
        case kColorBlackWhite:
            format.frame = SANE_FRAME_GRAY;
            format.depth = 1;
            format.bytesPerLine = (width + 7) / 8;
            break;
        default:  // "24位彩色" and "颜色自动识别"
            format.frame = SANE_FRAME_RGB;
            format.depth = 8;
            format.bytesPerLine = width * 3;
            break;
    }
    return format;
}

RenderSettings MakeRenderSettings(const VirtualOptionValues& options) {
    RenderSettings render;
    render.dpi = options.Word(kOptionResolution);
    render.orientation = static_cast<Orientation>(options.Word(kOptionOrientation));
    PaperMillimetres paper = PaperOf(options.Word(kOptionPaperSize));
    render.uprightWidth = MillimetresToPixels(paper.width, render.dpi);
    render.uprightHeight = MillimetresToPixels(paper.height, render.dpi);
    int width = render.uprightWidth;
    int height = render.uprightHeight;
    if (render.orientation == kOrientation90 || render.orientation == kOrientationMinus90)
        std::swap(width, height);
    render.format = MakeFormat(options.Word(kOptionColorMode), width, height);
    render.brightness = options.Word(kOptionBrightness);
    render.gamma = options.Word(kOptionGamma);
    render.removeSpecks = options.Word(kOptionBwDenoise) != SANE_FALSE;
    return render;
}

}  // namespace

SANE_Parameters PageFormat::Parameters() const {
    SANE_Parameters parameters{};
    parameters.format = frame;
    parameters.last_frame = SANE_TRUE;
    parameters.bytes_per_line = bytesPerLine;
    parameters.pixels_per_line = width;
    parameters.lines = height;
    parameters.depth = depth;
    return parameters;
}

int MillimetresToPixels(int millimetres, int dpi) {
    // millimetres * dpi / 25.4, rounded to the nearest pixel, in whole numbers.
    return (millimetres * dpi * 10 + 127) / 254;
}

ScanPlan MakeScanPlan(const VirtualOptionValues& options, const VirtualScanConfig& config) {
    ScanPlan plan;
    plan.render = MakeRenderSettings(options);
    plan.sheets = options.Word(kOptionFeedMode) == kFeedCounted ? options.Word(kOptionSheetCount)
                                                                : config.sheets;
    SANE_Word side = options.Word(kOptionPageSide);
    plan.sidesPerSheet = side == kSideSimplex ? 1 : 2;
    plan.skipBlank = side == kSideSkipBlank || side == kSideSkipBlankInvoice;
    plan.blankPages = config.blankPages;
    plan.pageDelayMs = config.pageDelayMs;
    plan.jamAfter = config.jamAfter;
    return plan;
}

PageSequence::PageSequence(const ScanPlan& plan)
    : plan_(plan), total_(static_cast<long long>(plan.sheets) * plan.sidesPerSheet) {}

bool PageSequence::Next(Page* page) {
    if (position_ >= total_) return false;
    ++position_;
    page->position = static_cast<int>(position_);
    bool blank = plan_.blankPages.count(page->position) != 0;
    bool front = (position_ - 1) % plan_.sidesPerSheet == 0;
    page->kind = blank ? PageKind::kBlank : (front ? PageKind::kFront : PageKind::kBack);
    page->skipped = blank && plan_.skipBlank;
    return true;
}

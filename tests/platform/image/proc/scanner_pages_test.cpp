// The blank check on the pages the virtual scanner delivers, as the scan
// pipeline checks them: documents must never be taken for blank pages, and
// the scanner's blank pages (paper with sensor noise, isolated dots on
// black-and-white pages) must be.
#include <gtest/gtest.h>

#include <string>

#include "platform/driver/page_renderer.h"
#include "platform/image/proc/kx_imgproc.h"
#include "tests/platform/image/proc/page_maker.h"

namespace {

struct ScannerCase {
    uint32_t type;
    int dpi;
    Orientation orientation;
};

RenderSettings SettingsFor(const ScannerCase& c) {
    RenderSettings settings;
    settings.dpi = c.dpi;
    settings.orientation = c.orientation;
    settings.uprightWidth = MillimetresToPixels(210, c.dpi);
    settings.uprightHeight = MillimetresToPixels(297, c.dpi);
    settings.removeSpecks = false;
    bool quarterTurn = c.orientation == kOrientation90 || c.orientation == kOrientationMinus90;
    PageFormat& format = settings.format;
    format.width = quarterTurn ? settings.uprightHeight : settings.uprightWidth;
    format.height = quarterTurn ? settings.uprightWidth : settings.uprightHeight;
    format.frame = c.type == KX_PIXEL_RGB ? SANE_FRAME_RGB : SANE_FRAME_GRAY;
    format.depth = c.type == KX_PIXEL_BW ? 1 : 8;
    format.bytesPerLine = c.type == KX_PIXEL_RGB    ? 3 * format.width
                          : c.type == KX_PIXEL_GRAY ? format.width
                                                    : (format.width + 7) / 8;
    return settings;
}

int32_t BlankVerdict(const ScannerCase& c, PageKind kind) {
    RenderSettings settings = SettingsFor(c);
    std::unique_ptr<RenderedPage> page = RenderPage(settings, kind);
    EXPECT_NE(page, nullptr);
    if (!page) {
        return -1;
    }
    StampPageNumber(*page, 7);
    KXImageInfo info{static_cast<uint32_t>(settings.format.width),
                     static_cast<uint32_t>(settings.format.height), c.type,
                     static_cast<uint32_t>(settings.format.bytesPerLine), KX_ORIGIN_TOP_LEFT};
    KXImage raw = nullptr;
    EXPECT_EQ(KXBase_CreateImageFromData(page->Data(), &info, nullptr, 0, KX_ORIGIN_TOP_LEFT, &raw),
              0);
    imgproc_test::Image image(raw);
    int32_t blank = -1;
    EXPECT_EQ(KXImgProc_ImageBlankCheck(image.get(), nullptr, &blank), 0);
    return blank;
}

class ScannerPages : public testing::TestWithParam<ScannerCase> {};

TEST_P(ScannerPages, OnlyBlankSidesAreBlank) {
    EXPECT_EQ(BlankVerdict(GetParam(), PageKind::kBlank), 1);
    EXPECT_EQ(BlankVerdict(GetParam(), PageKind::kFront), 0);
    EXPECT_EQ(BlankVerdict(GetParam(), PageKind::kBack), 0);
}

INSTANTIATE_TEST_SUITE_P(ColourModesAndResolutions, ScannerPages,
                         testing::Values(ScannerCase{KX_PIXEL_RGB, 200, kOrientation0},
                                         ScannerCase{KX_PIXEL_RGB, 300, kOrientation90},
                                         ScannerCase{KX_PIXEL_GRAY, 100, kOrientation0},
                                         ScannerCase{KX_PIXEL_GRAY, 150, kOrientation180},
                                         ScannerCase{KX_PIXEL_BW, 200, kOrientation0},
                                         ScannerCase{KX_PIXEL_BW, 600, kOrientationMinus90}),
                         [](const testing::TestParamInfo<ScannerCase>& info) {
                             const char* type = info.param.type == KX_PIXEL_RGB ? "Colour"
                                                : info.param.type == KX_PIXEL_GRAY
                                                    ? "Grey"
                                                    : "BlackAndWhite";
                             return std::string(type) + std::to_string(info.param.dpi) + "Dpi";
                         });

}  // namespace

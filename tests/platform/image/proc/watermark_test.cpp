#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/image/proc/font_resolver.h"
#include "platform/image/proc/kx_imgproc.h"
#include "tests/platform/image/proc/page_maker.h"

namespace {

using imgproc_test::BoxOfPixelsNot;
using imgproc_test::CountPixelsNot;
using imgproc_test::MakeImage;
using imgproc_test::PixelAt;

constexpr imgproc_test::Rgb kWhite{255, 255, 255};
constexpr uint32_t kOpaqueRed = KXImgProc_MakeColorWord(255, 0, 0, 255);

WatermarkFont Font(const char* name, int32_t size) {
    WatermarkFont font{};
    std::strncpy(font.name, name, sizeof(font.name) - 1);
    font.size = size;
    return font;
}

struct PositionCase {
    const char* name;
    int32_t position;
    bool left, top, right, bottom;  // edges of the region the text must touch
};

class WatermarkPositions : public testing::TestWithParam<PositionCase> {};

// The text lands inside the region of interest, against the named edges and
// centred along the others.
TEST_P(WatermarkPositions, TextLandsAgainstTheNamedEdges) {
    PositionCase c = GetParam();
    auto image = MakeImage(600, 400, KX_PIXEL_RGB);
    KXRect region{100, 50, 500, 350};
    ASSERT_EQ(KXBase_SetImageROI(image.get(), &region), 0);
    WatermarkFont font = Font("DejaVu Sans", 40);
    ASSERT_EQ(KXImgProc_AddImageWatermark(image.get(), "Mark", kOpaqueRed, c.position, 0, 0, &font),
              0);
    KXRect box = BoxOfPixelsNot(image.get(), kWhite, 0);
    ASSERT_GT(box.right, box.left);
    EXPECT_GE(box.left, region.left);
    EXPECT_GE(box.top, region.top);
    EXPECT_LE(box.right, region.right);
    EXPECT_LE(box.bottom, region.bottom);
    // Glyph ink sits a few pixels inside the text box (side bearings, the
    // ascender above capitals, the descender space below).
    constexpr int32_t kInkInset = 16;
    int32_t centreX = (box.left + box.right) / 2;
    int32_t centreY = (box.top + box.bottom) / 2;
    if (c.left) {
        EXPECT_LE(box.left - region.left, kInkInset);
    }
    if (c.right) {
        EXPECT_LE(region.right - box.right, kInkInset);
    }
    if (c.top) {
        EXPECT_LE(box.top - region.top, kInkInset);
    }
    if (c.bottom) {
        EXPECT_LE(region.bottom - box.bottom, kInkInset);
    }
    if (!c.left && !c.right) {
        EXPECT_NEAR(centreX, 300, 10);
    }
    if (!c.top && !c.bottom) {
        EXPECT_NEAR(centreY, 200, 10);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllPositions, WatermarkPositions,
    testing::Values(PositionCase{"Left", KX_WATERMARK_LEFT, true, false, false, false},
                    PositionCase{"Top", KX_WATERMARK_TOP, false, true, false, false},
                    PositionCase{"Right", KX_WATERMARK_RIGHT, false, false, true, false},
                    PositionCase{"Bottom", KX_WATERMARK_BOTTOM, false, false, false, true},
                    PositionCase{"LeftTop", KX_WATERMARK_LEFT_TOP, true, true, false, false},
                    PositionCase{"RightTop", KX_WATERMARK_RIGHT_TOP, false, true, true, false},
                    PositionCase{"LeftBottom", KX_WATERMARK_LEFT_BOTTOM, true, false, false, true},
                    PositionCase{"RightBottom", KX_WATERMARK_RIGHT_BOTTOM, false, false, true,
                                 true},
                    PositionCase{"Center", KX_WATERMARK_CENTER, false, false, false, false}),
    [](const testing::TestParamInfo<PositionCase>& info) { return info.param.name; });

TEST(Watermark, LocationIsRelativeToTheRegionAndClippedToIt) {
    auto image = MakeImage(600, 400, KX_PIXEL_RGB);
    KXRect region{100, 50, 400, 300};
    ASSERT_EQ(KXBase_SetImageROI(image.get(), &region), 0);
    WatermarkFont font = Font("DejaVu Sans", 60);
    ASSERT_EQ(KXImgProc_AddImageWatermark(image.get(), "Watermark text", kOpaqueRed,
                                          KX_WATERMARK_LOCATION, 20, 30, &font),
              0);
    KXRect box = BoxOfPixelsNot(image.get(), kWhite, 0);
    EXPECT_NEAR(box.left, 120, 8);
    EXPECT_NEAR(box.top, 80, 16);
    // The long text is cut at the region's edge.
    EXPECT_LE(box.right, 400);
    EXPECT_GT(box.right, 380);
    EXPECT_LE(box.bottom, 300);
}

TEST(Watermark, OpacityBlendsWithThePage) {
    auto image = MakeImage(300, 100, KX_PIXEL_RGB);
    WatermarkFont font = Font("DejaVu Sans", 80);
    ASSERT_EQ(KXImgProc_AddImageWatermark(image.get(), "I", KXImgProc_MakeColorWord(0, 0, 0, 128),
                                          KX_WATERMARK_CENTER, 0, 0, &font),
              0);
    imgproc_test::Rgb p = PixelAt(image.get(), 150, 50);
    EXPECT_NEAR(p.r, 127, 2);

    auto transparent = MakeImage(300, 100, KX_PIXEL_RGB);
    ASSERT_EQ(
        KXImgProc_AddImageWatermark(transparent.get(), "I", 0, KX_WATERMARK_CENTER, 0, 0, &font),
        0);
    EXPECT_EQ(CountPixelsNot(transparent.get(), kWhite, 0), 0);
}

TEST(Watermark, ChineseTextRendersWithEveryFontName) {
    for (const char* name : {"宋体", "SimSun", "黑体", "SimHei", "Arial", "No Such Font"}) {
        auto image = MakeImage(400, 120, KX_PIXEL_GRAY);
        WatermarkFont font = Font(name, 48);
        ASSERT_EQ(KXImgProc_AddImageWatermark(image.get(), "机密文件", kOpaqueRed,
                                              KX_WATERMARK_CENTER, 0, 0, &font),
                  0);
        // Four Han characters of 48 pixels hold thousands of ink pixels;
        // missing-glyph boxes would hold a few hundred.
        EXPECT_GT(CountPixelsNot(image.get(), kWhite, 60), 1500) << name;
    }
}

TEST(Watermark, FontNamesMapToMatchingFaces) {
    kximgproc::ResolvedFont font;
    ASSERT_TRUE(kximgproc::ResolveFont("宋体", false, false, U"文", &font));
    EXPECT_NE(font.file.find("Serif"), std::string::npos) << font.file;
    ASSERT_TRUE(kximgproc::ResolveFont("SimHei", false, false, U"文", &font));
    EXPECT_NE(font.file.find("Sans"), std::string::npos) << font.file;
    EXPECT_EQ(font.file.find("Serif"), std::string::npos) << font.file;
    ASSERT_TRUE(kximgproc::ResolveFont("DejaVu Serif", false, false, U"Text", &font));
    EXPECT_NE(font.file.find("DejaVuSerif"), std::string::npos) << font.file;
    ASSERT_TRUE(kximgproc::ResolveFont("DejaVu Serif", true, false, U"Text", &font));
    EXPECT_TRUE(font.bold) << font.file;
}

// Each style changes what is drawn: bold and underline add ink, italic
// slants the glyphs, strikeout adds a bar through them.
TEST(Watermark, StylesChangeTheDrawing) {
    auto draw = [](int32_t WatermarkFont::*flag) {
        auto image = MakeImage(500, 150, KX_PIXEL_GRAY);
        WatermarkFont font = Font("Noto Sans CJK SC", 60);
        if (flag != nullptr) {
            font.*flag = 1;
        }
        KXImgProc_AddImageWatermark(image.get(), "Hill", kOpaqueRed, KX_WATERMARK_CENTER, 0, 0,
                                    &font);
        return image;
    };
    auto plain = draw(nullptr);
    int64_t plainInk = CountPixelsNot(plain.get(), kWhite, 100);
    KXRect plainBox = BoxOfPixelsNot(plain.get(), kWhite, 100);

    auto bold = draw(&WatermarkFont::bold);
    EXPECT_GT(CountPixelsNot(bold.get(), kWhite, 100), plainInk * 6 / 5);

    auto underline = draw(&WatermarkFont::underline);
    KXRect underlineBox = BoxOfPixelsNot(underline.get(), kWhite, 100);
    EXPECT_GT(underlineBox.bottom, plainBox.bottom + 2);

    auto strikeout = draw(&WatermarkFont::strikeout);
    KXRect strikeBox = BoxOfPixelsNot(strikeout.get(), kWhite, 100);
    EXPECT_EQ(strikeBox.bottom, plainBox.bottom);
    EXPECT_GT(CountPixelsNot(strikeout.get(), kWhite, 100), plainInk + 80);

    // Slanted, the left stem of the "H" leans right: its top starts further
    // right of its foot than upright.
    auto italic = draw(&WatermarkFont::italic);
    auto lean = [](KXImage image) {
        KXRect box = BoxOfPixelsNot(image, kWhite, 100);
        auto firstInk = [image](int32_t y) {
            for (int32_t x = 0; x < 500; ++x) {
                if (PixelAt(image, x, y).r < 155) {
                    return x;
                }
            }
            return -1;
        };
        return firstInk(box.top + 6) - firstInk(box.bottom - 3);
    };
    EXPECT_GT(lean(italic.get()), lean(plain.get()) + 5);
}

TEST(Watermark, BlackAndWhiteImagesGetSolidText) {
    auto image = MakeImage(300, 100, KX_PIXEL_BW);
    WatermarkFont font = Font("DejaVu Sans", 50);
    ASSERT_EQ(
        KXImgProc_AddImageWatermark(image.get(), "Copy", KXImgProc_MakeColorWord(0, 0, 0, 255),
                                    KX_WATERMARK_CENTER, 0, 0, &font),
        0);
    EXPECT_GT(CountPixelsNot(image.get(), kWhite, 0), 500);
}

TEST(Watermark, RejectsBadArguments) {
    auto image = MakeImage(100, 100, KX_PIXEL_RGB);
    KXImage i = image.get();
    WatermarkFont font = Font("DejaVu Sans", 20);
    EXPECT_NE(KXImgProc_AddImageWatermark(nullptr, "a", kOpaqueRed, 9, 0, 0, &font), 0);
    EXPECT_NE(KXImgProc_AddImageWatermark(i, nullptr, kOpaqueRed, 9, 0, 0, &font), 0);
    EXPECT_NE(KXImgProc_AddImageWatermark(i, "a", kOpaqueRed, 9, 0, 0, nullptr), 0);
    EXPECT_NE(KXImgProc_AddImageWatermark(i, "a", kOpaqueRed, 0, 0, 0, &font), 0);
    EXPECT_NE(KXImgProc_AddImageWatermark(i, "a", kOpaqueRed, 11, 0, 0, &font), 0);
    EXPECT_NE(KXImgProc_AddImageWatermark(i, "\xE6\x9C", kOpaqueRed, 9, 0, 0, &font), 0);
    EXPECT_NE(KXImgProc_AddImageWatermark(i, "\xC0\xAF", kOpaqueRed, 9, 0, 0, &font), 0);
    WatermarkFont zero = Font("DejaVu Sans", 0);
    EXPECT_NE(KXImgProc_AddImageWatermark(i, "a", kOpaqueRed, 9, 0, 0, &zero), 0);
    WatermarkFont unterminated = font;
    std::memset(unterminated.name, 'A', sizeof(unterminated.name));
    EXPECT_NE(KXImgProc_AddImageWatermark(i, "a", kOpaqueRed, 9, 0, 0, &unterminated), 0);
    EXPECT_EQ(CountPixelsNot(i, kWhite, 0), 0);
}

}  // namespace

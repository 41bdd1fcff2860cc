#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>

#include "platform/image/proc/image_access.h"
#include "platform/image/proc/kx_imgproc.h"
#include "tests/platform/image/proc/page_maker.h"

namespace {

using imgproc_test::Image;
using imgproc_test::MakeImage;
using imgproc_test::PixelAt;

constexpr int32_t kPageWidth = 1000;
constexpr int32_t kPageHeight = 1400;
constexpr int32_t kLineY = 700;  // a 6-pixel reference rule from x 100 to 900

Image MakePage(uint32_t type) {
    Image page = imgproc_test::MakeTextPage(kPageWidth, kPageHeight, type, 24);
    imgproc_test::FillRect(page.get(), {100, kLineY - 3, 900, kLineY + 3}, {0, 0, 0});
    return page;
}

// Paints everything outside a rectangle of the given half sizes, centred in
// the image and turned clockwise by radians (at most 45 degrees).
void PaintOutsideTurnedRect(KXImage image, double halfWidth, double halfHeight, double radians,
                            imgproc_test::Rgb color) {
    KXImageInfo info{};
    KXBase_GetImageInfo(image, &info);
    auto width = static_cast<int32_t>(info.width);
    double cx = info.width / 2.0, cy = info.height / 2.0;
    double c = std::cos(radians), s = std::sin(radians);
    for (int32_t y = 0; y < static_cast<int32_t>(info.height); ++y) {
        double dy = y + 0.5 - cy;
        // Inside: |dx c + dy s| <= halfWidth and |-dx s + dy c| <= halfHeight.
        double from = (-halfWidth - dy * s) / c, to = (halfWidth - dy * s) / c;
        if (std::abs(s) > 1e-9) {
            double a = (dy * c - halfHeight) / s, b = (dy * c + halfHeight) / s;
            from = std::max(from, std::min(a, b));
            to = std::min(to, std::max(a, b));
        } else if (std::abs(dy) > halfHeight) {
            to = from - 1;
        }
        auto left = static_cast<int32_t>(std::clamp(std::ceil(cx + from - 0.5), 0.0, 1.0 * width));
        auto right =
            static_cast<int32_t>(std::clamp(std::floor(cx + to - 0.5) + 1, 0.0, 1.0 * width));
        if (right <= left) {
            imgproc_test::FillRect(image, {0, y, width, y + 1}, color);
            continue;
        }
        imgproc_test::FillRect(image, {0, y, left, y + 1}, color);
        imgproc_test::FillRect(image, {right, y, width, y + 1}, color);
    }
}

// The page turned clockwise by degrees on a noisy background of the given
// grey, with a border of that background around it.
Image Scan(KXImage page, double degrees, uint8_t background, int32_t border) {
    kximgproc::ImageView view;
    EXPECT_EQ(kximgproc::GetImageView(page, &view), 0);
    kximgproc::PixPtr pix = kximgproc::RoiToPix(view);
    double radians = degrees * std::numbers::pi / 180;
    kximgproc::PixPtr turned(
        pixRotate(pix.get(), static_cast<l_float32>(radians),
                  view.type == KX_PIXEL_BW ? L_ROTATE_SAMPLING : L_ROTATE_AREA_MAP,
                  L_BRING_IN_WHITE, kPageWidth, kPageHeight));
    ImageHolder turnedImage = kximgproc::PixToImage(turned.get(), view.type, 0);
    KXImageInfo info{};
    KXBase_GetImageInfo(turnedImage.get(), &info);
    Image scan = MakeImage(info.width + 2 * border, info.height + 2 * border, view.type);
    KXRect inner{border, border, border + static_cast<int32_t>(info.width),
                 border + static_cast<int32_t>(info.height)};
    KXBase_SetImageROI(scan.get(), &inner);
    KXBase_CopyImage(turnedImage.get(), scan.get());
    KXBase_ResetImageROI(scan.get());
    PaintOutsideTurnedRect(scan.get(), kPageWidth / 2.0, kPageHeight / 2.0, radians,
                           {background, background, background});
    imgproc_test::AddNoise(scan.get(), 4, 7);
    return scan;
}

// Centre row of the dark run crossing column x near the expected row.
double RuleCentre(KXImage image, int32_t x, int32_t nearY) {
    double sum = 0;
    int32_t count = 0;
    for (int32_t y = nearY - 60; y < nearY + 60; ++y) {
        if (PixelAt(image, x, y).r < 100) {
            sum += y;
            ++count;
        }
    }
    return count > 0 ? sum / count : -1000;
}

// The angle of the reference rule in degrees, measured 600 pixels apart.
double RuleAngle(KXImage image, int32_t xOffset, int32_t nearY) {
    double left = RuleCentre(image, 200 + xOffset, nearY);
    double right = RuleCentre(image, 800 + xOffset, nearY);
    return std::atan2(right - left, 600.0) * 180 / std::numbers::pi;
}

struct SkewCase {
    uint32_t type;
    double degrees;
    uint8_t background = 25;
};

class AutoCropSkews : public testing::TestWithParam<SkewCase> {};

// A page turned by a few degrees on a dark background comes out straight
// and cut to the page.
TEST_P(AutoCropSkews, StraightensAndCropsToThePage) {
    SkewCase c = GetParam();
    Image page = MakePage(c.type);
    Image scan = Scan(page.get(), c.degrees, c.background, 120);
    KXImage result = nullptr;
    ASSERT_EQ(KXImgProc_ImageAutoCrop(scan.get(), 1, 1, 1, 0, 0, 0, 0, 1, &result), 0);
    ASSERT_NE(result, nullptr);
    Image cropped(result);

    KXImageInfo info{};
    ASSERT_EQ(KXBase_GetImageInfo(cropped.get(), &info), 0);
    EXPECT_EQ(info.type, c.type);
    EXPECT_NEAR(info.width, kPageWidth, 25);
    EXPECT_NEAR(info.height, kPageHeight, 25);

    int32_t xOffset = (static_cast<int32_t>(info.width) - kPageWidth) / 2;
    int32_t yOffset = (static_cast<int32_t>(info.height) - kPageHeight) / 2;
    EXPECT_NEAR(RuleAngle(cropped.get(), xOffset, kLineY + yOffset), 0.0, 0.5);
    EXPECT_NEAR(RuleCentre(cropped.get(), 500 + xOffset, kLineY + yOffset), kLineY + yOffset, 15);
    // No background is left along the edges: they show the white paper.
    int32_t w = static_cast<int32_t>(info.width), h = static_cast<int32_t>(info.height);
    for (auto [x, y] : {std::pair{2, 2},
                        {w - 3, 2},
                        {2, h - 3},
                        {w - 3, h - 3},
                        {w / 2, 1},
                        {w / 2, h - 2},
                        {1, h / 2},
                        {w - 2, h / 2}}) {
        EXPECT_GT(PixelAt(cropped.get(), x, y).r, std::max(170, c.background + 25))
            << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(TypesAndAngles, AutoCropSkews,
                         testing::Values(SkewCase{KX_PIXEL_RGB, 4.0}, SkewCase{KX_PIXEL_RGB, -3.0},
                                         SkewCase{KX_PIXEL_GRAY, 5.0}, SkewCase{KX_PIXEL_GRAY, 0.0},
                                         SkewCase{KX_PIXEL_BW, -4.0},
                                         SkewCase{KX_PIXEL_RGB, 3.0, 185}),
                         [](const testing::TestParamInfo<SkewCase>& info) {
                             const char* type = info.param.type == KX_PIXEL_RGB    ? "Rgb"
                                                : info.param.type == KX_PIXEL_GRAY ? "Gray"
                                                                                   : "Bw";
                             int degrees = static_cast<int>(info.param.degrees);
                             return std::string(type) + (degrees < 0 ? "Minus" : "Plus") +
                                    std::to_string(std::abs(degrees)) + "DegreesOn" +
                                    std::to_string(info.param.background);
                         });

TEST(AutoCrop, MarginsKeepBackgroundAroundThePage) {
    Image scan = Scan(MakePage(KX_PIXEL_GRAY).get(), 0.0, 25, 120);
    KXImage result = nullptr;
    ASSERT_EQ(KXImgProc_ImageAutoCrop(scan.get(), 1, 1, 1, 30, 30, 30, 30, 0, &result), 0);
    Image cropped(result);
    KXImageInfo info{};
    KXBase_GetImageInfo(cropped.get(), &info);
    EXPECT_NEAR(info.width, kPageWidth + 60, 25);
    EXPECT_NEAR(info.height, kPageHeight + 60, 25);
    EXPECT_LT(PixelAt(cropped.get(), 5, 5).r, 60);
}

// With a white background there is no page edge to find: the whole scan is
// kept and straightened by its text lines.
TEST(AutoCrop, WhiteBackgroundIsStraightenedByItsText) {
    Image scan = Scan(MakePage(KX_PIXEL_GRAY).get(), 3.0, 255, 0);
    KXImageInfo before{};
    KXBase_GetImageInfo(scan.get(), &before);
    KXImage result = nullptr;
    ASSERT_EQ(KXImgProc_ImageAutoCrop(scan.get(), 1, 1, 1, 0, 0, 0, 0, 1, &result), 0);
    Image straight(result);
    KXImageInfo after{};
    KXBase_GetImageInfo(straight.get(), &after);
    EXPECT_EQ(after.width, before.width);
    EXPECT_EQ(after.height, before.height);
    int32_t xOffset = (static_cast<int32_t>(after.width) - kPageWidth) / 2;
    int32_t yOffset = (static_cast<int32_t>(after.height) - kPageHeight) / 2;
    EXPECT_NEAR(RuleAngle(straight.get(), xOffset, kLineY + yOffset), 0.0, 0.5);
}

TEST(AutoCrop, NothingButBackgroundGivesNoImage) {
    Image dark = MakeImage(800, 600, KX_PIXEL_RGB, {20, 20, 20});
    imgproc_test::AddNoise(dark.get(), 5, 1);
    imgproc_test::FillRect(dark.get(), {100, 100, 110, 110}, {250, 250, 250});
    KXImage result = reinterpret_cast<KXImage>(1);
    EXPECT_NE(KXImgProc_ImageAutoCrop(dark.get(), 1, 1, 1, 0, 0, 0, 0, 1, &result), 0);
    EXPECT_EQ(result, nullptr);
}

TEST(AutoCrop, BadInputFailsCleanly) {
    Image page = MakeImage(50, 50, KX_PIXEL_GRAY);
    KXImage result = nullptr;
    EXPECT_NE(KXImgProc_ImageAutoCrop(nullptr, 1, 1, 1, 0, 0, 0, 0, 1, &result), 0);
    EXPECT_EQ(result, nullptr);
    EXPECT_NE(KXImgProc_ImageAutoCrop(page.get(), 1, 1, 1, 0, 0, 0, 0, 1, nullptr), 0);
    EXPECT_NE(KXImgProc_ImageAutoCrop(page.get(), 1, 1, 1, -1, 0, 0, 0, 1, &result), 0);
    EXPECT_EQ(result, nullptr);
}

// Degenerate sizes neither crash nor lose the picture.
TEST(AutoCrop, TinyImagesComeBackWhole) {
    for (auto [width, height] : {std::pair{1u, 1u}, {3u, 1u}, {1u, 700u}, {5u, 5u}}) {
        Image tiny = MakeImage(width, height, KX_PIXEL_GRAY, {200, 200, 200});
        KXImage result = nullptr;
        ASSERT_EQ(KXImgProc_ImageAutoCrop(tiny.get(), 1, 1, 1, 0, 0, 0, 0, 1, &result), 0);
        Image copy(result);
        KXImageInfo info{};
        ASSERT_EQ(KXBase_GetImageInfo(copy.get(), &info), 0);
        EXPECT_EQ(info.width, width);
        EXPECT_EQ(info.height, height);
    }
}

}  // namespace

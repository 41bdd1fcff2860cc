#include <gtest/gtest.h>

#include <string>

#include "platform/image/proc/kx_imgproc.h"
#include "tests/platform/image/proc/page_maker.h"

namespace {

using imgproc_test::FillRect;
using imgproc_test::MakeImage;
using imgproc_test::PixelAt;
using imgproc_test::SetPixel;

class ResizeTypes : public testing::TestWithParam<uint32_t> {};

// A black-and-white checkerboard of single pixels averages to mid-grey when
// reduced by two; only area averaging gives that (sampling gives 0 or 255).
TEST_P(ResizeTypes, ReductionAveragesTheSourceArea) {
    uint32_t type = GetParam();
    auto source = MakeImage(64, 64, KX_PIXEL_GRAY);
    for (int32_t y = 0; y < 64; ++y) {
        for (int32_t x = (y & 1); x < 64; x += 2) {
            SetPixel(source.get(), x, y, {0, 0, 0});
        }
    }
    auto target = MakeImage(32, 32, type == KX_PIXEL_BW ? KX_PIXEL_GRAY : type);
    ASSERT_EQ(KXImgProc_ResizeImage(source.get(), target.get(), KX_RESIZE_SMOOTH), 0);
    for (int32_t y = 0; y < 32; y += 7) {
        for (int32_t x = 0; x < 32; x += 5) {
            EXPECT_NEAR(PixelAt(target.get(), x, y).r, 128, 1) << x << "," << y;
        }
    }
}

// A one-pixel black line survives a four-fold reduction as a grey line.
TEST_P(ResizeTypes, ThinLinesSurviveReduction) {
    uint32_t type = GetParam();
    auto source = MakeImage(400, 300, type);
    FillRect(source.get(), {0, 150, 400, 151}, {0, 0, 0});
    auto target = MakeImage(100, 75, type == KX_PIXEL_BW ? KX_PIXEL_GRAY : type);
    ASSERT_EQ(KXImgProc_ResizeImage(source.get(), target.get(), KX_RESIZE_SMOOTH), 0);
    EXPECT_NEAR(PixelAt(target.get(), 50, 37).r, 191, 2);
    EXPECT_EQ(PixelAt(target.get(), 50, 30).r, 255);
}

TEST_P(ResizeTypes, EnlargementInterpolates) {
    uint32_t type = GetParam();
    auto source = MakeImage(2, 1, KX_PIXEL_GRAY);
    SetPixel(source.get(), 0, 0, {0, 0, 0});
    auto target = MakeImage(8, 1, type == KX_PIXEL_BW ? KX_PIXEL_GRAY : type);
    ASSERT_EQ(KXImgProc_ResizeImage(source.get(), target.get(), KX_RESIZE_SMOOTH), 0);
    int previous = -1;
    for (int32_t x = 0; x < 8; ++x) {
        int value = PixelAt(target.get(), x, 0).r;
        EXPECT_GE(value, previous);
        previous = value;
    }
    EXPECT_EQ(PixelAt(target.get(), 0, 0).r, 0);
    EXPECT_EQ(PixelAt(target.get(), 7, 0).r, 255);
    EXPECT_GT(PixelAt(target.get(), 4, 0).r, 60);
    EXPECT_LT(PixelAt(target.get(), 4, 0).r, 200);
}

INSTANTIATE_TEST_SUITE_P(AllPixelTypes, ResizeTypes,
                         testing::Values(KX_PIXEL_BW, KX_PIXEL_GRAY, KX_PIXEL_RGB),
                         [](const testing::TestParamInfo<uint32_t>& info) {
                             return std::string(info.param == KX_PIXEL_RGB    ? "Rgb"
                                                : info.param == KX_PIXEL_GRAY ? "Gray"
                                                                              : "Bw");
                         });

TEST(Resize, KeepsColoursAndReadsOnlyTheSourceRegion) {
    auto source = MakeImage(200, 100, KX_PIXEL_RGB, {0, 0, 255});
    FillRect(source.get(), {100, 0, 200, 100}, {255, 0, 0});
    KXRect right{100, 0, 200, 100};
    ASSERT_EQ(KXBase_SetImageROI(source.get(), &right), 0);
    auto target = MakeImage(10, 10, KX_PIXEL_RGB);
    ASSERT_EQ(KXImgProc_ResizeImage(source.get(), target.get(), KX_RESIZE_SMOOTH), 0);
    for (int32_t x = 0; x < 10; ++x) {
        imgproc_test::Rgb p = PixelAt(target.get(), x, 5);
        EXPECT_EQ(p.r, 255);
        EXPECT_EQ(p.b, 0);
    }
}

TEST(Resize, BlackAndWhiteTargetIsThresholded) {
    auto source = MakeImage(100, 100, KX_PIXEL_BW);
    FillRect(source.get(), {0, 0, 50, 100}, {0, 0, 0});
    auto target = MakeImage(10, 10, KX_PIXEL_BW);
    ASSERT_EQ(KXImgProc_ResizeImage(source.get(), target.get(), KX_RESIZE_SMOOTH), 0);
    EXPECT_EQ(PixelAt(target.get(), 2, 5).r, 0);
    EXPECT_EQ(PixelAt(target.get(), 7, 5).r, 255);
}

TEST(Resize, NearestSamplesWithoutMixing) {
    auto source = MakeImage(4, 1, KX_PIXEL_GRAY);
    SetPixel(source.get(), 1, 0, {0, 0, 0});
    auto target = MakeImage(2, 1, KX_PIXEL_GRAY);
    ASSERT_EQ(KXImgProc_ResizeImage(source.get(), target.get(), KX_RESIZE_NEAREST), 0);
    EXPECT_EQ(PixelAt(target.get(), 0, 0).r, 0);
    EXPECT_EQ(PixelAt(target.get(), 1, 0).r, 255);
}

TEST(Resize, RejectsBadArguments) {
    auto image = MakeImage(10, 10, KX_PIXEL_GRAY);
    EXPECT_NE(KXImgProc_ResizeImage(nullptr, image.get(), 1), 0);
    EXPECT_NE(KXImgProc_ResizeImage(image.get(), nullptr, 1), 0);
    EXPECT_NE(KXImgProc_ResizeImage(image.get(), image.get(), 7), 0);
}

}  // namespace

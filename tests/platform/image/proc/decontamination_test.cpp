#include <gtest/gtest.h>

#include <string>

#include "platform/image/proc/kx_imgproc.h"
#include "tests/platform/image/proc/page_maker.h"

namespace {

using imgproc_test::MakeImage;
using imgproc_test::PixelAt;
using imgproc_test::Rgb;

constexpr uint32_t kGreen = KXImgProc_MakeColorWord(0, 100, 0, 0);

bool IsGreenish(Rgb p, uint32_t type) {
    if (type == KX_PIXEL_RGB) {
        return p.r == 0 && p.g == 100 && p.b == 0;
    }
    return p.r == (type == KX_PIXEL_GRAY ? 59 : 0);  // black in black-and-white
}

struct AreaCase {
    uint32_t type;
    int32_t area;
};

class DecontaminationAreas : public testing::TestWithParam<AreaCase> {};

TEST_P(DecontaminationAreas, PaintsExactlyTheChosenSide) {
    auto [type, area] = GetParam();
    auto image = MakeImage(60, 40, type);
    ASSERT_EQ(KXImgProc_ImageDecontamination(image.get(), image.get(), area, 10, 5, 20, 15, kGreen),
              0);
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 60; ++x) {
            bool inside = x >= 10 && x < 30 && y >= 5 && y < 20;
            bool painted = area == KX_DECONTAMINATE_INSIDE ? inside : !inside;
            ASSERT_EQ(IsGreenish(PixelAt(image.get(), x, y), type), painted) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(TypesAndAreas, DecontaminationAreas,
                         testing::Values(AreaCase{KX_PIXEL_RGB, KX_DECONTAMINATE_INSIDE},
                                         AreaCase{KX_PIXEL_RGB, KX_DECONTAMINATE_OUTSIDE},
                                         AreaCase{KX_PIXEL_GRAY, KX_DECONTAMINATE_INSIDE},
                                         AreaCase{KX_PIXEL_GRAY, KX_DECONTAMINATE_OUTSIDE},
                                         AreaCase{KX_PIXEL_BW, KX_DECONTAMINATE_INSIDE},
                                         AreaCase{KX_PIXEL_BW, KX_DECONTAMINATE_OUTSIDE}),
                         [](const testing::TestParamInfo<AreaCase>& info) {
                             const char* type = info.param.type == KX_PIXEL_RGB    ? "Rgb"
                                                : info.param.type == KX_PIXEL_GRAY ? "Gray"
                                                                                   : "Bw";
                             return std::string(type) + (info.param.area == KX_DECONTAMINATE_INSIDE
                                                             ? "Inside"
                                                             : "Outside");
                         });

TEST(Decontamination, RectangleBeyondTheImageIsClipped) {
    auto image = MakeImage(50, 50, KX_PIXEL_GRAY);
    ASSERT_EQ(KXImgProc_ImageDecontamination(image.get(), image.get(), KX_DECONTAMINATE_INSIDE, 40,
                                             40, 1000000, 2147483647, 0),
              0);
    EXPECT_EQ(PixelAt(image.get(), 49, 49).r, 0);
    EXPECT_EQ(PixelAt(image.get(), 39, 39).r, 255);

    auto outside = MakeImage(50, 50, KX_PIXEL_GRAY);
    ASSERT_EQ(KXImgProc_ImageDecontamination(outside.get(), outside.get(), KX_DECONTAMINATE_OUTSIDE,
                                             100, 100, 10, 10, 0),
              0);
    EXPECT_EQ(imgproc_test::CountPixelsNot(outside.get(), {0, 0, 0}, 0), 0);
}

TEST(Decontamination, SeparateDestinationGetsAPaintedCopy) {
    auto source = MakeImage(20, 20, KX_PIXEL_RGB, {10, 20, 30});
    auto destination = MakeImage(20, 20, KX_PIXEL_RGB);
    ASSERT_EQ(KXImgProc_ImageDecontamination(source.get(), destination.get(),
                                             KX_DECONTAMINATE_INSIDE, 0, 0, 5, 5, kGreen),
              0);
    EXPECT_TRUE(IsGreenish(PixelAt(destination.get(), 2, 2), KX_PIXEL_RGB));
    EXPECT_EQ(PixelAt(destination.get(), 10, 10).g, 20);
    EXPECT_EQ(PixelAt(source.get(), 2, 2).g, 20);
}

TEST(Decontamination, RejectsBadArguments) {
    auto image = MakeImage(20, 20, KX_PIXEL_RGB);
    auto other = MakeImage(21, 20, KX_PIXEL_RGB);
    KXImage i = image.get();
    EXPECT_NE(KXImgProc_ImageDecontamination(i, i, 3, 0, 0, 5, 5, 0), 0);
    EXPECT_NE(KXImgProc_ImageDecontamination(i, i, 0, 0, 0, 5, 5, 0), 0);
    EXPECT_NE(KXImgProc_ImageDecontamination(i, i, 1, 0, 0, 0, 5, 0), 0);
    EXPECT_NE(KXImgProc_ImageDecontamination(i, i, 1, 0, 0, 5, -1, 0), 0);
    EXPECT_NE(KXImgProc_ImageDecontamination(nullptr, i, 1, 0, 0, 5, 5, 0), 0);
    EXPECT_NE(KXImgProc_ImageDecontamination(i, other.get(), 1, 0, 0, 5, 5, 0), 0);
    EXPECT_EQ(imgproc_test::CountPixelsNot(i, {255, 255, 255}, 0), 0);
}

}  // namespace

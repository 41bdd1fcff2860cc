// Image handles: creation, conversion between pixel types, the region of
// interest, copies, clones and rotations.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image_test_util.h"
#include "platform/image/kx_image.h"

using namespace image_test;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// A colour as it reads back from an image of the given type.
uint32_t ColourAs(uint32_t rgb, uint32_t type) {
    ImagePtr colour = Create(1, 1, KX_PIXEL_RGB);
    SetPixelRgb(colour.get(), 0, 0, rgb);
    KXImage converted = nullptr;
    EXPECT_EQ(KXBase_CloneImage(colour.get(), type, 0, &converted), 0);
    ImagePtr holder(converted);
    return PixelRgb(converted, 0, 0);
}

TEST(ImageObject, NewImagesAreWhiteWithPaddedRows) {
    for (uint32_t type : {KX_PIXEL_BW, KX_PIXEL_GRAY, KX_PIXEL_RGB}) {
        ImagePtr image = Create(13, 5, type);
        KXImageInfo info = InfoOf(image.get());
        EXPECT_EQ(info.width, 13u);
        EXPECT_EQ(info.height, 5u);
        EXPECT_EQ(info.type, type);
        EXPECT_EQ(info.origin, 1u);
        uint32_t packed = type == KX_PIXEL_BW ? 2 : type == KX_PIXEL_RGB ? 39 : 13;
        EXPECT_GE(info.widthStep, packed);
        EXPECT_EQ(info.widthStep % 4, 0u);
        for (uint32_t y = 0; y < 5; ++y)
            for (uint32_t x = 0; x < 13; ++x)
                ASSERT_EQ(PixelRgb(image.get(), x, y), kWhite) << type << " " << x << "," << y;
    }
}

TEST(ImageObject, CreationRefusesBadArguments) {
    struct Case {
        uint32_t width, height, type, origin;
    } cases[] = {{0, 5, 4, 1}, {5, 0, 4, 1}, {5, 5, 3, 1}, {5, 5, 0, 1}, {5, 5, 4, 2}};
    for (const Case& c : cases) {
        KXImage image = reinterpret_cast<KXImage>(1);
        EXPECT_NE(KXBase_CreateImage(c.width, c.height, c.type, c.origin, &image), 0);
        EXPECT_EQ(image, nullptr);
    }
    EXPECT_NE(KXBase_CreateImage(5, 5, 4, 1, nullptr), 0);
}

TEST(ImageObject, NullHandlesFail) {
    KXImageInfo info;
    uint8_t* data;
    KXRect rect{0, 0, 1, 1};
    KXImage out;
    EXPECT_NE(KXBase_GetImageInfo(nullptr, &info), 0);
    EXPECT_NE(KXBase_GetImageData(nullptr, &data), 0);
    EXPECT_NE(KXBase_SetImageROI(nullptr, &rect), 0);
    EXPECT_NE(KXBase_CopyImage(nullptr, nullptr), 0);
    EXPECT_NE(KXBase_CloneImage(nullptr, 0, 0, &out), 0);
    EXPECT_NE(KXBase_ImageRotateLeft(nullptr, nullptr), 0);
    EXPECT_NE(KXBase_DestroyImage(nullptr), 0);
    EXPECT_NE(KXBase_DestroyBuffer(nullptr), 0);
    EXPECT_EQ(KXBase_GetBufferData(nullptr), nullptr);
    EXPECT_EQ(KXBase_GetBufferSize(nullptr), 0u);
}

// A driver page of 10 x 2 black-and-white pixels, 1 = black, packed most
// significant bit first, rows of 4 bytes (two bytes of padding).
TEST(ImageObject, FromBlackAndWhiteDriverPage) {
    const uint8_t rows[] = {0b10100000, 0b01000000, 0xAA, 0xAA,   // x = 0, 2, 9 black
                            0b01111111, 0b11000000, 0x55, 0x55};  // x = 1..9 black
    KXImageInfo source{10, 2, KX_PIXEL_BW, 4, 1};
    auto expectBlack = [](uint32_t x, uint32_t y) {
        return y == 0 ? (x == 0 || x == 2 || x == 9) : x >= 1;
    };
    for (uint32_t type : {KX_PIXEL_KEEP, KX_PIXEL_BW, KX_PIXEL_GRAY, KX_PIXEL_RGB}) {
        KXImage made = nullptr;
        ASSERT_EQ(KXBase_CreateImageFromData(rows, &source, nullptr, type, 1, &made), 0);
        ImagePtr image(made);
        EXPECT_EQ(InfoOf(image.get()).type, type == 0 ? KX_PIXEL_BW : type);
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < 10; ++x)
                EXPECT_EQ(PixelRgb(image.get(), x, y), expectBlack(x, y) ? 0u : kWhite)
                    << type << " " << x << "," << y;
    }
}

TEST(ImageObject, FromGreyAndColourPagesConverts) {
    const uint8_t grey[] = {0, 127, 128, 255};
    KXImageInfo greyInfo{4, 1, KX_PIXEL_GRAY, 4, 1};
    KXImage made = nullptr;
    ASSERT_EQ(KXBase_CreateImageFromData(grey, &greyInfo, nullptr, KX_PIXEL_BW, 1, &made), 0);
    ImagePtr bw(made);
    EXPECT_EQ(PixelRgb(bw.get(), 0, 0), 0u);
    EXPECT_EQ(PixelRgb(bw.get(), 1, 0), 0u);  // darker than 128 is black
    EXPECT_EQ(PixelRgb(bw.get(), 2, 0), kWhite);
    EXPECT_EQ(PixelRgb(bw.get(), 3, 0), kWhite);

    ASSERT_EQ(KXBase_CreateImageFromData(grey, &greyInfo, nullptr, KX_PIXEL_RGB, 1, &made), 0);
    ImagePtr rgb(made);
    EXPECT_EQ(PixelRgb(rgb.get(), 1, 0), Rgb(127, 127, 127));

    const uint8_t colour[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30};
    KXImageInfo colourInfo{4, 1, KX_PIXEL_RGB, 12, 1};
    ASSERT_EQ(KXBase_CreateImageFromData(colour, &colourInfo, nullptr, KX_PIXEL_GRAY, 1, &made), 0);
    ImagePtr luminance(made);
    EXPECT_EQ(PixelRgb(luminance.get(), 0, 0) & 0xFF, 77u);   // 0.299 of red
    EXPECT_EQ(PixelRgb(luminance.get(), 1, 0) & 0xFF, 149u);  // 0.587 of green
    EXPECT_EQ(PixelRgb(luminance.get(), 2, 0) & 0xFF, 29u);   // 0.114 of blue
    EXPECT_EQ(PixelRgb(luminance.get(), 3, 0) & 0xFF, 18u);
}

TEST(ImageObject, FromDataRefusesShortRowsAndUnknownTypes) {
    std::vector<uint8_t> pixels(64);
    KXImage made = reinterpret_cast<KXImage>(1);
    KXImageInfo shortRows{10, 2, KX_PIXEL_RGB, 29, 1};
    EXPECT_NE(KXBase_CreateImageFromData(pixels.data(), &shortRows, nullptr, 0, 1, &made), 0);
    EXPECT_EQ(made, nullptr);
    KXImageInfo unknown{4, 2, 0, 4, 1};
    EXPECT_NE(KXBase_CreateImageFromData(pixels.data(), &unknown, nullptr, 4, 1, &made), 0);
    KXImageInfo fine{4, 2, KX_PIXEL_GRAY, 4, 1};
    int reserved = 0;
    EXPECT_NE(KXBase_CreateImageFromData(pixels.data(), &fine, &reserved, 4, 1, &made), 0);
    EXPECT_NE(KXBase_CreateImageFromData(nullptr, &fine, nullptr, 4, 1, &made), 0);
}

TEST(ImageObject, RegionOfInterest) {
    ImagePtr image = Create(100, 50, KX_PIXEL_RGB);
    KXRect rect{};
    ASSERT_EQ(KXBase_GetImageROI(image.get(), &rect), 0);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 100);
    EXPECT_EQ(rect.bottom, 50);

    KXRect set{10, 20, 100, 50};
    ASSERT_EQ(KXBase_SetImageROI(image.get(), &set), 0);
    const KXRect refused[] = {{-1, 0, 10, 10}, {0, -1, 10, 10}, {0, 0, 101, 10},
                              {0, 0, 10, 51},  {5, 0, 5, 10},   {0, 7, 10, 7}};
    for (const KXRect& bad : refused)
        EXPECT_NE(KXBase_SetImageROI(image.get(), &bad), 0);
    ASSERT_EQ(KXBase_GetImageROI(image.get(), &rect), 0);
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.right, 100);

    ASSERT_EQ(KXBase_ResetImageROI(image.get()), 0);
    ASSERT_EQ(KXBase_GetImageROI(image.get(), &rect), 0);
    EXPECT_EQ(rect.right, 100);
    EXPECT_EQ(rect.left, 0);
}

TEST(ImageObject, CopyGoesFromSourceRegionIntoDestinationRegion) {
    ImagePtr source = Pattern(20, 10, KX_PIXEL_RGB);
    KXRect from{4, 2, 12, 8};  // 8 x 6
    ASSERT_EQ(KXBase_SetImageROI(source.get(), &from), 0);
    for (uint32_t type : {KX_PIXEL_RGB, KX_PIXEL_GRAY, KX_PIXEL_BW}) {
        ImagePtr canvas = Create(30, 30, type);
        KXRect to{10, 5, 15, 25};  // 5 x 20: only the top-left 5 x 6 overlap is copied
        ASSERT_EQ(KXBase_SetImageROI(canvas.get(), &to), 0);
        ASSERT_EQ(KXBase_CopyImage(source.get(), canvas.get()), 0);
        for (uint32_t y = 0; y < 30; ++y) {
            for (uint32_t x = 0; x < 30; ++x) {
                bool inside = x >= 10 && x < 15 && y >= 5 && y < 11;
                uint32_t want =
                    inside ? ColourAs(PatternPixel(x - 10 + 4, y - 5 + 2, 4), type) : kWhite;
                ASSERT_EQ(PixelRgb(canvas.get(), x, y), want) << type << " " << x << "," << y;
            }
        }
    }
}

TEST(ImageObject, CloneTakesTheRegionInTheRequestedType) {
    ImagePtr source = Pattern(17, 9, KX_PIXEL_BW);
    KXRect roi{3, 1, 14, 8};
    ASSERT_EQ(KXBase_SetImageROI(source.get(), &roi), 0);
    for (uint32_t type : {KX_PIXEL_KEEP, KX_PIXEL_BW, KX_PIXEL_GRAY, KX_PIXEL_RGB}) {
        KXImage made = nullptr;
        ASSERT_EQ(KXBase_CloneImage(source.get(), type, 0, &made), 0);
        ImagePtr clone(made);
        KXImageInfo info = InfoOf(clone.get());
        EXPECT_EQ(info.width, 11u);
        EXPECT_EQ(info.height, 7u);
        EXPECT_EQ(info.type, type == 0 ? KX_PIXEL_BW : type);
        KXRect whole{};
        KXBase_GetImageROI(clone.get(), &whole);
        EXPECT_EQ(whole.right, 11);  // the clone has no region of its own
        for (uint32_t y = 0; y < 7; ++y)
            for (uint32_t x = 0; x < 11; ++x)
                ASSERT_EQ(PixelRgb(clone.get(), x, y), PatternPixel(x + 3, y + 1, KX_PIXEL_BW));
    }
    KXImage made = nullptr;
    EXPECT_NE(KXBase_CloneImage(source.get(), 3, 0, &made), 0);
    EXPECT_NE(KXBase_CloneImage(source.get(), 0, 2, &made), 0);
    EXPECT_EQ(made, nullptr);
}

enum class Turn { kLeft, kRight, kHalf };

// Where source pixel (x, y) of a w x h image lands.
void Landing(Turn turn, uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t* dx,
             uint32_t* dy) {
    switch (turn) {
        case Turn::kLeft:  // counter-clockwise: the top-right corner goes to the top-left
            *dx = y;
            *dy = w - 1 - x;
            break;
        case Turn::kRight:  // clockwise: the bottom-left corner goes to the top-left
            *dx = h - 1 - y;
            *dy = x;
            break;
        case Turn::kHalf:
            *dx = w - 1 - x;
            *dy = h - 1 - y;
            break;
    }
}

TEST(ImageObject, RotationsMoveEveryPixel) {
    const uint32_t w = 19, h = 7;  // odd sizes exercise partial bytes of 1-bit rows
    for (uint32_t type : {KX_PIXEL_BW, KX_PIXEL_GRAY, KX_PIXEL_RGB}) {
        ImagePtr source = Pattern(w, h, type);
        for (Turn turn : {Turn::kLeft, Turn::kRight, Turn::kHalf}) {
            bool quarter = turn != Turn::kHalf;
            ImagePtr target = Create(quarter ? h : w, quarter ? w : h, type);
            auto rotate = turn == Turn::kLeft    ? KXBase_ImageRotateLeft
                          : turn == Turn::kRight ? KXBase_ImageRotateRight
                                                 : KXBase_ImageRotate180;
            ASSERT_EQ(rotate(source.get(), target.get()), 0);
            for (uint32_t y = 0; y < h; ++y) {
                for (uint32_t x = 0; x < w; ++x) {
                    uint32_t dx, dy;
                    Landing(turn, x, y, w, h, &dx, &dy);
                    ASSERT_EQ(PixelRgb(target.get(), dx, dy), PatternPixel(x, y, type))
                        << "type " << type << " turn " << static_cast<int>(turn);
                }
            }
        }
    }
}

TEST(ImageObject, RotationRefusesWrongSizeOrType) {
    ImagePtr source = Create(30, 20, KX_PIXEL_RGB);
    ImagePtr sameSize = Create(30, 20, KX_PIXEL_RGB);
    ImagePtr turned = Create(20, 30, KX_PIXEL_RGB);
    ImagePtr grey = Create(20, 30, KX_PIXEL_GRAY);
    EXPECT_NE(KXBase_ImageRotateLeft(source.get(), sameSize.get()), 0);
    EXPECT_NE(KXBase_ImageRotateRight(source.get(), grey.get()), 0);
    EXPECT_NE(KXBase_ImageRotate180(source.get(), turned.get()), 0);
    EXPECT_NE(KXBase_ImageRotate180(source.get(), source.get()), 0);
    EXPECT_EQ(KXBase_ImageRotate180(source.get(), sameSize.get()), 0);
}

TEST(ImageObject, ResolutionIsKeptAndFollowsClones) {
    ImagePtr image = Create(10, 10, KX_PIXEL_GRAY);
    uint32_t dpi = 1;
    ASSERT_EQ(KXBase_GetImageResolution(image.get(), &dpi), 0);
    EXPECT_EQ(dpi, 0u);
    ASSERT_EQ(KXBase_SetImageResolution(image.get(), 300), 0);
    KXImage made = nullptr;
    ASSERT_EQ(KXBase_CloneImage(image.get(), 0, 0, &made), 0);
    ImagePtr clone(made);
    ASSERT_EQ(KXBase_GetImageResolution(clone.get(), &dpi), 0);
    EXPECT_EQ(dpi, 300u);
}

}  // namespace

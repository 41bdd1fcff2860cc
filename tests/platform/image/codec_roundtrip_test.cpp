// Single-image saves and loads: every format written and read back, in every
// pixel type, with the stored type, the resolution and type conversions.
#include <gtest/gtest.h>

#include <string>

#include "image_test_util.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"

using namespace image_test;
using testing_support::TempDir;

namespace {

struct LosslessCase {
    const char* extension;
    uint32_t compression;  // TIFF only
};

const LosslessCase kLossless[] = {
    {"bmp", 0}, {"png", 0}, {"tif", KX_TIFF_NONE}, {"tif", KX_TIFF_LZW}};

TEST(CodecRoundTrip, LosslessFormatsKeepEveryPixelTypeAndResolution) {
    TempDir dir;
    for (const LosslessCase& c : kLossless) {
        for (uint32_t type : {KX_PIXEL_BW, KX_PIXEL_GRAY, KX_PIXEL_RGB}) {
            SCOPED_TRACE(std::string(c.extension) + " compression " +
                         std::to_string(c.compression) + " type " + std::to_string(type));
            ImagePtr source = Pattern(37, 23, type);  // odd width: padded rows
            KXBase_SetImageResolution(source.get(), 300);
            std::string path = dir.File("page." + std::string(c.extension));
            ImageSaveInfo info{80, c.compression, 80};
            ASSERT_EQ(KXImgFmt_SaveImage(source.get(), 0, &info, path.c_str()), 0);

            ImageFileInfo fileInfo{};
            KXImage made = nullptr;
            ASSERT_EQ(KXImgFmt_LoadImage(path.c_str(), 0, &fileInfo, 0, 1, &made), 0);
            ImagePtr loaded(made);
            EXPECT_EQ(fileInfo.width, 37u);
            EXPECT_EQ(fileInfo.height, 23u);
            EXPECT_EQ(fileInfo.type, type);
            EXPECT_EQ(InfoOf(loaded.get()).type, type);
            EXPECT_EQ(DifferentPixels(source.get(), loaded.get()), 0u);
            uint32_t dpi = 0;
            KXBase_GetImageResolution(loaded.get(), &dpi);
            EXPECT_EQ(dpi, 300u);
        }
    }
}

TEST(CodecRoundTrip, JpegStaysCloseToTheSource) {
    TempDir dir;
    ImagePtr photo = Photo(320, 200);
    KXBase_SetImageResolution(photo.get(), 150);
    std::string path = dir.File("photo.jpg");
    ImageSaveInfo info{95, 0, 0};
    ASSERT_EQ(KXImgFmt_SaveImage(photo.get(), 0, &info, path.c_str()), 0);
    ImagePtr loaded = Load(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(InfoOf(loaded.get()).type, KX_PIXEL_RGB);
    EXPECT_LT(MeanDifference(photo.get(), loaded.get()), 2.0);
    uint32_t dpi = 0;
    KXBase_GetImageResolution(loaded.get(), &dpi);
    EXPECT_EQ(dpi, 150u);

    ImagePtr grey = Load(path, KX_PIXEL_GRAY);
    ASSERT_NE(grey, nullptr);
    EXPECT_EQ(InfoOf(grey.get()).type, KX_PIXEL_GRAY);
}

TEST(CodecRoundTrip, LowerJpegQualityGivesSmallerFiles) {
    TempDir dir;
    ImagePtr photo = Photo(400, 300);
    std::string high = dir.File("high.jpg"), low = dir.File("low.jpg");
    ImageSaveInfo best{100, 0, 0}, poor{10, 0, 0};
    ASSERT_EQ(KXImgFmt_SaveImage(photo.get(), KX_FORMAT_JPEG, &best, high.c_str()), 0);
    ASSERT_EQ(KXImgFmt_SaveImage(photo.get(), KX_FORMAT_JPEG, &poor, low.c_str()), 0);
    EXPECT_LT(testing_support::ReadFile(low).size() * 3, testing_support::ReadFile(high).size());
}

TEST(CodecRoundTrip, LoadsConvertToTheRequestedType) {
    TempDir dir;
    ImagePtr colour = Create(4, 1, KX_PIXEL_RGB);
    SetPixelRgb(colour.get(), 0, 0, Rgb(0, 0, 0));
    SetPixelRgb(colour.get(), 1, 0, Rgb(255, 0, 0));  // luminance 77: black
    SetPixelRgb(colour.get(), 2, 0, Rgb(0, 255, 0));  // 149: white
    SetPixelRgb(colour.get(), 3, 0, Rgb(200, 200, 200));
    std::string path = dir.File("c.png");
    ASSERT_EQ(KXImgFmt_SaveImage(colour.get(), 0, nullptr, path.c_str()), 0);
    ImagePtr bw = Load(path, KX_PIXEL_BW);
    ASSERT_NE(bw, nullptr);
    EXPECT_EQ(PixelRgb(bw.get(), 0, 0), 0u);
    EXPECT_EQ(PixelRgb(bw.get(), 1, 0), 0u);
    EXPECT_EQ(PixelRgb(bw.get(), 2, 0), 0xFFFFFFu);
    EXPECT_EQ(PixelRgb(bw.get(), 3, 0), 0xFFFFFFu);
    ImagePtr grey = Load(path, KX_PIXEL_GRAY);
    ASSERT_NE(grey, nullptr);
    EXPECT_EQ(PixelRgb(grey.get(), 1, 0), Rgb(77, 77, 77));
}

TEST(CodecRoundTrip, InformationOnlyLoadsGiveTheSizeOfEveryFormat) {
    TempDir dir;
    ImagePtr source = Photo(61, 43);
    for (const char* extension : {"jpg", "bmp", "png", "tif", "pdf", "ofd"}) {
        std::string path = dir.File(std::string("info.") + extension);
        ASSERT_EQ(KXImgFmt_SaveImage(source.get(), 0, nullptr, path.c_str()), 0) << extension;
        ImageFileInfo info{};
        EXPECT_EQ(KXImgFmt_LoadImage(path.c_str(), 0, &info, 0, 0, nullptr), 0) << extension;
        EXPECT_EQ(info.width, 61u) << extension;
        EXPECT_EQ(info.height, 43u) << extension;
    }
}

TEST(CodecRoundTrip, SaveNeedsAKnownFormatAndLeavesNothingOnFailure) {
    TempDir dir;
    ImagePtr image = Create(8, 8, KX_PIXEL_GRAY);
    std::string odd = dir.File("page.xyz");
    EXPECT_NE(KXImgFmt_SaveImage(image.get(), 0, nullptr, odd.c_str()), 0);
    EXPECT_FALSE(testing_support::Exists(odd));
    std::string missingFolder = dir.path() + "no/such/folder/page.png";
    EXPECT_NE(KXImgFmt_SaveImage(image.get(), 0, nullptr, missingFolder.c_str()), 0);
    EXPECT_NE(KXImgFmt_SaveImage(nullptr, 0, nullptr, odd.c_str()), 0);
    // An explicit format wins over the extension.
    std::string named = dir.File("really-a-png.jpg");
    ASSERT_EQ(KXImgFmt_SaveImage(image.get(), KX_FORMAT_PNG, nullptr, named.c_str()), 0);
    uint32_t format = 0;
    ASSERT_EQ(KXImgFmt_GetImgFmtType(named.c_str(), &format), 0);
    EXPECT_EQ(format, static_cast<uint32_t>(KX_FORMAT_PNG));
}

TEST(CodecRoundTrip, SavesWriteTheWholeImageWhateverItsRegion) {
    TempDir dir;
    ImagePtr image = Pattern(40, 30, KX_PIXEL_GRAY);
    KXRect roi{5, 5, 15, 15};
    ASSERT_EQ(KXBase_SetImageROI(image.get(), &roi), 0);
    for (const char* name : {"r.png", "r.tif", "r.bmp", "r.pdf", "r.ofd"}) {
        std::string path = dir.File(name);
        ASSERT_EQ(KXImgFmt_SaveImage(image.get(), 0, nullptr, path.c_str()), 0) << name;
        ImageFileInfo info{};
        ASSERT_EQ(KXImgFmt_LoadImage(path.c_str(), 0, &info, 0, 0, nullptr), 0) << name;
        EXPECT_EQ(info.width, 40u) << name;
        EXPECT_EQ(info.height, 30u) << name;
    }
}

TEST(CodecRoundTrip, JpegToBuffer) {
    ImagePtr photo = Photo(64, 48);
    KXBuffer made = nullptr;
    ASSERT_EQ(KXImgFmt_SaveJpegImageToBuffer(photo.get(), nullptr, &made), 0);
    BufferPtr buffer(made);
    ASSERT_GT(KXBase_GetBufferSize(buffer.get()), 100u);
    const uint8_t* data = KXBase_GetBufferData(buffer.get());
    EXPECT_EQ(data[0], 0xFF);
    EXPECT_EQ(data[1], 0xD8);
    EXPECT_EQ(data[KXBase_GetBufferSize(buffer.get()) - 1], 0xD9);

    ImagePtr bw = Pattern(30, 30, KX_PIXEL_BW);
    ASSERT_EQ(KXImgFmt_SaveJpegImageToBuffer(bw.get(), nullptr, &made), 0);
    KXBase_DestroyBuffer(made);
    EXPECT_NE(KXImgFmt_SaveJpegImageToBuffer(nullptr, nullptr, &made), 0);
    EXPECT_EQ(made, nullptr);
}

// A preview keeps the physical size of its page: its resolution shrinks with
// its width, whichever format the page comes from and however it is reduced
// (JPEG and PDF pages are decoded reduced, OFD pages through their image).
TEST(CodecRoundTrip, PreviewsKeepThePhysicalSizeOfThePage) {
    TempDir dir;
    ImagePtr page = Photo(1240, 1754);  // A4 at 150 dpi
    KXBase_SetImageResolution(page.get(), 150);
    for (const char* extension : {"jpg", "pdf", "ofd", "png"}) {
        SCOPED_TRACE(extension);
        std::string path = dir.File("page." + std::string(extension));
        ASSERT_EQ(KXImgFmt_SaveImage(page.get(), 0, nullptr, path.c_str()), 0);
        for (uint32_t maxSide : {200u, 600u}) {
            KXImage made = nullptr;
            ASSERT_EQ(KXImgFmt_LoadImageScaled(path.c_str(), 0, maxSide, 0, 1, &made), 0);
            ImagePtr preview(made);
            KXImageInfo info = InfoOf(preview.get());
            ASSERT_EQ(info.height, maxSide);
            uint32_t dpi = 0;
            ASSERT_EQ(KXBase_GetImageResolution(preview.get(), &dpi), 0);
            // Width over resolution is the page's 1240 / 150 inches, within
            // the rounding of a whole-number resolution.
            double exact = 150.0 * info.width / 1240;
            EXPECT_NEAR(dpi, exact, 1.0) << "preview " << info.width << " wide";
        }
    }
}

}  // namespace

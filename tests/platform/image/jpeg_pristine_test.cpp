// An unmodified image loaded from a JPEG file keeps the file's bytes: saves
// and documents reuse them, anything that may change pixels drops them.
#include <gtest/gtest.h>

#include <string>

#include "image_test_util.h"
#include "platform/image/image_internal.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"

using namespace image_test;
using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

class JpegPristine : public testing::Test {
  protected:
    void SetUp() override {
        ImagePtr photo = Photo(200, 150);
        KXBase_SetImageResolution(photo.get(), 240);
        ImageSaveInfo info{85, 0, 0};
        path_ = dir_.File("scan.jpg");
        ASSERT_EQ(KXImgFmt_SaveImage(photo.get(), 0, &info, path_.c_str()), 0);
        bytes_ = ReadFile(path_);
    }

    bool IsPristine(KXImage image) {
        const uint8_t* data = nullptr;
        size_t size = 0;
        return KXImage_PristineJpeg(image, &data, &size) &&
               std::string(reinterpret_cast<const char*>(data), size) == bytes_;
    }

    std::string SaveAs(KXImage image, const char* name, uint32_t quality = 30) {
        std::string path = dir_.File(name);
        ImageSaveInfo info{quality, KX_TIFF_LZW, 80};
        EXPECT_EQ(KXImgFmt_SaveImage(image, 0, &info, path.c_str()), 0);
        return ReadFile(path);
    }

    TempDir dir_;
    std::string path_;
    std::string bytes_;
};

TEST_F(JpegPristine, JpegSavesAndBuffersReuseTheFileBytes) {
    ImagePtr image = Load(path_);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(IsPristine(image.get()));
    EXPECT_EQ(SaveAs(image.get(), "copy.jpg", 30), bytes_);  // whatever quality is asked for
    KXBuffer made = nullptr;
    ASSERT_EQ(KXImgFmt_SaveJpegImageToBuffer(image.get(), nullptr, &made), 0);
    BufferPtr buffer(made);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(KXBase_GetBufferData(buffer.get())),
                          KXBase_GetBufferSize(buffer.get())),
              bytes_);
    // Reading pixels for another format keeps the image pristine.
    SaveAs(image.get(), "copy.png");
    EXPECT_TRUE(IsPristine(image.get()));
}

TEST_F(JpegPristine, PdfAndOfdPagesCarryTheFileBytes) {
    ImagePtr image = Load(path_);
    ASSERT_NE(image, nullptr);
    std::string pdf = SaveAs(image.get(), "page.pdf");
    EXPECT_EQ(CountOf(pdf, bytes_), 1u);
    std::string ofdPath = dir_.File("page.ofd");
    ASSERT_EQ(KXImgFmt_SaveImage(image.get(), 0, nullptr, ofdPath.c_str()), 0);
    EXPECT_EQ(ReadZipEntry(ofdPath, "Doc_0/Res/Image_0.jpg"), bytes_);

    KXImgWriter writer = nullptr;
    std::string firstGeneration = dir_.File("v1.pdf");
    ASSERT_EQ(KXImgFmt_OpenPdfImageWriter(firstGeneration.c_str(), &writer), 0);
    ASSERT_EQ(KXImgFmt_SaveJpegImageToPdfImageWriter(writer, image.get(), nullptr), 0);
    ASSERT_EQ(KXImgFmt_SaveJpegImageToPdfImageWriter(writer, image.get(), nullptr), 0);
    ASSERT_EQ(KXImgFmt_ClosePdfImageWriter(writer), 0);
    EXPECT_EQ(CountOf(ReadFile(firstGeneration), bytes_), 2u);
}

TEST_F(JpegPristine, AnythingThatMayChangePixelsDropsTheBytes) {
    ImagePtr touched = Load(path_);
    uint8_t* data = nullptr;
    ASSERT_EQ(KXBase_GetImageData(touched.get(), &data), 0);
    data[0] ^= 0xFF;
    EXPECT_FALSE(IsPristine(touched.get()));
    EXPECT_NE(SaveAs(touched.get(), "touched.jpg"), bytes_);
    EXPECT_EQ(CountOf(SaveAs(touched.get(), "touched.pdf"), bytes_), 0u);

    ImagePtr pasted = Load(path_);
    ImagePtr patch = Create(10, 10, KX_PIXEL_RGB);
    ASSERT_EQ(KXBase_CopyImage(patch.get(), pasted.get()), 0);
    EXPECT_FALSE(IsPristine(pasted.get()));

    ImagePtr source = Load(path_);
    ImagePtr turned = Load(path_);
    ASSERT_EQ(KXBase_ImageRotate180(source.get(), turned.get()), 0);
    EXPECT_TRUE(IsPristine(source.get()));
    EXPECT_FALSE(IsPristine(turned.get()));
}

TEST_F(JpegPristine, RegionsAndWholeClonesKeepTheBytes) {
    ImagePtr image = Load(path_);
    KXRect roi{10, 10, 50, 50};
    ASSERT_EQ(KXBase_SetImageROI(image.get(), &roi), 0);
    EXPECT_TRUE(IsPristine(image.get()));
    KXImage part = nullptr;
    ASSERT_EQ(KXBase_CloneImage(image.get(), 0, 0, &part), 0);
    ImagePtr partHolder(part);
    EXPECT_FALSE(IsPristine(part));
    EXPECT_EQ(InfoOf(part).width, 40u);
    KXBase_ResetImageROI(image.get());
    KXImage whole = nullptr;
    ASSERT_EQ(KXBase_CloneImage(image.get(), 0, 0, &whole), 0);
    ImagePtr wholeHolder(whole);
    EXPECT_TRUE(IsPristine(whole));
    KXImage grey = nullptr;
    ASSERT_EQ(KXBase_CloneImage(image.get(), KX_PIXEL_GRAY, 0, &grey), 0);
    ImagePtr greyHolder(grey);
    EXPECT_FALSE(IsPristine(grey));
}

TEST_F(JpegPristine, LazyPixelsMatchAnEagerDecode) {
    ImagePtr lazy = Load(path_);
    KXImage eager = nullptr;  // a preview load as large as the image decodes at once
    ASSERT_EQ(KXImgFmt_LoadImageScaled(path_.c_str(), 0, 10000, 0, 1, &eager), 0);
    ImagePtr eagerHolder(eager);
    const uint8_t* data = nullptr;
    size_t size = 0;
    EXPECT_FALSE(KXImage_PristineJpeg(eager, &data, &size));
    EXPECT_EQ(MaxDifference(lazy.get(), eager), 0);
    EXPECT_TRUE(IsPristine(lazy.get()));
}

TEST_F(JpegPristine, GreyFilesStayPristineAsColourButNotTheOtherWay) {
    ImagePtr colour = Load(path_);
    std::string greyPath = dir_.File("grey.jpg");
    KXImage grey = nullptr;
    ASSERT_EQ(KXBase_CloneImage(colour.get(), KX_PIXEL_GRAY, 0, &grey), 0);
    ImagePtr greyHolder(grey);
    ASSERT_EQ(KXImgFmt_SaveImage(grey, 0, nullptr, greyPath.c_str()), 0);
    std::string greyBytes = ReadFile(greyPath);

    ImagePtr asColour = Load(greyPath, KX_PIXEL_RGB);
    const uint8_t* data = nullptr;
    size_t size = 0;
    EXPECT_TRUE(KXImage_PristineJpeg(asColour.get(), &data, &size));
    std::string pdf = SaveAs(asColour.get(), "grey.pdf");
    EXPECT_EQ(CountOf(pdf, greyBytes), 1u);
    EXPECT_EQ(CountOf(pdf, "/DeviceGray"), 1u);

    ImagePtr colourAsGrey = Load(path_, KX_PIXEL_GRAY);
    EXPECT_FALSE(KXImage_PristineJpeg(colourAsGrey.get(), &data, &size));
}

TEST_F(JpegPristine, ANewResolutionIsWrittenIntoTheCopiedBytes) {
    ImagePtr image = Load(path_);
    KXBase_SetImageResolution(image.get(), 600);
    std::string copy = SaveAs(image.get(), "dense.jpg");
    ASSERT_EQ(copy.size(), bytes_.size());
    EXPECT_EQ(copy.substr(20), bytes_.substr(20));
    ImagePtr reloaded = Load(dir_.File("dense.jpg"));
    uint32_t dpi = 0;
    KXBase_GetImageResolution(reloaded.get(), &dpi);
    EXPECT_EQ(dpi, 600u);
}

}  // namespace

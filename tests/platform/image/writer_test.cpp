// Multi-page writers: choice of format, failures, empty documents, and the
// preview loads that thumbnails use.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "fakes/faulty_file_system.h"
#include "image_test_util.h"
#include "platform/base/kx_files.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"

using namespace image_test;
using fakes::FaultyFileSystem;
using testing_support::Exists;
using testing_support::TempDir;

namespace {

TEST(Writers, FormatComesFromTheCodeOrTheExtension) {
    TempDir dir;
    ImagePtr image = Photo(40, 30);
    const std::pair<std::string, uint32_t> cases[] = {
        {"a.tif", 0}, {"b.PDF", 0}, {"c.ofd", 0}, {"d.bin", KX_FORMAT_PDF}, {"e", KX_FORMAT_TIFF}};
    for (const auto& [name, code] : cases) {
        std::string path = dir.File(name);
        KXImgWriter writer = nullptr;
        ASSERT_EQ(KXImgFmt_OpenImageWriter(path.c_str(), code, &writer), 0) << name;
        ASSERT_EQ(KXImgFmt_SaveImageToWriter(writer, image.get(), nullptr), 0);
        ASSERT_EQ(KXImgFmt_SaveImageToWriter(writer, image.get(), nullptr), 0);
        ASSERT_EQ(KXImgFmt_CloseImageWriter(writer), 0);
        uint32_t format = 0;
        ASSERT_EQ(KXImgFmt_GetImgFmtType(path.c_str(), &format), 0);
        EXPECT_NE(format, 0u) << name;
        EXPECT_NE(Load(path), nullptr) << name;
    }
    KXImgWriter writer = reinterpret_cast<KXImgWriter>(1);
    EXPECT_NE(KXImgFmt_OpenImageWriter(dir.File("f.jpg").c_str(), 0, &writer), 0);
    EXPECT_EQ(writer, nullptr);
    EXPECT_NE(KXImgFmt_OpenImageWriter(dir.File("g.png").c_str(), KX_FORMAT_PNG, &writer), 0);
    EXPECT_NE(KXImgFmt_OpenImageWriter((dir.path() + "no/such/h.pdf").c_str(), 0, &writer), 0);
    EXPECT_NE(KXImgFmt_OpenImageWriter(nullptr, 0, &writer), 0);
}

TEST(Writers, ClosingWithoutPagesLeavesNoFile) {
    TempDir dir;
    using Open = int (*)(const char*, KXImgWriter*);
    using Close = int (*)(KXImgWriter);
    const std::tuple<const char*, Open, Close> cases[] = {
        {"v1.tif", KXImgFmt_OpenTiffWriter, KXImgFmt_CloseTiffWriter},
        {"v1.pdf", KXImgFmt_OpenPdfImageWriter, KXImgFmt_ClosePdfImageWriter},
        {"v1.ofd", KXImgFmt_OpenOfdImageWriter, KXImgFmt_CloseOfdImageWriter},
    };
    for (const auto& [name, open, close] : cases) {
        std::string path = dir.File(name);
        KXImgWriter writer = nullptr;
        ASSERT_EQ(open(path.c_str(), &writer), 0) << name;
        EXPECT_NE(KXImgFmt_SaveImageToWriter(writer, nullptr, nullptr), 0);  // not a page
        EXPECT_NE(close(writer), 0) << name;
        EXPECT_FALSE(Exists(path)) << name;
    }
    for (const char* name : {"generic.tif", "generic.pdf", "generic.ofd"}) {
        std::string path = dir.File(name);
        KXImgWriter writer = nullptr;
        ASSERT_EQ(KXImgFmt_OpenImageWriter(path.c_str(), 0, &writer), 0);
        EXPECT_NE(KXImgFmt_CloseImageWriter(writer), 0);
        EXPECT_FALSE(Exists(path)) << name;
    }
    EXPECT_NE(KXImgFmt_CloseImageWriter(nullptr), 0);
}

// Every saved file, single images and documents alike, replaces the one at
// its path whole: a full disk, a failed flush or a refused rename leaves the
// previous file as it was.
TEST(Writers, AFailedSaveKeepsThePreviousFile) {
    TempDir dir;
    ImagePtr image = Photo(40, 30);
    const std::pair<int, FaultyFileSystem::Call> faults[] = {
        {ENOSPC, FaultyFileSystem::Call::kWrite},
        {EIO, FaultyFileSystem::Call::kSync},
        {EXDEV, FaultyFileSystem::Call::kRename},
    };
    for (const char* name : {"page.jpg", "page.png", "page.bmp", "doc.pdf", "doc.ofd"}) {
        std::string path = dir.File(name);
        testing_support::WriteFile(path, "previous");
        for (const auto& [error, call] : faults) {
            FaultyFileSystem faulty;
            faulty.Inject(call, error);
            kxbase::ScopedFileSystem scope(faulty);
            EXPECT_NE(KXImgFmt_SaveImage(image.get(), 0, nullptr, path.c_str()), 0) << name;
            EXPECT_EQ(testing_support::ReadFile(path), "previous") << name << " " << error;
        }
        for (const auto& [error, call] : faults) {
            FaultyFileSystem faulty;
            faulty.Inject(call, error);
            kxbase::ScopedFileSystem scope(faulty);
            KXImgWriter writer = nullptr;
            if (KXImgFmt_OpenImageWriter(path.c_str(), 0, &writer) != 0)
                continue;  // not a document
            ASSERT_EQ(KXImgFmt_SaveImageToWriter(writer, image.get(), nullptr), 0);
            EXPECT_NE(KXImgFmt_CloseImageWriter(writer), 0) << name;
            EXPECT_EQ(testing_support::ReadFile(path), "previous") << name << " " << error;
        }
        std::vector<std::string> names;
        KXBase_ListFiles(dir.path().c_str(), &names);
        EXPECT_EQ(names.size(), 1u) << name << ": a sibling was left behind";
        KXBase_DeleteFile(path.c_str());
    }
}

TEST(Writers, FirstGenerationWritersRefuseOtherWriters) {
    TempDir dir;
    ImagePtr image = Photo(16, 16);
    KXImgWriter tiff = nullptr;
    ASSERT_EQ(KXImgFmt_OpenTiffWriter(dir.File("a.tif").c_str(), &tiff), 0);
    EXPECT_NE(KXImgFmt_SaveJpegImageToPdfImageWriter(tiff, image.get(), nullptr), 0);
    EXPECT_NE(KXImgFmt_SaveJpegImageToOfdImageWriter(tiff, image.get(), nullptr), 0);
    EXPECT_EQ(KXImgFmt_SaveImageToTiffWriter(tiff, image.get(), nullptr), 0);
    EXPECT_EQ(KXImgFmt_CloseTiffWriter(tiff), 0);
}

TEST(Writers, ManyPagesInOrder) {
    TempDir dir;
    std::string path = dir.File("many.pdf");
    KXImgWriter writer = nullptr;
    ASSERT_EQ(KXImgFmt_OpenImageWriter(path.c_str(), 0, &writer), 0);
    for (uint32_t i = 1; i <= 12; ++i) {
        ImagePtr page = Create(10 * i, 20, KX_PIXEL_GRAY);
        ASSERT_EQ(KXImgFmt_SaveImageToWriter(writer, page.get(), nullptr), 0);
    }
    ASSERT_EQ(KXImgFmt_CloseImageWriter(writer), 0);
    std::vector<std::string> sizes = PdfPageSizes(path);
    ASSERT_EQ(sizes.size(), 12u);
    EXPECT_EQ(sizes[0], "3.6x7.2");
    EXPECT_EQ(sizes[11], "43.2x7.2");
}

TEST(PreviewLoad, LongSideBecomesTheLimit) {
    TempDir dir;
    ImagePtr page = Photo(1240, 1754);  // half an A4 page at 300 dpi
    for (const char* name : {"p.jpg", "p.png", "p.tif", "p.pdf"}) {
        std::string path = dir.File(name);
        ASSERT_EQ(KXImgFmt_SaveImage(page.get(), 0, nullptr, path.c_str()), 0);
        KXImage made = nullptr;
        ASSERT_EQ(KXImgFmt_LoadImageScaled(path.c_str(), 0, 240, 0, 1, &made), 0) << name;
        ImagePtr preview(made);
        EXPECT_EQ(InfoOf(preview.get()).width, 170u) << name;  // round(1240 * 240 / 1754)
        EXPECT_EQ(InfoOf(preview.get()).height, 240u) << name;
    }
    // The preview looks like the page reduced.
    ImagePtr reduced = Load(dir.File("p.png"));
    KXImage made = nullptr;
    ASSERT_EQ(KXImgFmt_LoadImageScaled(dir.File("p.jpg").c_str(), 0, 240, 0, 1, &made), 0);
    ImagePtr jpegPreview(made);
    ASSERT_EQ(KXImgFmt_LoadImageScaled(dir.File("p.png").c_str(), 0, 240, 0, 1, &made), 0);
    ImagePtr pngPreview(made);
    EXPECT_LT(MeanDifference(jpegPreview.get(), pngPreview.get()), 4.0);

    ImagePtr small = Photo(100, 50);
    std::string path = dir.File("small.jpg");
    ASSERT_EQ(KXImgFmt_SaveImage(small.get(), 0, nullptr, path.c_str()), 0);
    ASSERT_EQ(KXImgFmt_LoadImageScaled(path.c_str(), 0, 240, KX_PIXEL_GRAY, 1, &made), 0);
    ImagePtr same(made);
    EXPECT_EQ(InfoOf(same.get()).width, 100u);
    EXPECT_EQ(InfoOf(same.get()).type, KX_PIXEL_GRAY);
}

TEST(PreviewLoad, ThinImagesKeepAtLeastOnePixel) {
    TempDir dir;
    ImagePtr line = Create(1000, 1, KX_PIXEL_RGB);
    std::string path = dir.File("line.png");
    ASSERT_EQ(KXImgFmt_SaveImage(line.get(), 0, nullptr, path.c_str()), 0);
    KXImage made = nullptr;
    ASSERT_EQ(KXImgFmt_LoadImageScaled(path.c_str(), 0, 240, 0, 1, &made), 0);
    ImagePtr preview(made);
    EXPECT_EQ(InfoOf(preview.get()).width, 240u);
    EXPECT_EQ(InfoOf(preview.get()).height, 1u);
}

}  // namespace

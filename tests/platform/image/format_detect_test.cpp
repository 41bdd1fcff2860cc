// Format detection by content, never by extension.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "image_test_util.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"

using namespace image_test;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

uint32_t FormatOf(const std::string& path) {
    uint32_t format = 99;
    EXPECT_EQ(KXImgFmt_GetImgFmtType(path.c_str(), &format), 0) << path;
    return format;
}

TEST(FormatDetect, SavedFilesAreRecognisedWhateverTheirName) {
    TempDir dir;
    ImagePtr image = Photo(20, 10);
    const uint32_t formats[] = {KX_FORMAT_JPEG, KX_FORMAT_BMP, KX_FORMAT_PNG,
                                KX_FORMAT_TIFF, KX_FORMAT_PDF, KX_FORMAT_OFD};
    for (uint32_t format : formats) {
        std::string plain = dir.File("noextension" + std::to_string(format));
        ASSERT_EQ(KXImgFmt_SaveImage(image.get(), format, nullptr, plain.c_str()), 0);
        EXPECT_EQ(FormatOf(plain), format);
        std::string misleading = dir.File("misleading" + std::to_string(format) + ".jpg");
        ASSERT_EQ(KXImgFmt_SaveImage(image.get(), format, nullptr, misleading.c_str()), 0);
        EXPECT_EQ(FormatOf(misleading), format);
        // Loading with format 0 follows the content too.
        EXPECT_NE(Load(misleading), nullptr) << format;
    }
}

TEST(FormatDetect, MagicBytes) {
    TempDir dir;
    const std::pair<std::string, uint32_t> cases[] = {
        {std::string("\xFF\xD8\xFF\xE0", 4), KX_FORMAT_JPEG},
        {"BM", KX_FORMAT_BMP},
        {"\x89PNG\r\n\x1A\n", KX_FORMAT_PNG},
        {std::string("II*\0", 4), KX_FORMAT_TIFF},
        {std::string("MM\0*", 4), KX_FORMAT_TIFF},
        {"%PDF-1.7\n", KX_FORMAT_PDF},
        {"", KX_FORMAT_UNKNOWN},
        {"GIF89a", KX_FORMAT_UNKNOWN},
        {std::string("\xFF\xD8", 2), KX_FORMAT_UNKNOWN},
        {"hello, world", KX_FORMAT_UNKNOWN},
        {"PK\x03\x04 not really a zip", KX_FORMAT_UNKNOWN},
    };
    int i = 0;
    for (const auto& [bytes, format] : cases) {
        std::string path = dir.File("magic" + std::to_string(i++));
        WriteFile(path, bytes);
        EXPECT_EQ(FormatOf(path), format) << i;
    }
}

TEST(FormatDetect, OnlyAZipHoldingOfdXmlIsAnOfd) {
    TempDir dir;
    std::string plainZip = dir.File("archive.ofd");
    WriteZip(plainZip, {{"readme.txt", "hello"}});
    EXPECT_EQ(FormatOf(plainZip), static_cast<uint32_t>(KX_FORMAT_UNKNOWN));
    EXPECT_EQ(Load(plainZip), nullptr);
    KXImage image = nullptr;
    EXPECT_NE(KXImgFmt_LoadImage(plainZip.c_str(), KX_FORMAT_OFD, nullptr, 0, 1, &image), 0);
    EXPECT_EQ(image, nullptr);

    std::string ofd = dir.File("doc");
    WriteZip(ofd, {{"OFD.xml", "<ofd:OFD/>"}});
    EXPECT_EQ(FormatOf(ofd), static_cast<uint32_t>(KX_FORMAT_OFD));
}

TEST(FormatDetect, MissingFilesAndBadArgumentsFail) {
    TempDir dir;
    uint32_t format = 99;
    EXPECT_NE(KXImgFmt_GetImgFmtType((dir.path() + "absent.jpg").c_str(), &format), 0);
    EXPECT_EQ(format, 0u);
    EXPECT_NE(KXImgFmt_GetImgFmtType(nullptr, &format), 0);
    EXPECT_NE(KXImgFmt_GetImgFmtType(dir.path().c_str(), &format), 0);  // a folder
    // A pipe with no writer would block a reader forever.
    std::string pipe = dir.File("pipe.jpg");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_NE(KXImgFmt_GetImgFmtType(pipe.c_str(), &format), 0);
    EXPECT_EQ(Load(pipe), nullptr);
    KXImage image = nullptr;
    EXPECT_NE(KXImgFmt_LoadImage(pipe.c_str(), KX_FORMAT_OFD, nullptr, 0, 1, &image), 0);
}

}  // namespace

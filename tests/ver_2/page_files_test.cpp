// New file names and page files: the two name forms, names that never repeat
// (also across threads within one millisecond), the save settings taken from
// the global settings, files written whole in every format, and searchable
// scan pages that hold the picture the plain format would.
#include "ver_2/page_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "platform/image/image_test_util.h"
#include "support/temp_dir.h"
#include "tests/platform/image/proc/page_maker.h"

namespace ver_2 {
namespace {

using testing_support::Exists;
using testing_support::TempDir;

// Whether path is folder followed by a name of the shape of pattern, where
// '#' stands for any decimal digit, 'x' for any lower-case hexadecimal digit
// and every other character for itself.
bool HasShape(const std::string& path, const std::string& folder, const std::string& pattern) {
    if (path.rfind(folder, 0) != 0) return false;
    std::string name = path.substr(folder.size());
    if (name.size() != pattern.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        bool digit = c >= '0' && c <= '9';
        bool fits = pattern[i] == '#'   ? digit
                    : pattern[i] == 'x' ? digit || (c >= 'a' && c <= 'f')
                                        : c == pattern[i];
        if (!fits) return false;
    }
    return true;
}

TEST(PageFiles, NamesHaveTheFolderPrefixStemAndExtension) {
    TempDir root;
    std::string folder = root.path() + "new/";
    std::string random = MakeUniqueFileName(folder, "P", "random", "png");
    EXPECT_TRUE(HasShape(random, folder, "Pxxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx.png")) << random;
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    for (const char* mode : {"date_time", "anything else"}) {
        std::string dated = MakeUniqueFileName(folder, "", mode, "jpg");
        EXPECT_TRUE(HasShape(dated, folder, "20###############.jpg")) << dated;
    }
}

TEST(PageFiles, NamesNeverRepeatAcrossThreadsEvenBeforeTheFilesExist) {
    TempDir root;
    std::mutex mutex;
    std::set<std::string> names;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                std::string name = MakeUniqueFileName(root.path(), "same", "date_time", "jpg");
                std::lock_guard guard(mutex);
                names.insert(name);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(names.size(), 80u);
    // An existing file is never named again.
    std::string taken = MakeUniqueFileName(root.path(), "x", "date_time", "jpg");
    testing_support::WriteFile(taken, "taken");
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(MakeUniqueFileName(root.path(), "x", "date_time", "jpg"), taken);
}

TEST(PageFiles, SaveSettingsFollowTheGlobalSettings) {
    GlobalConfig config;
    config.imageFormat = "ocr-pdf";
    config.imageJpegQuality = 55;
    config.imageTiffCompression = "jpeg";
    config.imageTiffJpegQuality = 66;
    PageSaveSettings settings = PageSaveSettingsFor(config);
    EXPECT_EQ(settings.extension, "pdf");
    EXPECT_TRUE(settings.ocr);
    EXPECT_EQ(settings.info.jpegQuality, 55u);
    EXPECT_EQ(settings.info.tiffCompression, 7u);
    EXPECT_EQ(settings.info.tiffJpegQuality, 66u);
    config.imageFormat = "ocr-ofd";
    EXPECT_EQ(PageSaveSettingsFor(config).extension, "ofd");
    config.imageFormat = "tif";
    EXPECT_FALSE(PageSaveSettingsFor(config).ocr);
    EXPECT_EQ(PageSaveSettingsFor(config).extension, "tif");
    EXPECT_EQ(TiffCompressionCode("none"), 1u);
    EXPECT_EQ(TiffCompressionCode("ccitt-g4"), 4u);
    EXPECT_EQ(TiffCompressionCode("lzw"), 5u);
    EXPECT_EQ(TiffCompressionCode("LZW "), 5u);
}

TEST(PageFiles, PagesAreWrittenInEveryFormatAndFailuresLeaveNothing) {
    TempDir root;
    KXImage image = nullptr;
    ASSERT_EQ(KXBase_CreateImage(64, 48, KX_PIXEL_RGB, KX_ORIGIN_TOP_LEFT, &image), 0);
    const struct {
        const char* format;
        uint32_t code;
    } cases[] = {{"jpg", KX_FORMAT_JPEG}, {"bmp", KX_FORMAT_BMP}, {"png", KX_FORMAT_PNG},
                 {"tif", KX_FORMAT_TIFF}, {"pdf", KX_FORMAT_PDF}, {"ofd", KX_FORMAT_OFD}};
    for (const auto& c : cases) {
        GlobalConfig config;
        config.imageFormat = c.format;
        config.imageTiffCompression = "none";
        PageSaveSettings settings = PageSaveSettingsFor(config);
        std::string path = MakeUniqueFileName(root.path(), "p", "random", settings.extension);
        ASSERT_EQ(WritePageFile(image, settings, path), 0) << c.format;
        uint32_t format = 0;
        EXPECT_EQ(KXImgFmt_GetImgFmtType(path.c_str(), &format), 0);
        EXPECT_EQ(format, c.code) << c.format;
        EXPECT_FALSE(Exists(path + ".part"));
    }
    GlobalConfig config;
    config.imageFormat = "gif";
    std::string path = root.path() + "p.gif";
    EXPECT_EQ(WritePageFile(image, PageSaveSettingsFor(config), path), -1);
    config.imageFormat = "jpg";
    path = root.path() + "missing/p.jpg";
    EXPECT_EQ(WritePageFile(image, PageSaveSettingsFor(config), path), -1);
    EXPECT_EQ(WritePageFile(nullptr, PageSaveSettingsFor(config), root.path() + "n.jpg"), -1);
    EXPECT_FALSE(Exists(root.path() + "n.jpg"));
    KXBase_DestroyImage(image);
}

// The page picture of a one-page PDF in its own encoding (JPEG bytes, CCITT
// data), and the encoding column of `pdfimages -list`.
struct PdfPicture {
    std::string encoding;
    std::string bytes;
};

PdfPicture PdfPictureOf(const std::string& pdf, const std::string& scratch) {
    std::string list = image_test::RunCommand("pdfimages -list '" + pdf + "' 2>/dev/null");
    std::istringstream rows(list);
    std::string line, column;
    for (int row = 0; row < 3; ++row)
        std::getline(rows, line);  // two header lines, then page 1
    std::istringstream cells(line);
    for (int i = 0; i < 9 && cells >> column;)
        ++i;
    std::filesystem::create_directories(scratch);
    image_test::RunCommand("pdfimages -all '" + pdf + "' '" + scratch + "/i' 2>/dev/null");
    std::string bytes;
    for (const auto& entry : std::filesystem::directory_iterator(scratch)) {
        bytes = testing_support::ReadFile(entry.path().string());
    }
    std::filesystem::remove_all(scratch);
    return {column, bytes};
}

// A scanned page in a searchable format holds the picture the plain format
// would hold (JPEG at the configured quality, CCITT G4 or PNG for black and
// white), not a lossless one many times the size; the words go over it.
TEST(PageFiles, SearchableScanPagesHoldThePlainFormatsPicture) {
    TempDir root;
    imgproc_test::Image colour = imgproc_test::MakeTextPage(600, 240, KX_PIXEL_RGB, 28, 200);
    imgproc_test::AddNoise(colour.get(), 6.0, 7);
    imgproc_test::Image blackAndWhite = imgproc_test::MakeTextPage(600, 240, KX_PIXEL_BW, 28, 200);
    const struct {
        const char* format;
        KXImage page;
        const char* picture;  // pdfimages encoding, or the OFD picture's name
    } cases[] = {{"ocr-pdf", colour.get(), "jpeg"},
                 {"ocr-pdf", blackAndWhite.get(), "ccitt"},
                 {"ocr-ofd", colour.get(), "Doc_0/Res/Image_0.jpg"},
                 {"ocr-ofd", blackAndWhite.get(), "Doc_0/Res/Image_0.png"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + (c.page == colour.get() ? " colour" : " 1-bit"));
        GlobalConfig config;
        config.imageFormat = c.format;
        config.imageJpegQuality = 37;
        PageSaveSettings searchable = PageSaveSettingsFor(config);
        config.imageFormat = searchable.extension;
        PageSaveSettings plain = PageSaveSettingsFor(config);
        std::string path = MakeUniqueFileName(root.path(), "s", "random", searchable.extension);
        std::string plainPath = MakeUniqueFileName(root.path(), "p", "random", plain.extension);
        ASSERT_EQ(WritePageFile(c.page, searchable, path), 0);
        ASSERT_EQ(WritePageFile(c.page, plain, plainPath), 0);
        if (searchable.extension == "pdf") {
            PdfPicture written = PdfPictureOf(path, root.path() + "a");
            EXPECT_EQ(written.encoding, c.picture);
            EXPECT_FALSE(written.bytes.empty());
            EXPECT_TRUE(written.bytes == PdfPictureOf(plainPath, root.path() + "b").bytes);
            EXPECT_NE(
                image_test::RunCommand("pdftotext '" + path + "' - 2>/dev/null").find("Quarterly"),
                std::string::npos);
        } else {
            std::string picture = image_test::ReadZipEntry(path, c.picture);
            EXPECT_FALSE(picture.empty());
            EXPECT_TRUE(picture == image_test::ReadZipEntry(plainPath, c.picture));
            std::string content = image_test::ReadZipEntry(path, "Doc_0/Pages/Page_0/Content.xml");
            EXPECT_NE(content.find("TextObject"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace ver_2

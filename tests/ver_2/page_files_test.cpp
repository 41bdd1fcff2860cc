// New file names and page files: the two name forms, names that never repeat
// (also across threads within one millisecond), the save settings taken from
// the global settings, and files written whole in every format.
#include "ver_2/page_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "support/temp_dir.h"

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

}  // namespace
}  // namespace ver_2

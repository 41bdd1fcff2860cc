// Files, bytes, Base64 and data URLs: formats named by content, prefixes
// mapped to extensions, and bad input refused without leaving files behind.
#include "ver_2/image_conversions.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "platform/base/kx_pump.h"
#include "platform/base/kx_system.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"
#include "ver_2/manager_fixture.h"
#include "ver_2/manager_v2.h"

namespace ver_2 {
namespace {

using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string Base64(const std::string& bytes) {
    std::string text;
    BytesToBase64(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), text);
    return text;
}

// Every regular file under folder, recursively.
std::vector<std::string> FilesUnder(const std::string& folder) {
    std::vector<std::string> files;
    if (!std::filesystem::exists(folder)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path().string());
    }
    return files;
}

class ImageConversions : public PrivateTreeManager {
  protected:
    ImageConversions() { Restart(); }

    // A small image saved in the format the extension names, under name.
    std::string MakeImage(const std::string& name, uint32_t format) {
        KXImage image = nullptr;
        EXPECT_EQ(KXBase_CreateImage(8, 6, KX_PIXEL_RGB, KX_ORIGIN_TOP_LEFT, &image), 0);
        std::string path = root_.File("in/" + name);
        EXPECT_EQ(KXImgFmt_SaveImage(image, format, nullptr, path.c_str()), 0);
        KXBase_DestroyImage(image);
        return path;
    }
};

TEST_F(ImageConversions, DataUrlPrefixFollowsTheContentNotTheExtension) {
    const struct {
        uint32_t format;
        const char* name;
        const char* prefix;
    } cases[] = {
        {KX_FORMAT_PNG, "png-named.jpg", "data:image/png;base64,"},
        {KX_FORMAT_JPEG, "jpeg-without-extension", "data:image/jpeg;base64,"},
        {KX_FORMAT_BMP, "a.bmp", "data:image/bmp;base64,"},
        {KX_FORMAT_TIFF, "a.tif", "data:image/tiff;base64,"},
        {KX_FORMAT_PDF, "a.pdf", "data:image/pdf;base64,"},
        {KX_FORMAT_OFD, "a.ofd", "data:image/ofd;base64,"},
    };
    for (const auto& c : cases) {
        std::string path = MakeImage(c.name, c.format);
        std::string url;
        ErrorInfo error;
        ASSERT_EQ(ImageFileToDataUrl(path, url, error), 0) << c.name;
        EXPECT_EQ(url, c.prefix + Base64(ReadFile(path))) << c.name;
    }
}

TEST_F(ImageConversions, FilesThatAreNoImagesAreRefused) {
    std::string empty = root_.File("in/empty.jpg");
    WriteFile(empty, "");
    std::string text = root_.File("in/text.png");
    WriteFile(text, "not an image");
    std::string fifo = root_.File("in/pipe.jpg");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> refused[] = {
        {empty, "file is empty: " + empty},
        {text, "unsupported image format: " + text},
        {fifo, "not a regular file: " + fifo},
        {root_.path() + "in", "not a regular file: " + root_.path() + "in"},
        {root_.path() + "missing.jpg", "file not found: " + root_.path() + "missing.jpg"},
        {std::string(), "no file path given"},
    };
    for (const auto& [path, detail] : refused) {
        std::string url = "stale";
        ErrorInfo error;
        EXPECT_EQ(ImageFileToDataUrl(path, url, error), -1) << path;
        EXPECT_EQ(url, "");
        EXPECT_EQ(error.text, "错误");
        EXPECT_EQ(error.detail, detail);
        std::string extension = "stale";
        EXPECT_TRUE(ReadImageFile(path, extension).empty()) << path;
        EXPECT_EQ(extension, "");
    }
    std::string base64 = "stale";
    EXPECT_EQ(FileToBase64(empty, base64), -1);
    EXPECT_EQ(base64, "");
    EXPECT_EQ(FileToBase64(text, base64), 0);  // any file, not only images
    EXPECT_EQ(base64, Base64("not an image"));
}

TEST_F(ImageConversions, DataUrlsBecomeFilesNamedByTheirPrefix) {
    const struct {
        const char* prefix;
        const char* extension;
    } cases[] = {
        {"data:image/jpeg;base64,", "jpg"}, {"data:image/bmp;base64,", "bmp"},
        {"data:image/png;base64,", "png"},  {"data:image/tiff;base64,", "tif"},
        {"data:image/pdf;base64,", "pdf"},  {"data:image/ofd;base64,", "ofd"},
        {"data:image/gif;base64,", "jpg"},  {"anything,", "jpg"},
    };
    for (const auto& c : cases) {
        std::string path;
        ErrorInfo error;
        ASSERT_EQ(DataUrlToImageFile(manager_->outputs(), std::string(c.prefix) + Base64("picture"),
                                     false, path, error),
                  0)
            << c.prefix;
        EXPECT_EQ(path.substr(0, SaveFolder().size()), SaveFolder());
        EXPECT_EQ(path.substr(path.size() - 4), std::string(".") + c.extension);
        EXPECT_EQ(ReadFile(path), "picture");
        EXPECT_EQ(manager_->saveFilenames().back(), path);
    }
    // Temporary files go to the temporary folder and are not recorded.
    size_t recorded = manager_->saveFilenames().size();
    std::string path;
    ErrorInfo error;
    ASSERT_EQ(DataUrlToImageFile(manager_->outputs(), "data:image/png;base64," + Base64("t"), true,
                                 path, error),
              0);
    EXPECT_EQ(path.substr(0, root_.path().size() + 4), root_.path() + "tmp/");
    EXPECT_EQ(manager_->saveFilenames().size(), recorded);
}

TEST_F(ImageConversions, BadDataUrlsLeaveNoFile) {
    const std::pair<std::string, std::string> bad[] = {
        {"", "no data URL given"},
        {"no comma at all", "not a data URL: it has no comma"},
        {"data:image/png;base64,", "the data URL holds no data"},
        {"data:image/png;base64,@@@@", "the data URL's Base64 is invalid"},
        {"data:image/png;base64,QUJD=A", "the data URL's Base64 is invalid"},
        {std::string("data:image/png;base64,\0QUJD", 27), "the data URL holds no data"},
    };
    for (const auto& [text, detail] : bad) {
        std::string path = "stale";
        ErrorInfo error;
        EXPECT_EQ(DataUrlToImageFile(manager_->outputs(), text, false, path, error), -1) << text;
        EXPECT_EQ(path, "");
        EXPECT_EQ(error.text, "错误");
        EXPECT_EQ(error.detail, detail) << text;
    }
    EXPECT_TRUE(FilesUnder(SaveFolder()).empty());
    EXPECT_TRUE(manager_->saveFilenames().empty());
}

TEST_F(ImageConversions, DataUrlBytesNeedOneOfTheSixPrefixes) {
    std::string extension;
    std::vector<uint8_t> bytes =
        DataUrlToBytes("data:image/tiff;base64," + Base64("tiff"), extension);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "tiff");
    EXPECT_EQ(extension, "tif");
    for (const std::string& text :
         {"data:image/gif;base64," + Base64("gif"), "DATA:IMAGE/PNG;BASE64," + Base64("x"),
          std::string("data:image/png;base64,"), std::string("data:image/png;base64,%%%"),
          std::string("no comma")}) {
        extension = "stale";
        EXPECT_TRUE(DataUrlToBytes(text, extension).empty()) << text;
        EXPECT_EQ(extension, "");
    }
}

TEST_F(ImageConversions, Base64FilesAreWrittenWholeOrNotAtAll) {
    std::string target = root_.File("out/file.bin");
    EXPECT_EQ(Base64ToFile("", target), -1);
    EXPECT_EQ(Base64ToFile("!!!!", target), -1);
    EXPECT_FALSE(Exists(target));
    EXPECT_EQ(Base64ToFile(Base64("content") + "\r\n", target), 0);
    EXPECT_EQ(ReadFile(target), "content");
    EXPECT_EQ(Base64ToFile("\n", target), 0);  // decodes to nothing: an empty file
    EXPECT_EQ(ReadFile(target), "");

    // A failed write keeps what was there and leaves no partial file.
    WriteFile(target, "old");
    std::string folder = root_.path() + "out/folder";
    std::filesystem::create_directories(folder);
    const uint8_t data[] = {1, 2, 3};
    EXPECT_FALSE(WriteBytesToFile(data, sizeof data, folder));
    EXPECT_FALSE(WriteBytesToFile(data, sizeof data, root_.path() + "missing/dir/file"));
    EXPECT_TRUE(WriteBytesToFile(data, sizeof data, target));
    EXPECT_EQ(ReadFile(target), std::string("\1\2\3"));
    EXPECT_EQ(FilesUnder(root_.path() + "out").size(), 1u);
}

}  // namespace
}  // namespace ver_2

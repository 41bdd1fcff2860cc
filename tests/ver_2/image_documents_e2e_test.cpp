// Multi-page documents and ZIP archives end to end: page counts and
// compression read by tiffinfo and pdfinfo, JPEG pages embedded unchanged,
// OFD pages, ZIP entry names and contents of the local, Base64 and batch
// variants, and nothing left behind when nothing could be written.

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"
#include "ver_2/image_command_fixture.h"

namespace testing_support {
namespace {

using ImageDocuments = ImageCommandTest;

int CountOccurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The "Pages:" figure of pdfinfo's output, -1 when there is none.
int PdfPages(const std::string& info) {
    size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

class ImageDocumentsWithPages : public ImageCommandTest {
  protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            Image page = imgproc_test::MakeTextPage(400 + 40 * i, 300, KX_PIXEL_RGB, 20, 100);
            pages_.push_back(WriteJpeg(page.get(), "page" + std::to_string(i) + ".jpg"));
        }
    }

    // A multi-page document of the three pages with the given members.
    std::string MakeDocument(const std::string& members) {
        Json reply = Command("local_make_multi_image",
                             members + R"("image_path_list":)" + JsonArray(pages_));
        EXPECT_EQ(JsonNumber(reply, "ret"), 0) << members;
        return JsonString(reply, "image_path");
    }

    std::vector<std::string> pages_;
};

TEST_F(ImageDocumentsWithPages, TiffHasOnePagePerImageInEachCompression) {
    Start();
    const struct {
        const char* members;
        const char* scheme;
    } cases[] = {
        {"", "LZW"},
        {R"("format":"tif","tiff_compression":"none",)", "None"},
        {R"("format":"tif","tiff_compression":"lzw",)", "LZW"},
        {R"("format":"tif","tiff_compression":"jpeg","tiff_jpeg_quality":30,)", "JPEG"},
        {R"("format":"tif","tiff_compression":"ccitt-g4",)", "CCITT Group 4"},
    };
    for (const auto& c : cases) {
        std::string path = MakeDocument(c.members);
        EXPECT_EQ(path.substr(path.size() - 4), ".tif");
        std::string info = Shell("tiffinfo '" + path + "' 2>&1");
        EXPECT_EQ(CountOccurrences(info, "TIFF Directory at offset"), 3) << info;
        EXPECT_EQ(CountOccurrences(info, std::string("Compression Scheme: ") + c.scheme + "\n"), 3)
            << c.members << info;
        EXPECT_EQ(CountOccurrences(info, "Image Width: 440 Image Length: 300"), 1) << info;
    }
    EXPECT_EQ(StoredSavedFiles().size(), 5u);
}

TEST_F(ImageDocumentsWithPages, PdfEmbedsUnchangedJpegPagesAndOfdHoldsEveryPage) {
    Start();
    std::string pdf = MakeDocument(R"("format":"pdf","tiff_compression":"ccitt-g4",)");
    int status = 0;
    std::string info = Shell("pdfinfo '" + pdf + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << info;
    EXPECT_EQ(PdfPages(info), 3) << info;
    // The pages are the input files' own JPEG streams.
    std::string folder = home_.root().path() + "extracted/";
    Shell("mkdir -p '" + folder + "' && pdfimages -j '" + pdf + "' '" + folder + "p'");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ReadFile(folder + "p-00" + std::to_string(i) + ".jpg"), ReadFile(pages_[i])) << i;
    }

    std::string ofd = MakeDocument(R"("format":"ofd",)");
    std::vector<std::string> names;
    for (const auto& [name, bytes] : ZipContents(ofd))
        names.push_back(name);
    for (int i = 0; i < 3; ++i) {
        std::string content = "Doc_0/Pages/Page_" + std::to_string(i) + "/Content.xml";
        EXPECT_NE(std::find(names.begin(), names.end(), content), names.end()) << content;
    }
    EXPECT_EQ(std::find(names.begin(), names.end(), "Doc_0/Pages/Page_3/Content.xml"), names.end());
}

TEST_F(ImageDocumentsWithPages, BadDocumentsFailAndLeaveNoFile) {
    Start();
    std::string text = InputFolder() + "text.jpg";
    WriteFile(text, "not a picture");
    const std::string requests[] = {
        R"("format":"jpg","image_path_list":)" + JsonArray(pages_),
        R"("format":"PDF","image_path_list":)" + JsonArray(pages_),
        R"("tiff_compression":"zip","image_path_list":)" + JsonArray(pages_),
        R"("format":"pdf","tiff_compression":"","image_path_list":)" + JsonArray(pages_),
        R"("tiff_jpeg_quality":101,"image_path_list":)" + JsonArray(pages_),
        R"("tiff_jpeg_quality":-1,"image_path_list":)" + JsonArray(pages_),
        R"("image_path_list":[])",
        R"("image_path_list":")" + pages_[0] + "\"",
        R"("format":"pdf","image_path_list":)" + JsonArray({text, InputFolder(), ""}),
        R"("format":"ofd","image_path_list":)" + JsonArray({text}),
    };
    for (const std::string& request : requests) {
        Json reply = Command("local_make_multi_image", request);
        EXPECT_EQ(JsonKeys(reply),
                  (std::vector<std::string>{"func", "ret", "err_info", "err_detail"}))
            << request;
        EXPECT_EQ(JsonString(reply, "err_info"), "错误");
    }
    EXPECT_TRUE(SavedFiles().empty());
    EXPECT_TRUE(TemporaryFiles().empty());
    EXPECT_TRUE(StoredSavedFiles().empty());

    // Pages that do not load are left out of a document.
    Json partial =
        Command("local_make_multi_image", R"("format":"pdf","get_base64":true,"image_path_list":)" +
                                              JsonArray({text, pages_[1], ""}));
    ASSERT_EQ(JsonNumber(partial, "ret"), 0);
    EXPECT_EQ(PdfPages(Shell("pdfinfo '" + JsonString(partial, "image_path") + "'")), 1);
    EXPECT_EQ(JsonString(partial, "image_base64").rfind("data:image/pdf;base64,", 0), 0u);
}

TEST_F(ImageDocuments, LocalZipEntriesTakeTheFilesOwnNames) {
    Start();
    std::string picture = SolidPng(4, 4, {1, 2, 3}, "a.png");
    std::string notes = InputFolder() + "notes.txt";
    WriteFile(notes, "any file at all");
    std::string first = home_.root().File("inputs/one/same.bin");
    std::string second = home_.root().File("inputs/two/same.bin");
    WriteFile(first, "first");
    WriteFile(second, "second");
    Json reply = Command("local_make_zip_file",
                         R"("file_path_list":)" + JsonArray({picture, InputFolder() + "missing",
                                                             notes, InputFolder(), first, second}));
    ASSERT_EQ(JsonNumber(reply, "ret"), 0);
    EXPECT_EQ(JsonKeys(reply), (std::vector<std::string>{"func", "ret", "zip_path"}));
    std::string path = JsonString(reply, "zip_path");
    EXPECT_EQ(path.substr(path.size() - 4), ".zip");
    // The later of two files with the same name replaces the earlier.
    EXPECT_EQ(ZipContents(path),
              (std::vector<std::pair<std::string, std::string>>{{"a.png", ReadFile(picture)},
                                                                {"notes.txt", "any file at all"},
                                                                {"same.bin", "second"}}));
    EXPECT_EQ(StoredSavedFiles(), (std::vector<std::string>{path}));

    Json none = Command("local_make_zip_file",
                        R"("file_path_list":)" + JsonArray({InputFolder() + "missing", ""}));
    EXPECT_EQ(JsonNumber(none, "ret"), -1);
    EXPECT_EQ(SavedFiles(), (std::vector<std::string>{path}));
}

TEST_F(ImageDocuments, Base64ZipEntriesAreNumberedByPositionAndReturnedAsBareBase64) {
    Start();
    std::string png = SolidPng(5, 3, {9, 8, 7}, "a.png");
    Image photo = imgproc_test::MakeImage(6, 6, KX_PIXEL_RGB, {100, 50, 25});
    std::string jpeg = WriteJpeg(photo.get(), "b.jpg");
    Json reply =
        Command("base64_make_zip_file",
                R"("local_save":false,"get_base64":true,"image_base64_list":)" +
                    JsonArray({DataUrlOf(png, "image/png"), "no comma",
                               DataUrlOf(jpeg, "image/jpeg"), DataUrlOf(png, "image/png")}));
    ASSERT_EQ(JsonNumber(reply, "ret"), 0);
    EXPECT_EQ(JsonKeys(reply), (std::vector<std::string>{"func", "ret", "zip_base64"}));
    std::string archive = home_.root().path() + "received.zip";
    WriteFile(archive, Base64Decode(JsonString(reply, "zip_base64")));
    EXPECT_EQ(ZipContents(archive),
              (std::vector<std::pair<std::string, std::string>>{
                  {"0.png", ReadFile(png)}, {"2.jpg", ReadFile(jpeg)}, {"3.png", ReadFile(png)}}));
    EXPECT_TRUE(SavedFiles().empty());
    EXPECT_TRUE(TemporaryFiles().empty());
}

}  // namespace
}  // namespace testing_support

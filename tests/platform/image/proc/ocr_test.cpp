// OCR tests: a few, since each recognition takes seconds. One manager serves
// the whole suite, as the service would use it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/image/kx_imgfmt.h"
#include "platform/image/proc/engine_shelf.h"
#include "platform/image/proc/kx_imgproc.h"
#include "platform/image/proc/tessdata.h"
#include "support/temp_dir.h"
#include "tests/platform/image/proc/page_maker.h"

namespace {

using imgproc_test::Image;
using imgproc_test::MakeImage;
using testing_support::Exists;
using testing_support::TempDir;

std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        output.append(buffer, n);
    }
    pclose(pipe);
    return output;
}

size_t ThreadsOfProcess() {
    size_t threads = 0;
    for ([[maybe_unused]] const auto& task :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++threads;
    }
    return threads;
}

std::string WithoutSpaces(std::string text) {
    std::erase_if(text, [](char c) { return c == ' ' || c == '\n'; });
    return text;
}

// The encoding column of `pdfimages -list` for each image of the document
// ("jpeg", "image" for Flate, "ccitt").
std::vector<std::string> PdfImageEncodings(const std::string& path) {
    std::istringstream list(RunCommand("pdfimages -list '" + path + "' 2>/dev/null"));
    std::vector<std::string> encodings;
    std::string line;
    for (int header = 0; header < 2 && std::getline(list, line); ++header) {
    }
    while (std::getline(list, line)) {
        std::istringstream row(line);
        std::string column;
        for (int i = 0; i < 9 && row >> column; ++i) {
        }
        encodings.push_back(column);
    }
    return encodings;
}

// Pixels that differ between two images of one size; -1 when the sizes differ.
int64_t DifferingPixels(KXImage a, KXImage b) {
    KXImageInfo first{}, second{};
    KXBase_GetImageInfo(a, &first);
    KXBase_GetImageInfo(b, &second);
    if (first.width != second.width || first.height != second.height) {
        return -1;
    }
    int64_t differing = 0;
    for (uint32_t y = 0; y < first.height; ++y) {
        for (uint32_t x = 0; x < first.width; ++x) {
            imgproc_test::Rgb p = imgproc_test::PixelAt(a, x, y),
                              q = imgproc_test::PixelAt(b, x, y);
            differing += p.r != q.r || p.g != q.g || p.b != q.b;
        }
    }
    return differing;
}

// A 6 × 4.5 inch page at 200 dpi: English lines and a Chinese line.
Image MakeOcrPage() {
    Image page = imgproc_test::MakeTextPage(1200, 900, KX_PIXEL_RGB, 30, 200);
    imgproc_test::DrawText(page.get(), "本公司扫描仪测试文件已经完成，请查收。", 120, 760, 30,
                           {0, 0, 0}, "SimHei");
    return page;
}

class Ocr : public testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(KXImgProc_CreateOCRMgr(&manager_), 0); }
    static void TearDownTestSuite() {
        KXImgProc_DestroyOCRMgr(manager_);
        manager_ = nullptr;
    }
    static KXOcrMgr manager_;
    TempDir dir_;
};

KXOcrMgr Ocr::manager_ = nullptr;

TEST_F(Ocr, SearchablePdfShowsThePageAndHoldsItsWords) {
    Image page = MakeOcrPage();
    std::string path = dir_.File("page.pdf");
    ASSERT_EQ(KXImgProc_ImageOCRToFile(manager_, page.get(), 0, path.c_str()), 0);

    std::string text = RunCommand("pdftotext -enc UTF-8 '" + path + "' - 2>/dev/null");
    for (const char* word : {"Quarterly", "warehouse", "invoice", "contract", "Inventory"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word << " not in:\n" << text;
    }
    EXPECT_NE(WithoutSpaces(text).find("扫描仪测试文件"), std::string::npos) << text;

    // Rendered at 20 dpi the 6 × 4.5 inch page is 120 × 90 pixels, white
    // with dark text in the upper left.
    std::string pgm = RunCommand("pdftoppm -gray -r 20 '" + path + "' 2>/dev/null");
    ASSERT_EQ(pgm.rfind("P5\n120 90\n255\n", 0), 0u) << pgm.substr(0, 20);
    const auto* pixels = reinterpret_cast<const unsigned char*>(pgm.data()) + 14;
    ASSERT_EQ(pgm.size(), 14u + 120 * 90);
    EXPECT_GT(pixels[5 * 120 + 110], 240);  // right margin: white paper
    int darkest = 255;
    for (int x = 12; x < 100; ++x) {
        darkest = std::min<int>(darkest, pixels[16 * 120 + x]);  // the title line
    }
    EXPECT_LT(darkest, 200);
    EXPECT_FALSE(Exists(path + ".part"));
    EXPECT_FALSE(Exists(path + ".text.pdf"));

    // The picture is stored losslessly: the page gives back every pixel of
    // the source. Rendered at four times its resolution, where the renderer
    // repeats pixels instead of smoothing them, over a region of text.
    EXPECT_EQ(PdfImageEncodings(path), std::vector<std::string>{"image"});
    const KXRect region{100, 100, 700, 400};
    const int32_t width = (region.right - region.left) * 4;
    const int32_t height = (region.bottom - region.top) * 4;
    std::string ppm = RunCommand("pdftoppm -r 800 -x " + std::to_string(region.left * 4) + " -y " +
                                 std::to_string(region.top * 4) + " -W " + std::to_string(width) +
                                 " -H " + std::to_string(height) + " '" + path + "' 2>/dev/null");
    const std::string header =
        "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    ASSERT_EQ(ppm.size(), header.size() + static_cast<size_t>(width) * height * 3);
    ASSERT_EQ(ppm.rfind(header, 0), 0u);
    const auto* rendered = reinterpret_cast<const uint8_t*>(ppm.data() + header.size());
    int64_t differing = 0;
    for (int32_t y = region.top; y < region.bottom; ++y) {
        for (int32_t x = region.left; x < region.right; ++x) {
            imgproc_test::Rgb source = imgproc_test::PixelAt(page.get(), x, y);
            const uint8_t* pixel =
                rendered + ((y - region.top) * 4 * width + (x - region.left) * 4) * 3;
            differing += pixel[0] != source.r || pixel[1] != source.g || pixel[2] != source.b;
        }
    }
    EXPECT_EQ(differing, 0);
}

struct PictureCase {
    const char* name;
    uint32_t type;
    bool fromJpegFile;        // an unmodified JPEG file's image
    const char* pdfEncoding;  // as pdfimages lists it
    const char* ofdImage;     // the picture's name in the package
};

class SearchablePicture : public Ocr, public testing::WithParamInterface<PictureCase> {};

// The words go over the picture the source has: a JPEG file's own bytes,
// other sources without loss (Flate, G4 for black and white in PDF; PNG in
// OFD), never a JPEG made anew.
TEST_P(SearchablePicture, KeepsTheSourceEncodingUnderTheText) {
    const PictureCase& source = GetParam();
    Image page = imgproc_test::MakeTextPage(900, 300, source.type, 28, 200);
    std::string jpeg;
    if (source.fromJpegFile) {
        std::string file = dir_.File("source.jpg");
        ASSERT_EQ(KXImgFmt_SaveImage(page.get(), KX_FORMAT_JPEG, nullptr, file.c_str()), 0);
        KXImage loaded = nullptr;
        ASSERT_EQ(KXImgFmt_LoadImage(file.c_str(), 0, nullptr, 0, KX_ORIGIN_TOP_LEFT, &loaded), 0);
        page.reset(loaded);
        jpeg = testing_support::ReadFile(file);
    }
    std::string pdf = dir_.File("page.pdf");
    std::string ofd = dir_.File("page.ofd");
    ASSERT_EQ(KXImgProc_ImageOCRToFile(manager_, page.get(), 0, pdf.c_str()), 0);
    ASSERT_EQ(KXImgProc_ImageOCRToFile(manager_, page.get(), 0, ofd.c_str()), 0);

    EXPECT_NE(RunCommand("pdftotext '" + pdf + "' - 2>/dev/null").find("Quarterly"),
              std::string::npos);
    EXPECT_EQ(PdfImageEncodings(pdf), std::vector<std::string>{source.pdfEncoding});
    std::string entries = RunCommand("unzip -Z1 '" + ofd + "' 2>/dev/null");
    EXPECT_NE(entries.find(std::string("Doc_0/Res/") + source.ofdImage), std::string::npos)
        << entries;
    if (source.fromJpegFile) {
        RunCommand("pdfimages -j '" + pdf + "' '" + dir_.File("extracted") + "'");
        EXPECT_TRUE(testing_support::ReadFile(dir_.File("extracted-000.jpg")) == jpeg);
        EXPECT_TRUE(RunCommand("unzip -p '" + ofd + "' Doc_0/Res/Image_0.jpg") == jpeg);
    }

    // The invisible words leave the page one picture: it reads back as the
    // source's pixels.
    KXImage readBack = nullptr;
    ASSERT_EQ(KXImgFmt_LoadImage(pdf.c_str(), 0, nullptr, 0, KX_ORIGIN_TOP_LEFT, &readBack), 0);
    Image pdfPage(readBack);
    EXPECT_EQ(DifferingPixels(pdfPage.get(), page.get()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SearchablePicture,
    testing::Values(PictureCase{"JpegFile", KX_PIXEL_RGB, true, "jpeg", "Image_0.jpg"},
                    PictureCase{"Colour", KX_PIXEL_RGB, false, "image", "Image_0.png"},
                    PictureCase{"Grey", KX_PIXEL_GRAY, false, "image", "Image_0.png"},
                    PictureCase{"BlackAndWhite", KX_PIXEL_BW, false, "ccitt", "Image_0.png"}),
    [](const testing::TestParamInfo<PictureCase>& info) { return info.param.name; });

// Only the region of interest becomes the page.
TEST_F(Ocr, SearchableOfdHoldsTheRegionAndItsWords) {
    Image page = MakeOcrPage();
    KXRect region{0, 0, 1200, 820};
    ASSERT_EQ(KXBase_SetImageROI(page.get(), &region), 0);
    std::string path = dir_.File("page.ofd");
    ASSERT_EQ(KXImgProc_ImageOCRToFile(manager_, page.get(), 0, path.c_str()), 0);
    std::string content =
        RunCommand("unzip -p '" + path + "' Doc_0/Pages/Page_0/Content.xml 2>/dev/null");
    // 1200 × 820 pixels at 200 dpi.
    EXPECT_NE(content.find("<ofd:PhysicalBox>0 0 152.4 104.14</ofd:PhysicalBox>"),
              std::string::npos)
        << content.substr(0, 300);
    EXPECT_NE(content.find("ImageObject"), std::string::npos) << content;
    EXPECT_NE(content.find("TextObject"), std::string::npos) << content;
    for (const char* word : {"Quarterly", "invoice", "contract"}) {
        EXPECT_NE(content.find(word), std::string::npos) << word;
    }
    EXPECT_NE(WithoutSpaces(content).find("扫"), std::string::npos);
}

struct Turn {
    int32_t clockwise;  // how the page was turned
    int32_t code;       // the code that turns it back
    bool chinese = false;
};

// A page of Chinese body text, 150 dpi.
Image MakeChinesePage() {
    Image page = MakeImage(1240, 1754, KX_PIXEL_RGB, {255, 255, 255}, 150);
    const char* lines[] = {
        "关于二零二四年第一季度仓库盘点工作的通知", "各部门请于本周五之前提交扫描文件。",
        "所有发票均已按时送达财务部门审核。", "如有疑问请联系办公室，谢谢配合。"};
    int32_t y = 150;
    for (int32_t i = 0; i < 12; ++i, y += 90) {
        imgproc_test::DrawText(page.get(), lines[i % 4], 120, y, 40, {0, 0, 0}, "宋体");
    }
    return page;
}

class OcrDirection : public Ocr, public testing::WithParamInterface<Turn> {};

// The reported code, applied as the service applies it, makes the page
// upright again, pixel for pixel.
TEST_P(OcrDirection, CorrectionMakesTheTurnedPageUpright) {
    Turn turn = GetParam();
    Image upright = turn.chinese ? MakeChinesePage()
                                 : imgproc_test::MakeTextPage(1240, 1754, KX_PIXEL_RGB, 28, 150);
    Image turned = imgproc_test::TurnClockwise(upright.get(), turn.clockwise);
    int32_t code = 0;
    ASSERT_EQ(KXImgProc_ImageTextDirectOCR(manager_, turned.get(), &code), 0);
    ASSERT_EQ(code, turn.code);

    int32_t correction = code == KX_DIRECTION_ROTATE_LEFT    ? 270
                         : code == KX_DIRECTION_ROTATE_RIGHT ? 90
                         : code == KX_DIRECTION_ROTATE_180   ? 180
                                                             : 0;
    Image corrected = imgproc_test::TurnClockwise(turned.get(), correction);
    for (int32_t y = 0; y < 1754; y += 97) {
        for (int32_t x = 0; x < 1240; x += 13) {
            ASSERT_EQ(imgproc_test::PixelAt(corrected.get(), x, y).r,
                      imgproc_test::PixelAt(upright.get(), x, y).r);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FourTurns, OcrDirection,
                         testing::Values(Turn{0, KX_DIRECTION_UPRIGHT},
                                         Turn{90, KX_DIRECTION_ROTATE_LEFT},
                                         Turn{180, KX_DIRECTION_ROTATE_180},
                                         Turn{270, KX_DIRECTION_ROTATE_RIGHT},
                                         Turn{90, KX_DIRECTION_ROTATE_LEFT, true},
                                         Turn{180, KX_DIRECTION_ROTATE_180, true}),
                         [](const testing::TestParamInfo<Turn>& info) {
                             return std::string(info.param.chinese ? "Chinese" : "English") +
                                    "Turned" + std::to_string(info.param.clockwise);
                         });

// Pages without text, blank or with drawings, are left as they are.
TEST_F(Ocr, PagesWithoutTextAreReportedUpright) {
    Image blank = MakeImage(1240, 1754, KX_PIXEL_GRAY);
    imgproc_test::AddNoise(blank.get(), 6, 3);
    int32_t code = 0;
    EXPECT_EQ(KXImgProc_ImageTextDirectOCR(manager_, blank.get(), &code), 0);
    EXPECT_EQ(code, KX_DIRECTION_UPRIGHT);

    Image drawing = MakeImage(1240, 1754, KX_PIXEL_RGB, {255, 255, 255}, 150);
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int32_t i = 0; i < 400; ++i) {
        auto grey = static_cast<uint8_t>(unit(random) * 200);
        imgproc_test::FillDisc(drawing.get(), 150 + unit(random) * 900, 200 + unit(random) * 800,
                               5 + unit(random) * 40, {grey, grey, grey});
    }
    Image turned = imgproc_test::TurnClockwise(drawing.get(), 90);
    code = 0;
    EXPECT_EQ(KXImgProc_ImageTextDirectOCR(manager_, turned.get(), &code), 0);
    EXPECT_EQ(code, KX_DIRECTION_UPRIGHT);
}

// A page without text still gives a document: the page image alone.
TEST_F(Ocr, TinyBlankPageGivesADocumentWithoutText) {
    Image dot = MakeImage(1, 1, KX_PIXEL_GRAY);
    std::string path = dir_.File("dot.pdf");
    ASSERT_EQ(KXImgProc_ImageOCRToFile(manager_, dot.get(), 0, path.c_str()), 0);
    std::string info = RunCommand("pdfinfo '" + path + "' 2>&1");
    size_t pages = info.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << info;
    EXPECT_EQ(std::stoi(info.substr(pages + 6)), 1);
    int32_t code = 0;
    EXPECT_EQ(KXImgProc_ImageTextDirectOCR(manager_, dot.get(), &code), 0);
    EXPECT_EQ(code, KX_DIRECTION_UPRIGHT);
}

TEST_F(Ocr, BadInputFailsCleanly) {
    Image page = MakeImage(100, 100, KX_PIXEL_RGB);
    std::string pdf = dir_.File("bad.pdf");
    EXPECT_NE(KXImgProc_ImageOCRToFile(nullptr, page.get(), 0, pdf.c_str()), 0);
    EXPECT_NE(KXImgProc_ImageOCRToFile(manager_, nullptr, 0, pdf.c_str()), 0);
    for (int32_t flags : {1, KX_OCR_SCAN_PICTURE | 101, 0x200 | 80, KX_OCR_SCAN_PICTURE | 0x280}) {
        EXPECT_NE(KXImgProc_ImageOCRToFile(manager_, page.get(), flags, pdf.c_str()), 0) << flags;
    }
    EXPECT_NE(KXImgProc_ImageOCRToFile(manager_, page.get(), 0, nullptr), 0);
    std::string text = dir_.File("bad.txt");
    EXPECT_NE(KXImgProc_ImageOCRToFile(manager_, page.get(), 0, text.c_str()), 0);
    std::string missing = dir_.path() + "no/such/folder/page.pdf";
    EXPECT_NE(KXImgProc_ImageOCRToFile(manager_, page.get(), 0, missing.c_str()), 0);
    std::string missingOfd = dir_.path() + "no/such/folder/page.ofd";
    EXPECT_NE(KXImgProc_ImageOCRToFile(manager_, page.get(), 0, missingOfd.c_str()), 0);
    EXPECT_FALSE(Exists(pdf));
    EXPECT_FALSE(Exists(text));

    int32_t code = 7;
    EXPECT_NE(KXImgProc_ImageTextDirectOCR(manager_, nullptr, &code), 0);
    EXPECT_EQ(code, KX_DIRECTION_UPRIGHT);
    EXPECT_NE(KXImgProc_ImageTextDirectOCR(nullptr, page.get(), &code), 0);
    EXPECT_NE(KXImgProc_ImageTextDirectOCR(manager_, page.get(), nullptr), 0);
    EXPECT_NE(KXImgProc_CreateOCRMgr(nullptr), 0);
    EXPECT_NE(KXImgProc_DestroyOCRMgr(nullptr), 0);
}

// A manager's engines outlive it: the next manager takes the idle engine
// instead of loading another.
TEST(OcrManager, NextManagerReusesTheEngines) {
    Image page = imgproc_test::TurnClockwise(
        imgproc_test::MakeTextPage(1240, 1754, KX_PIXEL_GRAY, 28, 150).get(), 180);
    KXOcrMgr first = nullptr;
    ASSERT_EQ(KXImgProc_CreateOCRMgr(&first), 0);
    int32_t code = 0;
    ASSERT_EQ(KXImgProc_ImageTextDirectOCR(first, page.get(), &code), 0);
    ASSERT_EQ(KXImgProc_DestroyOCRMgr(first), 0);
    size_t shelved = kximgproc::ShelvedEngines();
    ASSERT_GE(shelved, 1u);

    KXOcrMgr second = nullptr;
    ASSERT_EQ(KXImgProc_CreateOCRMgr(&second), 0);
    code = 0;
    ASSERT_EQ(KXImgProc_ImageTextDirectOCR(second, page.get(), &code), 0);
    EXPECT_EQ(code, KX_DIRECTION_ROTATE_180);
    EXPECT_EQ(kximgproc::ShelvedEngines(), shelved - 1);
    ASSERT_EQ(KXImgProc_DestroyOCRMgr(second), 0);
    EXPECT_EQ(kximgproc::ShelvedEngines(), shelved);
}

// Tesseract would spread a recognition over OpenMP threads of its own, kept
// alive beside the thread that started them; the work stays on the calling
// thread instead, so pages recognised side by side do not fight for cores.
TEST_F(Ocr, RecognitionStaysOnTheCallingThread) {
    ASSERT_EQ(std::getenv("OMP_THREAD_LIMIT"), nullptr);
    Image page = MakeOcrPage();
    std::string path = dir_.File("threads.pdf");
    size_t before = ThreadsOfProcess();
    size_t during = 0;
    int status = -1;
    // A new thread: OpenMP keeps one pool per thread that starts parallel
    // work, alive until that thread ends.
    std::thread recognizer([&] {
        status = KXImgProc_ImageOCRToFile(manager_, page.get(), 0, path.c_str());
        during = ThreadsOfProcess();
    });
    recognizer.join();
    ASSERT_EQ(status, 0);
    EXPECT_EQ(during, before + 1);
}

// Separate managers work side by side on separate threads, each with an
// engine of its own, and both engines stay loaded for the next pages.
TEST(OcrManager, ManagersRunOnSeparateThreads) {
    kximgproc::ReleaseShelvedEngines();
    Image upright = imgproc_test::MakeTextPage(1240, 1754, KX_PIXEL_GRAY, 28, 150);
    Image left = imgproc_test::TurnClockwise(upright.get(), 90);
    Image right = imgproc_test::TurnClockwise(upright.get(), 270);
    auto detect = [](KXImage page, int32_t* code) {
        KXOcrMgr manager = nullptr;
        if (KXImgProc_CreateOCRMgr(&manager) == 0) {
            KXImgProc_ImageTextDirectOCR(manager, page, code);
            KXImgProc_DestroyOCRMgr(manager);
        }
    };
    int32_t leftCode = 0, rightCode = 0;
    std::thread other(detect, left.get(), &leftCode);
    detect(right.get(), &rightCode);
    other.join();
    EXPECT_EQ(leftCode, KX_DIRECTION_ROTATE_LEFT);
    EXPECT_EQ(rightCode, KX_DIRECTION_ROTATE_RIGHT);
    EXPECT_EQ(kximgproc::ShelvedEngines(), std::min<size_t>(2, kximgproc::ShelfCapacity()));
}

TEST(Tessdata, PrefixFolderOrItsTessdataSubfolderComesFirst) {
    TempDir dir;
    testing_support::WriteFile(dir.File("tessdata/eng.traineddata"), "x");
    testing_support::WriteFile(dir.File("tessdata/chi_sim.traineddata"), "x");
    {
        testing_support::ScopedEnv prefix("TESSDATA_PREFIX", dir.path());
        EXPECT_EQ(kximgproc::FindTessdata({"chi_sim", "eng"}), dir.path() + "tessdata/");
    }
    {
        testing_support::ScopedEnv prefix("TESSDATA_PREFIX", dir.path() + "tessdata");
        EXPECT_EQ(kximgproc::FindTessdata({"chi_sim", "eng"}), dir.path() + "tessdata/");
        // A language the prefix lacks is found in the system folder.
        std::string system = kximgproc::FindTessdata({"osd"});
        EXPECT_FALSE(system.empty());
        EXPECT_NE(system, dir.path() + "tessdata/");
    }
    EXPECT_EQ(kximgproc::FindTessdata({"no_such_language"}), "");
}

}  // namespace

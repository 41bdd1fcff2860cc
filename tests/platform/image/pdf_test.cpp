// PDF: pages written with qpdf (checked with pdfinfo and pdftoppm), sole page
// images read back without rendering, other pages rendered with poppler.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image_test_util.h"
#include "platform/image/image_internal.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"

using namespace image_test;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// A PDF of one page from hand-written objects: catalog and pages first, then
// the page (object 3) and any further objects.
std::string HandMadePdf(const std::string& page, const std::vector<std::string>& more) {
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>",
                                        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", page};
    objects.insert(objects.end(), more.begin(), more.end());
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Root 1 0 R /Size " + std::to_string(objects.size() + 1) +
           " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::string Stream(const std::string& dictionary, const std::string& data) {
    return "<< " + dictionary + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
           "\nendstream";
}

TEST(Pdf, PagesMeasureThePixelsAtTheirResolution) {
    TempDir dir;
    std::string path = dir.File("doc.pdf");
    ImagePtr colour = Photo(600, 300);
    KXBase_SetImageResolution(colour.get(), 300);      // 2 x 1 inches
    ImagePtr grey = Pattern(400, 200, KX_PIXEL_GRAY);  // no resolution: 200 dpi
    ImagePtr bw = Pattern(150, 300, KX_PIXEL_BW);
    KXBase_SetImageResolution(bw.get(), 150);
    KXImgWriter writer = nullptr;
    ASSERT_EQ(KXImgFmt_OpenImageWriter(path.c_str(), 0, &writer), 0);
    for (KXImage image : {colour.get(), grey.get(), bw.get()})
        ASSERT_EQ(KXImgFmt_SaveImageToWriter(writer, image, nullptr), 0);
    ASSERT_EQ(KXImgFmt_CloseImageWriter(writer), 0);

    EXPECT_EQ(PdfPageSizes(path), (std::vector<std::string>{"144x72", "144x72", "72x144"}));
    std::string pdf = ReadFile(path);
    EXPECT_EQ(CountOf(pdf, "/DCTDecode"), 2u);
    EXPECT_EQ(CountOf(pdf, "/CCITTFaxDecode"), 1u);
}

// Black and white squares of 8 pixels, which a renderer shows the same even
// if it places them a fraction of a pixel off.
ImagePtr Blocks(uint32_t width, uint32_t height) {
    ImagePtr image = Create(width, height, KX_PIXEL_BW);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            if ((x / 8 + y / 8) % 3 == 0) SetPixelRgb(image.get(), x, y, 0);
    return image;
}

// A page of one pixel's width would be under the 3 units readers accept, and
// shown blank; it is enlarged as a whole, keeping the picture's aspect.
TEST(Pdf, ThinPagesAreEnlargedToTheSmallestPageReadersShow) {
    TempDir dir;
    struct Strip {
        uint32_t width, height;
        const char* size;  // pdfinfo's page size in points
    };
    for (Strip strip : {Strip{1, 1000, "3x3000"}, Strip{1000, 1, "3000x3"}}) {
        SCOPED_TRACE(strip.size);
        ImagePtr image = Create(strip.width, strip.height, KX_PIXEL_GRAY);
        for (uint32_t y = 0; y < strip.height; ++y)
            for (uint32_t x = 0; x < strip.width; ++x)
                SetPixelRgb(image.get(), x, y, 0);
        std::string path = dir.File("strip.pdf");
        ASSERT_EQ(KXImgFmt_SaveImage(image.get(), KX_FORMAT_PDF, nullptr, path.c_str()), 0);
        EXPECT_EQ(PdfPageSizes(path), std::vector<std::string>{strip.size});

        // Rendered at 24 dpi (three points a pixel) the page is a dark
        // strip of 1 x 1000 pixels, or 1000 x 1.
        int status = -1;
        std::string pgm = RunCommand("pdftoppm -gray -r 24 '" + path + "'", &status);
        ASSERT_EQ(status, 0);
        std::string header = strip.width == 1 ? "P5\n1 1000\n255\n" : "P5\n1000 1\n255\n";
        ASSERT_EQ(pgm.rfind(header, 0), 0u) << pgm.substr(0, 16);
        ASSERT_EQ(pgm.size(), header.size() + 1000);
        size_t dark = std::count_if(pgm.begin() + header.size(), pgm.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 64; });
        EXPECT_EQ(dark, 1000u);
    }
}

TEST(Pdf, RenderedPagesLookLikeTheirImages) {
    TempDir dir;
    ImagePtr colour = Photo(240, 160);
    ImagePtr bw = Blocks(240, 160);
    for (KXImage image : {colour.get(), bw.get()}) {
        bool isColour = image == colour.get();
        KXBase_SetImageResolution(image, 100);
        std::string pdf = dir.File(isColour ? "colour.pdf" : "bw.pdf");
        ImageSaveInfo info{95, 0, 0};
        ASSERT_EQ(KXImgFmt_SaveImage(image, 0, &info, pdf.c_str()), 0);
        std::string out = dir.path() + "rendered";
        int status = -1;
        RunCommand("pdftoppm -r 100 -singlefile -png '" + pdf + "' '" + out + "'", &status);
        ASSERT_EQ(status, 0);
        if (isColour) {
            ImagePtr rendered = Load(out + ".png", KX_PIXEL_RGB);
            ASSERT_NE(rendered, nullptr);
            EXPECT_LT(MeanDifference(rendered.get(), image), 3.0);
        } else {
            // The renderer smooths the edges of 1-bit pictures, so each
            // square is judged by its centre.
            ImagePtr rendered = Load(out + ".png", KX_PIXEL_GRAY);
            ASSERT_NE(rendered, nullptr);
            for (uint32_t y = 4; y < 160; y += 8)
                for (uint32_t x = 4; x < 240; x += 8)
                    ASSERT_EQ(PixelRgb(rendered.get(), x, y), PixelRgb(image, x, y))
                        << x << "," << y;
        }
    }
}

TEST(Pdf, SoleImagesComeBackWithoutRendering) {
    TempDir dir;
    ImagePtr bw = Pattern(203, 97, KX_PIXEL_BW);
    KXBase_SetImageResolution(bw.get(), 300);
    std::string bwPdf = dir.File("bw.pdf");
    ASSERT_EQ(KXImgFmt_SaveImage(bw.get(), 0, nullptr, bwPdf.c_str()), 0);
    ImageFileInfo info{};
    KXImage made = nullptr;
    ASSERT_EQ(KXImgFmt_LoadImage(bwPdf.c_str(), 0, &info, 0, 1, &made), 0);
    ImagePtr loaded(made);
    EXPECT_EQ(info.type, KX_PIXEL_BW);
    EXPECT_EQ(info.dpi, 300u);
    EXPECT_EQ(InfoOf(loaded.get()).type, KX_PIXEL_BW);
    EXPECT_EQ(DifferentPixels(loaded.get(), bw.get()), 0u);

    std::string jpeg = dir.File("page.jpg");
    ImagePtr photo = Photo(120, 80);
    ASSERT_EQ(KXImgFmt_SaveImage(photo.get(), 0, nullptr, jpeg.c_str()), 0);
    ImagePtr fromJpeg = Load(jpeg);
    std::string jpegPdf = dir.File("jpeg.pdf");
    ASSERT_EQ(KXImgFmt_SaveImage(fromJpeg.get(), 0, nullptr, jpegPdf.c_str()), 0);
    ImagePtr back = Load(jpegPdf);
    ASSERT_NE(back, nullptr);
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    ASSERT_TRUE(KXImage_PristineJpeg(back.get(), &bytes, &size));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), size), ReadFile(jpeg));
    uint32_t dpi = 0;
    KXBase_GetImageResolution(back.get(), &dpi);
    EXPECT_EQ(dpi, 200u);  // written at the default resolution
}

// A grey 2 x 2 Flate image under an invisible text layer, as searchable scans
// have it, is read directly; the same image drawn at half size is rendered.
TEST(Pdf, FlateImagesWithInvisibleTextAreReadDirectly) {
    TempDir dir;
    std::string pixels("\x00\x40\x80\xFF", 4);
    std::string image = Stream(
        "/Type /XObject /Subtype /Image /Width 2 /Height 2 "
        "/ColorSpace /DeviceGray /BitsPerComponent 8",
        pixels);
    std::string font = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    std::string page =
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 144 144] /Resources "
        "<< /XObject << /Im0 4 0 R >> /Font << /F1 6 0 R >> >> /Contents 5 0 R >>";
    std::string invisible =
        "q 144 0 0 144 0 0 cm /Im0 Do Q BT 3 Tr /F1 12 Tf 10 10 Td (hidden) Tj ET";
    std::string direct = dir.File("direct.pdf");
    WriteFile(direct, HandMadePdf(page, {image, Stream("", invisible), font}));
    ImageFileInfo info{};
    KXImage made = nullptr;
    ASSERT_EQ(KXImgFmt_LoadImage(direct.c_str(), 0, &info, 0, 1, &made), 0);
    ImagePtr loaded(made);
    EXPECT_EQ(InfoOf(loaded.get()).width, 2u);
    EXPECT_EQ(InfoOf(loaded.get()).type, KX_PIXEL_GRAY);
    EXPECT_EQ(PixelRgb(loaded.get(), 1, 0), Rgb(0x40, 0x40, 0x40));
    EXPECT_EQ(info.dpi, 1u);

    std::string visible = "q 144 0 0 144 0 0 cm /Im0 Do Q BT /F1 12 Tf 10 10 Td (shown) Tj ET";
    std::string halfSize = "q 72 0 0 72 0 0 cm /Im0 Do Q";
    for (const std::string& contents : {visible, halfSize}) {
        std::string path = dir.File("rendered.pdf");
        WriteFile(path, HandMadePdf(page, {image, Stream("", contents), font}));
        ImagePtr rendered = Load(path);
        ASSERT_NE(rendered, nullptr) << contents;
        EXPECT_EQ(InfoOf(rendered.get()).width, 400u) << contents;  // 2 inches at 200 dpi
        EXPECT_EQ(InfoOf(rendered.get()).type, KX_PIXEL_RGB);
    }
}

TEST(Pdf, VectorPagesAreRenderedAt200Dpi) {
    TempDir dir;
    std::string contents = "0 0 0 rg 36 36 72 36 re f";  // black box, 1 inch from the left
    const struct {
        const char* name;
        const char* rotate;
        uint32_t width;
        uint32_t height;
    } cases[] = {{"vector.pdf", "", 500, 300}, {"turned.pdf", "/Rotate 90 ", 300, 500}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.File(c.name);
        std::string object = std::string("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 180 108] ") +
                             c.rotate + "/Contents 4 0 R >>";
        WriteFile(path, HandMadePdf(object, {Stream("", contents)}));
        ImageFileInfo info{};
        ASSERT_EQ(KXImgFmt_LoadImage(path.c_str(), 0, &info, 0, 0, nullptr), 0);
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);
        ImagePtr page = Load(path);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(InfoOf(page.get()).width, c.width);
        EXPECT_EQ(InfoOf(page.get()).height, c.height);
    }
    std::string path = dir.File("vector.pdf");
    ImagePtr page = Load(path);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(PixelRgb(page.get(), 200, 150), 0u);       // inside the box
    EXPECT_EQ(PixelRgb(page.get(), 50, 50), 0xFFFFFFu);  // outside
    ImagePtr grey = Load(path, KX_PIXEL_GRAY);
    ASSERT_NE(grey, nullptr);
    EXPECT_EQ(InfoOf(grey.get()).type, KX_PIXEL_GRAY);
}

TEST(Pdf, FirstGenerationWriterMakesEveryPageJpeg) {
    TempDir dir;
    std::string path = dir.File("v1.pdf");
    ImagePtr bw = Pattern(64, 64, KX_PIXEL_BW);
    KXImgWriter writer = nullptr;
    ASSERT_EQ(KXImgFmt_OpenPdfImageWriter(path.c_str(), &writer), 0);
    ASSERT_EQ(KXImgFmt_SaveJpegImageToPdfImageWriter(writer, bw.get(), nullptr), 0);
    ASSERT_EQ(KXImgFmt_ClosePdfImageWriter(writer), 0);
    std::string pdf = ReadFile(path);
    EXPECT_EQ(CountOf(pdf, "/DCTDecode"), 1u);
    EXPECT_EQ(CountOf(pdf, "/CCITTFaxDecode"), 0u);
    EXPECT_EQ(PdfPageSizes(path).size(), 1u);
}

}  // namespace

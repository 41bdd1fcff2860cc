// OFD: the package layout, page boxes in millimetres, the invisible text
// layer of searchable documents, and reading the first page back.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "image_test_util.h"
#include "platform/image/kx_imgfmt.h"
#include "platform/image/ofd_package.h"
#include "support/temp_dir.h"

using namespace image_test;
using testing_support::TempDir;

namespace {

bool Has(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(Ofd, PackageLayoutAndPageBoxes) {
    TempDir dir;
    std::string path = dir.File("doc.ofd");
    ImagePtr colour = Photo(600, 300);
    KXBase_SetImageResolution(colour.get(), 300);  // 50.8 x 25.4 mm
    ImagePtr bw = Pattern(100, 200, KX_PIXEL_BW);  // 200 dpi: 12.7 x 25.4 mm
    KXImgWriter writer = nullptr;
    ASSERT_EQ(KXImgFmt_OpenImageWriter(path.c_str(), KX_FORMAT_OFD, &writer), 0);
    ASSERT_EQ(KXImgFmt_SaveImageToWriter(writer, colour.get(), nullptr), 0);
    ASSERT_EQ(KXImgFmt_SaveImageToWriter(writer, bw.get(), nullptr), 0);
    ASSERT_EQ(KXImgFmt_CloseImageWriter(writer), 0);

    std::vector<std::string> names = ZipEntries(path);
    for (const char* name :
         {"OFD.xml", "Doc_0/Document.xml", "Doc_0/DocumentRes.xml", "Doc_0/PublicRes.xml",
          "Doc_0/Pages/Page_0/Content.xml", "Doc_0/Pages/Page_1/Content.xml",
          "Doc_0/Res/Image_0.jpg", "Doc_0/Res/Image_1.png"})
        EXPECT_TRUE(Has(names, name)) << name;
    int status = -1;
    RunCommand("unzip -tq '" + path + "'", &status);
    EXPECT_EQ(status, 0);

    std::string ofd = ReadZipEntry(path, "OFD.xml");
    EXPECT_NE(ofd.find("<ofd:DocRoot>Doc_0/Document.xml</ofd:DocRoot>"), std::string::npos);
    std::string document = ReadZipEntry(path, "Doc_0/Document.xml");
    EXPECT_EQ(CountOf(document, "<ofd:Page ID="), 2u);
    EXPECT_NE(document.find("BaseLoc=\"Pages/Page_1/Content.xml\""), std::string::npos);
    std::string first = ReadZipEntry(path, "Doc_0/Pages/Page_0/Content.xml");
    EXPECT_NE(first.find("<ofd:PhysicalBox>0 0 50.8 25.4</ofd:PhysicalBox>"), std::string::npos)
        << first;
    EXPECT_EQ(CountOf(first, "<ofd:ImageObject"), 1u);
    std::string second = ReadZipEntry(path, "Doc_0/Pages/Page_1/Content.xml");
    EXPECT_NE(second.find("<ofd:PhysicalBox>0 0 12.7 25.4</ofd:PhysicalBox>"), std::string::npos);

    // Each ImageObject names a MultiMedia of DocumentRes.xml.
    std::string res = ReadZipEntry(path, "Doc_0/DocumentRes.xml");
    for (const std::string& page : {first, second}) {
        size_t at = page.find("ResourceID=\"") + 12;
        std::string id = page.substr(at, page.find('"', at) - at);
        EXPECT_NE(res.find("<ofd:MultiMedia ID=\"" + id + "\""), std::string::npos) << id;
    }
    EXPECT_NE(res.find("BaseLoc=\"Res\""), std::string::npos);

    ImageFileInfo info{};
    KXImage made = nullptr;
    ASSERT_EQ(KXImgFmt_LoadImage(path.c_str(), 0, &info, 0, 1, &made), 0);
    ImagePtr loaded(made);
    EXPECT_EQ(info.width, 600u);
    EXPECT_EQ(info.format, static_cast<uint32_t>(KX_FORMAT_OFD));
    EXPECT_EQ(info.dpi, 300u);
    EXPECT_LT(MeanDifference(loaded.get(), colour.get()), 2.5);

    // The black-and-white page is stored as a 1-bit PNG.
    testing_support::WriteFile(dir.File("page2.png"), ReadZipEntry(path, "Doc_0/Res/Image_1.png"));
    ImagePtr page2 = Load(dir.File("page2.png"));
    ASSERT_NE(page2, nullptr);
    EXPECT_EQ(InfoOf(page2.get()).type, KX_PIXEL_BW);
    EXPECT_EQ(DifferentPixels(page2.get(), bw.get()), 0u);
}

TEST(Ofd, SearchablePagesCarryInvisibleText) {
    TempDir dir;
    ImagePtr page = Photo(400, 200);  // 200 dpi
    kximage::OfdPackage package;
    std::vector<kximage::OfdTextItem> texts = {
        {"Hello", KXRect{40, 20, 140, 60}, 30},
        {"<A&B> \"q\"", KXRect{300, 150, 500, 260}, 0},  // clipped to the image
        {"", KXRect{0, 0, 10, 10}, 10},                  // no text: left out
        {"扫描", KXRect{10, 10, 10, 50}, 10},            // empty box: left out
    };
    ASSERT_EQ(package.AddPage(page.get(), 80, texts), 0);
    EXPECT_EQ(package.PageCount(), 1u);
    std::string path = dir.File("searchable.ofd");
    ASSERT_EQ(package.Write(path), 0);

    std::string content = ReadZipEntry(path, "Doc_0/Pages/Page_0/Content.xml");
    EXPECT_EQ(CountOf(content, "<ofd:TextObject"), 2u);
    EXPECT_EQ(CountOf(content, "Fill=\"false\""), 2u);
    EXPECT_NE(content.find("Boundary=\"5.08 2.54 12.7 5.08\""), std::string::npos) << content;
    EXPECT_NE(content.find("DeltaX=\"g 4 2.54\""), std::string::npos) << content;
    EXPECT_NE(content.find("&lt;A&amp;B&gt; &quot;q&quot;"), std::string::npos);
    EXPECT_NE(content.find("Boundary=\"38.1 19.05 12.7 6.35\""), std::string::npos) << content;
    std::string publicRes = ReadZipEntry(path, "Doc_0/PublicRes.xml");
    EXPECT_NE(publicRes.find("<ofd:Font ID=\"1\""), std::string::npos);
    EXPECT_NE(Load(path), nullptr);

    kximage::OfdPackage empty;
    EXPECT_NE(empty.Write(dir.File("empty.ofd")), 0);
    EXPECT_FALSE(testing_support::Exists(dir.File("empty.ofd")));
    EXPECT_NE(empty.AddPage(nullptr, 80), 0);
}

TEST(Ofd, ReadsPackagesOfOtherWriters) {
    TempDir dir;
    std::string jpegPath = dir.File("picture.jpg");
    ImagePtr photo = Photo(90, 60);
    ASSERT_EQ(KXImgFmt_SaveImage(photo.get(), 0, nullptr, jpegPath.c_str()), 0);
    const char* ns = "xmlns:ofd=\"http://www.ofdspec.org/2016\"";
    std::string ofd = std::string("<ofd:OFD ") + ns +
                      "><ofd:DocBody><ofd:DocRoot>/Docs/D1/Doc.xml</ofd:DocRoot>"
                      "</ofd:DocBody></ofd:OFD>";
    std::string document = std::string("<ofd:Document ") + ns +
                           "><ofd:CommonData><ofd:PublicRes>Pub.xml</ofd:PublicRes>"
                           "</ofd:CommonData><ofd:Pages><ofd:Page ID=\"9\" "
                           "BaseLoc=\"./P/1/C.xml\"/></ofd:Pages></ofd:Document>";
    std::string content = std::string("<ofd:Page ") + ns +
                          "><ofd:Content><ofd:Layer><ofd:PageBlock><ofd:ImageObject ID=\"3\" "
                          "ResourceID=\"7\" Boundary=\"0 0 22.86 15.24\"/></ofd:PageBlock>"
                          "</ofd:Layer></ofd:Content></ofd:Page>";
    std::string res = std::string("<ofd:Res ") + ns +
                      " BaseLoc=\"../Shared\"><ofd:MultiMedias><ofd:MultiMedia ID=\"7\" "
                      "Type=\"Image\"><ofd:MediaFile>pic.jpg</ofd:MediaFile></ofd:MultiMedia>"
                      "</ofd:MultiMedias></ofd:Res>";
    std::string path = dir.File("foreign.ofd");
    WriteZip(path, {{"OFD.xml", ofd},
                    {"Docs/D1/Doc.xml", document},
                    {"Docs/D1/P/1/C.xml", content},
                    {"Docs/D1/Pub.xml", res},
                    {"Docs/Shared/pic.jpg", testing_support::ReadFile(jpegPath)}});
    ImageFileInfo info{};
    KXImage made = nullptr;
    ASSERT_EQ(KXImgFmt_LoadImage(path.c_str(), 0, &info, 0, 1, &made), 0);
    ImagePtr loaded(made);
    EXPECT_EQ(InfoOf(loaded.get()).width, 90u);
    EXPECT_EQ(info.dpi, 100u);  // 90 pixels over 22.86 mm
}

}  // namespace

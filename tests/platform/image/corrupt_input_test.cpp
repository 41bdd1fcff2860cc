// Bad input of every format: empty, truncated and damaged files and headers
// claiming absurd sizes give a failure and no image, never a crash and never a
// large allocation.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image_test_util.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"

using namespace image_test;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

void ExpectRefused(const std::string& path, const std::string& what) {
    for (uint32_t type : {0u, 4u}) {
        KXImage image = reinterpret_cast<KXImage>(1);
        EXPECT_NE(KXImgFmt_LoadImage(path.c_str(), 0, nullptr, type, 1, &image), 0) << what;
        EXPECT_EQ(image, nullptr) << what;
    }
    KXImage preview = nullptr;
    EXPECT_NE(KXImgFmt_LoadImageScaled(path.c_str(), 0, 240, 0, 1, &preview), 0) << what;
    EXPECT_EQ(preview, nullptr) << what;
}

// Loads without judging the outcome; a success must still be a usable image.
void ExpectNoCrash(const std::string& path, const std::string& what) {
    KXImage image = nullptr;
    if (KXImgFmt_LoadImage(path.c_str(), 0, nullptr, 0, 1, &image) == 0) {
        ASSERT_NE(image, nullptr) << what;
        uint8_t* data = nullptr;
        KXBase_GetImageData(image, &data);
        KXBase_DestroyImage(image);
    }
}

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::string Be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}
std::string Le32(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}
std::string Le16(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8)};
}

std::string PngWithHeader(uint32_t width, uint32_t height) {
    std::string ihdr = "IHDR" + Be32(width) + Be32(height) + std::string("\x08\x02\0\0\0", 5);
    std::string idat = std::string("IDAT") + std::string("\x78\x9C\x03\x00\x00\x00\x00\x01", 8);
    return std::string("\x89PNG\r\n\x1A\n", 8) + Be32(13) + ihdr + Be32(Crc32(ihdr)) + Be32(8) +
           idat + Be32(Crc32(idat)) + Be32(0) + "IEND" + Be32(Crc32("IEND"));
}

std::string BmpWithHeader(int32_t width, int32_t height, uint32_t bits, uint32_t compression) {
    std::string info = Le32(40) + Le32(static_cast<uint32_t>(width)) +
                       Le32(static_cast<uint32_t>(height)) + Le16(1) + Le16(bits) +
                       Le32(compression) + Le32(0) + Le32(2835) + Le32(2835) + Le32(0) + Le32(0);
    std::string pixels(64, '\x7F');
    return "BM" + Le32(static_cast<uint32_t>(14 + info.size() + pixels.size())) + Le32(0) +
           Le32(54) + info + pixels;
}

std::string JpegWithFrame(uint32_t width, uint32_t height) {
    std::string sof = std::string("\xFF\xC0\x00\x0B\x08", 5) +
                      std::string{static_cast<char>(height >> 8), static_cast<char>(height)} +
                      std::string{static_cast<char>(width >> 8), static_cast<char>(width)} +
                      std::string("\x01\x01\x11\x00", 4);
    std::string dqt = std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, '\x01');
    std::string dht = std::string("\xFF\xC4\x00\x14\x00", 5) + std::string("\x01", 1) +
                      std::string(15, '\0') + std::string("\x00", 1);
    std::string sos = std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
    return std::string("\xFF\xD8", 2) + dqt + sof + dht + sos + std::string(100, '\0') +
           std::string("\xFF\xD9", 2);
}

std::string TiffWithSize(uint32_t width, uint32_t height) {
    auto entry = [](uint32_t tag, uint32_t type, uint32_t count, uint32_t value) {
        return Le16(tag) + Le16(type) + Le32(count) + Le32(value);
    };
    std::string ifd = Le16(8) + entry(256, 4, 1, width) + entry(257, 4, 1, height) +
                      entry(258, 3, 1, 8) + entry(259, 3, 1, 1) + entry(262, 3, 1, 1) +
                      entry(273, 4, 1, 200) + entry(278, 4, 1, height) +
                      entry(279, 4, 1, width * height) + Le32(0);
    std::string file = std::string("II*\0", 4) + Le32(8) + ifd;
    file.resize(260, '\x55');
    return file;
}

TEST(CorruptInput, EmptyAndTruncatedFilesOfEveryFormat) {
    TempDir dir;
    ImagePtr image = Photo(120, 90);
    ImagePtr bw = Pattern(120, 90, KX_PIXEL_BW);
    struct Saved {
        const char* name;
        KXImage image;
        ImageSaveInfo info;
    } files[] = {{"a.jpg", image.get(), {80, 0, 0}}, {"a.bmp", image.get(), {80, 0, 0}},
                 {"a.png", image.get(), {80, 0, 0}}, {"a.tif", image.get(), {80, 5, 80}},
                 {"g.tif", bw.get(), {80, 4, 80}},   {"j.tif", image.get(), {80, 7, 80}},
                 {"a.pdf", image.get(), {80, 0, 0}}, {"g.pdf", bw.get(), {80, 0, 0}},
                 {"a.ofd", image.get(), {80, 0, 0}}};
    for (const Saved& file : files) {
        std::string path = dir.File(file.name);
        ASSERT_EQ(KXImgFmt_SaveImage(file.image, 0, &file.info, path.c_str()), 0) << file.name;
        std::string bytes = ReadFile(path);
        WriteFile(path, "");
        ExpectRefused(path, std::string(file.name) + " empty");
        for (size_t keep :
             {size_t{2}, size_t{8}, size_t{40}, bytes.size() / 2, bytes.size() - 40}) {
            WriteFile(path, bytes.substr(0, keep));
            std::string what = std::string(file.name) + " cut to " + std::to_string(keep);
            if (std::string(file.name).find(".pdf") != std::string::npos && keep > 40)
                ExpectNoCrash(path, what);  // PDF readers rebuild damaged files
            else
                ExpectRefused(path, what);
        }
        for (size_t at : {size_t{3}, size_t{20}, bytes.size() / 3, bytes.size() / 2}) {
            std::string damaged = bytes;
            for (size_t k = at; k < std::min(bytes.size(), at + 16); ++k)
                damaged[k] = static_cast<char>(damaged[k] ^ 0x5A);
            WriteFile(path, damaged);
            ExpectNoCrash(path, std::string(file.name) + " damaged at " + std::to_string(at));
        }
    }
}

TEST(CorruptInput, AbsurdSizesAreRefusedBeforeAnyAllocation) {
    TempDir dir;
    const std::pair<std::string, std::string> cases[] = {
        {"huge.png", PngWithHeader(100000, 100000)},
        {"big.png", PngWithHeader(16000, 16000)},
        {"huge.bmp", BmpWithHeader(100000, 100000, 24, 0)},
        {"big.bmp", BmpWithHeader(16000, -16000, 24, 0)},
        {"rle.bmp", BmpWithHeader(8, 8, 8, 1)},
        {"negative.bmp", BmpWithHeader(-5, 8, 24, 0)},
        {"big.jpg", JpegWithFrame(60000, 60000)},
        {"zero.jpg", JpegWithFrame(0, 100)},
        {"huge.tif", TiffWithSize(100000, 100000)},
        {"big.tif", TiffWithSize(16000, 16000)},
    };
    for (const auto& [name, bytes] : cases) {
        std::string path = dir.File(name);
        WriteFile(path, bytes);
        ExpectRefused(path, name);
        ImageFileInfo info{};
        if (name.rfind("huge", 0) == 0) {
            EXPECT_NE(KXImgFmt_LoadImage(path.c_str(), 0, &info, 0, 0, nullptr), 0) << name;
        }
    }
}

TEST(CorruptInput, PdfImagesClaimingMorePixelsThanTheirData) {
    TempDir dir;
    std::string image =
        "<< /Type /XObject /Subtype /Image /Width 40000 /Height 40000 "
        "/ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode "
        "/Length 8 >>\nstream\n\x78\x9C\x03\x00\x00\x00\x00\x01\nendstream";
    std::string content = "q 612 0 0 792 0 0 cm /Im0 Do Q";
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /XObject << "
        "/Im0 4 0 R >> >> /Contents 5 0 R >>",
        image,
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream"};
    std::string pdf = "%PDF-1.4\n";
    for (size_t i = 0; i < objects.size(); ++i)
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    pdf += "trailer\n<< /Root 1 0 R /Size 6 >>\n%%EOF\n";
    std::string path = dir.File("bomb.pdf");
    WriteFile(path, pdf);
    ExpectRefused(path, "bomb.pdf");
}

TEST(CorruptInput, OfdPackagesWithMissingParts) {
    TempDir dir;
    const char* ofd =
        "<ofd:OFD xmlns:ofd=\"http://www.ofdspec.org/2016\"><ofd:DocBody>"
        "<ofd:DocRoot>Doc_0/Document.xml</ofd:DocRoot></ofd:DocBody></ofd:OFD>";
    const char* document =
        "<ofd:Document xmlns:ofd=\"http://www.ofdspec.org/2016\"><ofd:CommonData>"
        "<ofd:DocumentRes>DocumentRes.xml</ofd:DocumentRes></ofd:CommonData><ofd:Pages>"
        "<ofd:Page ID=\"1\" BaseLoc=\"Pages/Page_0/Content.xml\"/></ofd:Pages></ofd:Document>";
    const char* content =
        "<ofd:Page xmlns:ofd=\"http://www.ofdspec.org/2016\"><ofd:Content>"
        "<ofd:Layer ID=\"2\"><ofd:ImageObject ID=\"3\" ResourceID=\"4\" "
        "Boundary=\"0 0 10 10\"/></ofd:Layer></ofd:Content></ofd:Page>";
    const char* res =
        "<ofd:Res xmlns:ofd=\"http://www.ofdspec.org/2016\" BaseLoc=\"Res\">"
        "<ofd:MultiMedias><ofd:MultiMedia ID=\"4\" Type=\"Image\"><ofd:MediaFile>"
        "a.jpg</ofd:MediaFile></ofd:MultiMedia></ofd:MultiMedias></ofd:Res>";
    const char* bomb =
        "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
        "<ofd:OFD><ofd:DocRoot>&b;</ofd:DocRoot></ofd:OFD>";
    const std::vector<std::vector<std::pair<std::string, std::string>>> packages = {
        {{"OFD.xml", "not xml at all <<<"}},
        {{"OFD.xml", ofd}},
        {{"OFD.xml", ofd}, {"Doc_0/Document.xml", document}},
        {{"OFD.xml", ofd},
         {"Doc_0/Document.xml", document},
         {"Doc_0/Pages/Page_0/Content.xml", content}},
        {{"OFD.xml", ofd},
         {"Doc_0/Document.xml", document},
         {"Doc_0/Pages/Page_0/Content.xml", content},
         {"Doc_0/DocumentRes.xml", res}},
        {{"OFD.xml", ofd},
         {"Doc_0/Document.xml", document},
         {"Doc_0/Pages/Page_0/Content.xml", content},
         {"Doc_0/DocumentRes.xml", res},
         {"Doc_0/Res/a.jpg", "\xFF\xD8\xFF garbage"}},
        {{"OFD.xml", bomb}},
    };
    for (size_t i = 0; i < packages.size(); ++i) {
        std::string path = dir.File("broken" + std::to_string(i) + ".ofd");
        WriteZip(path, packages[i]);
        ExpectRefused(path, "package " + std::to_string(i));
    }
}

// A scan that names Huffman tables the file never defines: the header reads
// fine, the decode would not, so the load must fail rather than hand out an
// image whose pixels can never be produced.
TEST(CorruptInput, JpegScanNamingMissingTables) {
    TempDir dir;
    std::string path = dir.File("tables.jpg");
    ImagePtr photo = Photo(64, 64);
    ASSERT_EQ(KXImgFmt_SaveImage(photo.get(), 0, nullptr, path.c_str()), 0);
    std::string bytes = ReadFile(path);
    size_t scan = bytes.find("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    int components = static_cast<unsigned char>(bytes[scan + 4]);
    for (int k = 0; k < components; ++k)
        bytes[scan + 6 + 2 * k] = '\x33';
    WriteFile(path, bytes);
    ExpectRefused(path, "tables.jpg");
}

TEST(CorruptInput, BadArguments) {
    TempDir dir;
    std::string path = dir.File("ok.png");
    ImagePtr image = Create(4, 4, KX_PIXEL_GRAY);
    ASSERT_EQ(KXImgFmt_SaveImage(image.get(), 0, nullptr, path.c_str()), 0);
    KXImage out = nullptr;
    EXPECT_NE(KXImgFmt_LoadImage(nullptr, 0, nullptr, 0, 1, &out), 0);
    EXPECT_NE(KXImgFmt_LoadImage(path.c_str(), 0, nullptr, 3, 1, &out), 0);
    EXPECT_NE(KXImgFmt_LoadImage(path.c_str(), 0, nullptr, 0, 7, &out), 0);
    EXPECT_NE(KXImgFmt_LoadImage(path.c_str(), 0, nullptr, 0, 0, nullptr), 0);
    EXPECT_NE(KXImgFmt_LoadImage(path.c_str(), 9, nullptr, 0, 1, &out), 0);
    EXPECT_NE(KXImgFmt_LoadImage(path.c_str(), KX_FORMAT_JPEG, nullptr, 0, 1, &out), 0);
    EXPECT_EQ(out, nullptr);
    EXPECT_NE(KXImgFmt_LoadImage((dir.path() + "absent.png").c_str(), 0, nullptr, 0, 1, &out), 0);
    EXPECT_NE(KXImgFmt_LoadImageScaled(path.c_str(), 0, 0, 0, 1, &out), 0);
}

}  // namespace

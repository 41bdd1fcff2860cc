// TIFF: multi-page writing with every compression (checked with tiffinfo),
// reading the first page, and reading the layouts other programs write.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "image_test_util.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"

using namespace image_test;
using testing_support::TempDir;

namespace {

// tiffinfo's description of each directory, in order.
std::vector<std::string> Directories(const std::string& path) {
    std::string output = RunCommand("tiffinfo '" + path + "' 2>&1");
    std::vector<std::string> directories;
    for (size_t at = output.find("TIFF Directory"); at != std::string::npos;) {
        size_t next = output.find("TIFF Directory", at + 1);
        directories.push_back(output.substr(at, next == std::string::npos ? next : next - at));
        at = next;
    }
    return directories;
}

TEST(Tiff, EveryCompressionAndPixelTypeInOneDocument) {
    TempDir dir;
    std::string path = dir.File("pages.tif");
    KXImgWriter writer = nullptr;
    ASSERT_EQ(KXImgFmt_OpenImageWriter(path.c_str(), 0, &writer), 0);
    struct Page {
        uint32_t type;
        uint32_t compression;
        const char* scheme;
        const char* bits;
    } pages[] = {
        {KX_PIXEL_RGB, KX_TIFF_NONE, "None", "Bits/Sample: 8"},
        {KX_PIXEL_GRAY, KX_TIFF_LZW, "LZW", "Bits/Sample: 8"},
        {KX_PIXEL_RGB, KX_TIFF_JPEG, "JPEG", "Bits/Sample: 8"},
        {KX_PIXEL_BW, KX_TIFF_CCITT_G4, "CCITT Group 4", "Bits/Sample: 1"},
        {KX_PIXEL_RGB, KX_TIFF_CCITT_G4, "CCITT Group 4", "Bits/Sample: 1"},  // thresholded
        {KX_PIXEL_BW, KX_TIFF_JPEG, "JPEG", "Bits/Sample: 8"},                // widened to grey
        {KX_PIXEL_BW, 99, "LZW", "Bits/Sample: 1"},                           // unknown code
    };
    for (const Page& page : pages) {
        ImagePtr image = page.type == KX_PIXEL_RGB ? Photo(64, 48) : Pattern(64, 48, page.type);
        ImageSaveInfo info{80, page.compression, 75};
        ASSERT_EQ(KXImgFmt_SaveImageToWriter(writer, image.get(), &info), 0);
    }
    ASSERT_EQ(KXImgFmt_CloseImageWriter(writer), 0);

    std::vector<std::string> directories = Directories(path);
    ASSERT_EQ(directories.size(), std::size(pages));
    for (size_t i = 0; i < directories.size(); ++i) {
        EXPECT_NE(directories[i].find(std::string("Compression Scheme: ") + pages[i].scheme),
                  std::string::npos)
            << i << directories[i];
        EXPECT_NE(directories[i].find(pages[i].bits), std::string::npos) << i << directories[i];
    }
}

// A page whose source has no resolution is written at 200 dpi, as PDF and
// OFD pages are; a known resolution is kept.
TEST(Tiff, PagesWithoutResolutionAreWrittenAt200Dpi) {
    TempDir dir;
    std::string path = dir.File("pages.tif");
    ImagePtr unknown = Pattern(40, 30, KX_PIXEL_GRAY);
    ImagePtr known = Pattern(40, 30, KX_PIXEL_BW);
    KXBase_SetImageResolution(known.get(), 300);
    KXImgWriter writer = nullptr;
    ASSERT_EQ(KXImgFmt_OpenImageWriter(path.c_str(), 0, &writer), 0);
    ASSERT_EQ(KXImgFmt_SaveImageToWriter(writer, unknown.get(), nullptr), 0);
    ASSERT_EQ(KXImgFmt_SaveImageToWriter(writer, known.get(), nullptr), 0);
    ASSERT_EQ(KXImgFmt_CloseImageWriter(writer), 0);
    std::string single = dir.File("single.tif");
    ASSERT_EQ(KXImgFmt_SaveImage(unknown.get(), 0, nullptr, single.c_str()), 0);

    std::vector<std::string> directories = Directories(path);
    directories.push_back(Directories(single).at(0));
    ASSERT_EQ(directories.size(), 3u);
    const char* expected[] = {"Resolution: 200, 200 pixels/inch",
                              "Resolution: 300, 300 pixels/inch",
                              "Resolution: 200, 200 pixels/inch"};
    for (size_t i = 0; i < directories.size(); ++i)
        EXPECT_NE(directories[i].find(expected[i]), std::string::npos) << i << directories[i];
}

TEST(Tiff, LoadReadsTheFirstPage) {
    TempDir dir;
    std::string path = dir.File("two.tif");
    ImagePtr first = Pattern(30, 20, KX_PIXEL_GRAY);
    ImagePtr second = Pattern(50, 10, KX_PIXEL_RGB);
    KXImgWriter writer = nullptr;
    ASSERT_EQ(KXImgFmt_OpenTiffWriter(path.c_str(), &writer), 0);
    ASSERT_EQ(KXImgFmt_SaveImageToTiffWriter(writer, first.get(), nullptr), 0);
    ASSERT_EQ(KXImgFmt_SaveImageToTiffWriter(writer, second.get(), nullptr), 0);
    ASSERT_EQ(KXImgFmt_CloseTiffWriter(writer), 0);
    ImagePtr loaded = Load(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(DifferentPixels(loaded.get(), first.get()), 0u);
}

TEST(Tiff, JpegCompressionHonoursItsQuality) {
    TempDir dir;
    ImagePtr photo = Photo(300, 200);
    std::string good = dir.File("good.tif"), poor = dir.File("poor.tif");
    ImageSaveInfo goodInfo{10, KX_TIFF_JPEG, 95}, poorInfo{95, KX_TIFF_JPEG, 10};
    ASSERT_EQ(KXImgFmt_SaveImage(photo.get(), 0, &goodInfo, good.c_str()), 0);
    ASSERT_EQ(KXImgFmt_SaveImage(photo.get(), 0, &poorInfo, poor.c_str()), 0);
    EXPECT_GT(testing_support::ReadFile(good).size(), 2 * testing_support::ReadFile(poor).size());
    ImagePtr loaded = Load(good);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(InfoOf(loaded.get()).type, KX_PIXEL_RGB);
    EXPECT_LT(MeanDifference(loaded.get(), photo.get()), 2.5);
}

// Writes a TIFF the way other programs do, row by row through a callback.
void WriteForeignTiff(const std::string& path, uint32_t width, uint32_t height,
                      const std::function<void(TIFF*)>& tags,
                      const std::function<void(uint32_t, std::vector<uint8_t>*)>& row,
                      size_t rowBytes, bool tiled = false) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    tags(tiff);
    std::vector<uint8_t> line(rowBytes);
    if (tiled) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
        std::vector<uint8_t> whole(rowBytes * height);
        for (uint32_t y = 0; y < height; ++y) {
            row(y, &line);
            std::memcpy(&whole[y * rowBytes], line.data(), rowBytes);
        }
        size_t pixelBytes = rowBytes / width;
        std::vector<uint8_t> tile(16 * 16 * pixelBytes);
        for (uint32_t ty = 0; ty < height; ty += 16)
            for (uint32_t tx = 0; tx < width; tx += 16) {
                std::fill(tile.begin(), tile.end(), 0);
                for (uint32_t y = 0; y < 16 && ty + y < height; ++y)
                    for (uint32_t x = 0; x < 16 && tx + x < width; ++x)
                        std::memcpy(&tile[(y * 16 + x) * pixelBytes],
                                    &whole[(ty + y) * rowBytes + (tx + x) * pixelBytes],
                                    pixelBytes);
                TIFFWriteTile(tiff, tile.data(), tx, ty, 0, 0);
            }
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 4);
        for (uint32_t y = 0; y < height; ++y) {
            row(y, &line);
            TIFFWriteScanline(tiff, line.data(), y, 0);
        }
    }
    TIFFClose(tiff);
}

TEST(Tiff, ReadsLayoutsOfOtherWriters) {
    TempDir dir;
    const uint32_t w = 20, h = 12;
    auto grey = [](uint32_t x, uint32_t y) { return static_cast<uint8_t>(x * 10 + y * 3); };
    auto basic = [](uint16_t bits, uint16_t samples, uint16_t photometric) {
        return [=](TIFF* tiff) {
            TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
            TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
            TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
        };
    };

    // 1-bit, min-is-black: 1 bits are white.
    std::string minIsBlack = dir.File("minisblack.tif");
    WriteForeignTiff(
        minIsBlack, w, h, basic(1, 1, PHOTOMETRIC_MINISBLACK),
        [&](uint32_t y, std::vector<uint8_t>* line) {
            std::fill(line->begin(), line->end(), y % 2 ? 0xFF : 0x00);
        },
        (w + 7) / 8);
    ImagePtr bw = Load(minIsBlack);
    ASSERT_NE(bw, nullptr);
    EXPECT_EQ(InfoOf(bw.get()).type, KX_PIXEL_BW);
    EXPECT_EQ(PixelRgb(bw.get(), 19, 0), 0u);
    EXPECT_EQ(PixelRgb(bw.get(), 19, 1), 0xFFFFFFu);

    // 8-bit min-is-white grey.
    std::string minIsWhite = dir.File("miniswhite.tif");
    WriteForeignTiff(
        minIsWhite, w, h, basic(8, 1, PHOTOMETRIC_MINISWHITE),
        [&](uint32_t y, std::vector<uint8_t>* line) {
            for (uint32_t x = 0; x < w; ++x)
                (*line)[x] = static_cast<uint8_t>(255 - grey(x, y));
        },
        w);
    ImagePtr inverted = Load(minIsWhite);
    ASSERT_NE(inverted, nullptr);
    EXPECT_EQ(PixelRgb(inverted.get(), 7, 5), Rgb(grey(7, 5), grey(7, 5), grey(7, 5)));

    // 16-bit grey is reduced to 8 bits.
    std::string deep = dir.File("deep.tif");
    WriteForeignTiff(
        deep, w, h, basic(16, 1, PHOTOMETRIC_MINISBLACK),
        [&](uint32_t y, std::vector<uint8_t>* line) {
            for (uint32_t x = 0; x < w; ++x) {
                uint16_t v = static_cast<uint16_t>(grey(x, y) * 257);
                std::memcpy(&(*line)[x * 2], &v, 2);
            }
        },
        w * 2);
    ImagePtr reduced = Load(deep);
    ASSERT_NE(reduced, nullptr);
    EXPECT_EQ(InfoOf(reduced.get()).type, KX_PIXEL_GRAY);
    EXPECT_EQ(PixelRgb(reduced.get(), 3, 9), Rgb(grey(3, 9), grey(3, 9), grey(3, 9)));

    // 4-bit colour palette.
    std::string palette = dir.File("palette.tif");
    std::vector<uint16_t> red(16), green(16), blue(16);
    for (int i = 0; i < 16; ++i) {
        red[i] = static_cast<uint16_t>(i * 17 * 257);
        green[i] = static_cast<uint16_t>((15 - i) * 17 * 257);
        blue[i] = 0x8080;
    }
    WriteForeignTiff(
        palette, w, h,
        [&](TIFF* tiff) {
            basic(4, 1, PHOTOMETRIC_PALETTE)(tiff);
            TIFFSetField(tiff, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
        },
        [&](uint32_t, std::vector<uint8_t>* line) {
            for (uint32_t x = 0; x < w; x += 2)
                (*line)[x / 2] = static_cast<uint8_t>((x % 16) << 4 | ((x + 1) % 16));
        },
        w / 2);
    ImagePtr indexed = Load(palette);
    ASSERT_NE(indexed, nullptr);
    EXPECT_EQ(InfoOf(indexed.get()).type, KX_PIXEL_RGB);
    EXPECT_EQ(PixelRgb(indexed.get(), 3, 2), Rgb(3 * 17, 12 * 17, 0x80));

    // Tiled RGB goes through libtiff's RGBA reader.
    std::string tiles = dir.File("tiles.tif");
    WriteForeignTiff(
        tiles, w, h, basic(8, 3, PHOTOMETRIC_RGB),
        [&](uint32_t y, std::vector<uint8_t>* line) {
            for (uint32_t x = 0; x < w; ++x) {
                (*line)[x * 3] = grey(x, y);
                (*line)[x * 3 + 1] = 10;
                (*line)[x * 3 + 2] = 200;
            }
        },
        w * 3, true);
    ImagePtr tiled = Load(tiles);
    ASSERT_NE(tiled, nullptr);
    EXPECT_EQ(PixelRgb(tiled.get(), 17, 11), Rgb(grey(17, 11), 10, 200));
}

TEST(Tiff, RefusesSamplesItCannotShow) {
    TempDir dir;
    std::string path = dir.File("float.tif");
    WriteForeignTiff(
        path, 8, 8,
        [](TIFF* tiff) {
            TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 32);
            TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
            TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
            TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        },
        [](uint32_t, std::vector<uint8_t>* line) { std::fill(line->begin(), line->end(), 0); }, 32);
    EXPECT_EQ(Load(path), nullptr);
}

}  // namespace

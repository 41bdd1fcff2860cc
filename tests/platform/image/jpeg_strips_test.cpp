// Decoding JPEG streams in two strips on two threads: which streams qualify,
// that the strips give exactly the pixels of libjpeg decoding the whole stream
// with the same settings (full quality, where chroma is smoothed across the
// seam, and the fast scaled previews), and that damaged streams with restart
// markers decode as the whole-stream decode does, never worse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "image_test_util.h"
#include "platform/image/image_object.h"
#include "platform/image/jpeg_decoder.h"
#include "platform/image/jpeg_encoder.h"
#include "platform/image/jpeg_strip_decode.h"
#include "platform/image/jpeg_strips.h"

using namespace kximage;

namespace {

struct Encoding {
    const char* name;
    uint32_t width;
    uint32_t height;
    int components;
    int lumaH;  // sampling of the first component; the others are 1x1
    int lumaV;
    int restartRows;  // libjpeg's restart_in_rows
    int restartMcus;  // or an interval in MCUs (0 = none)
    bool progressive;
    bool splits;  // expected from ReadRestartLayout
};

// Text-like edges over gradients with noise, so that every interval holds
// real coded data and stuffed 0xFF bytes.
std::vector<uint8_t> Picture(uint32_t width, uint32_t height, int components) {
    std::vector<uint8_t> pixels(size_t{width} * height * components);
    std::mt19937 random(width * 31 + height);
    std::uniform_int_distribution<int> noise(-24, 24);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c) {
                int value =
                    ((x / 7 + y / 5) % 4 == 0) ? 30 : static_cast<int>((x * (c + 1) + y * 2) % 256);
                value += noise(random);
                pixels[(size_t{y} * width + x) * components + c] =
                    static_cast<uint8_t>(value < 0     ? 0
                                         : value > 255 ? 255
                                                       : value);
            }
    return pixels;
}

std::vector<uint8_t> Encode(const Encoding& e) {
    std::vector<uint8_t> pixels = Picture(e.width, e.height, e.components);
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = e.width;
    info.image_height = e.height;
    info.input_components = e.components;
    info.in_color_space = e.components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    if (e.components == 3) {
        info.comp_info[0].h_samp_factor = e.lumaH;
        info.comp_info[0].v_samp_factor = e.lumaV;
    }
    info.restart_in_rows = e.restartRows;
    info.restart_interval = static_cast<unsigned>(e.restartMcus);
    if (e.progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = pixels.data() + size_t{info.next_scanline} * e.width * e.components;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

// What libjpeg gives for the whole stream with the decoder's settings, as
// packed rows of the output colour space.
struct Reference {
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 0;
    std::vector<uint8_t> pixels;
};

Reference DecodeWhole(const std::vector<uint8_t>& bytes, int scale, bool grey) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    errors.emit_message = [](j_common_ptr, int) {};
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    info.scale_num = static_cast<unsigned>(scale);
    info.scale_denom = 8;
    if (scale < 8) {
        info.dct_method = JDCT_IFAST;
        info.do_fancy_upsampling = FALSE;
    }
    jpeg_start_decompress(&info);
    Reference reference{info.output_width, info.output_height, info.output_components, {}};
    size_t rowBytes = size_t{reference.width} * reference.components;
    reference.pixels.resize(rowBytes * reference.height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = reference.pixels.data() + info.output_scanline * rowBytes;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return reference;
}

// Number of rows of image that differ from the reference (-1 for another size).
int RowsDiffering(const KXImageObject& image, const Reference& reference) {
    if (image.width != reference.width || image.height != reference.height) return -1;
    size_t rowBytes = size_t{reference.width} * reference.components;
    int differing = 0;
    for (uint32_t y = 0; y < image.height; ++y)
        if (!std::equal(reference.pixels.begin() + y * rowBytes,
                        reference.pixels.begin() + (y + 1) * rowBytes, Row(&image, y)))
            ++differing;
    return differing;
}

// The DCT scales the decoder uses: full quality, and two fast previews.
constexpr int kScales[] = {8, 3, 1};

uint32_t MinLongSideFor(uint32_t width, uint32_t height, int scale) {
    if (scale == 8) return UINT32_MAX;
    uint32_t longSide = width > height ? width : height;
    return (longSide * (scale - 1) + 7) / 8 + 1;
}

// Every decode of bytes (colour output, and grey output of colour files)
// through the loader's decoder and, for streams that split, directly in
// strips, compared with the whole-stream reference.
void ExpectSamePixels(const std::vector<uint8_t>& bytes, bool splits, const std::string& what) {
    std::shared_ptr<JpegSource> source = ParseJpeg(bytes);
    ASSERT_TRUE(source) << what;
    JpegRestartLayout layout;
    ASSERT_EQ(ReadRestartLayout(bytes.data(), bytes.size(), &layout), splits) << what;
    std::vector<bool> greyOutputs = {source->components == 1};
    if (source->components == 3) greyOutputs.push_back(true);
    for (int scale : kScales) {
        for (bool grey : greyOutputs) {
            std::string at =
                what + " scale " + std::to_string(scale) + (grey ? " grey" : " colour");
            Reference reference = DecodeWhole(bytes, scale, grey);
            uint32_t type = grey ? KX_PIXEL_GRAY : KX_PIXEL_RGB;
            auto loaded = DecodeJpegScaled(
                *source, MinLongSideFor(source->width, source->height, scale), type);
            ASSERT_TRUE(loaded) << at;
            EXPECT_EQ(RowsDiffering(*loaded, reference), 0) << at;
            if (!splits) continue;
            auto strips = NewImage(reference.width, reference.height, type);
            ASSERT_EQ(DecodeJpegInStrips(bytes.data(), layout, scale, scale < 8, strips.get()),
                      KX_OK)
                << at;
            EXPECT_EQ(RowsDiffering(*strips, reference), 0) << at;
        }
    }
}

TEST(JpegStrips, StripsDecodeToTheSamePixelsAsTheWholeStream) {
    const Encoding cases[] = {
        {"colour 4:2:0, restart every row", 640, 480, 3, 2, 2, 1, 0, false, true},
        {"colour 4:2:0, height not a whole MCU row", 600, 501, 3, 2, 2, 1, 0, false, true},
        {"colour 4:4:4, restart every 3 rows", 640, 500, 3, 1, 1, 3, 0, false, true},
        {"colour 4:2:2, restart every 2 rows", 610, 470, 3, 2, 1, 2, 0, false, true},
        {"colour 4:4:0, restart every row", 600, 470, 3, 1, 2, 1, 0, false, true},
        {"grey, restart every row", 600, 503, 1, 1, 1, 1, 0, false, true},
        {"grey, restart every 5 rows", 640, 480, 1, 1, 1, 5, 0, false, true},
        {"colour 4:2:0, restart every row, tall", 640, 1200, 3, 2, 2, 1, 0, false, true},
        {"grey, restart every row, tall", 512, 1100, 1, 1, 1, 1, 0, false, true},
        {"colour without restart markers", 640, 480, 3, 2, 2, 0, 0, false, false},
        {"grey without restart markers", 640, 480, 1, 1, 1, 0, 0, false, false},
        {"progressive with restart markers", 640, 480, 3, 2, 2, 1, 0, true, false},
        {"restart interval not on MCU rows", 640, 480, 3, 2, 2, 0, 7, false, false},
        {"too small to split", 400, 300, 3, 2, 2, 1, 0, false, false},
    };
    for (const Encoding& e : cases)
        ExpectSamePixels(Encode(e), e.splits, e.name);
}

TEST(JpegStrips, PagesOfOurEncoderSplitAndSmallImagesCarryNoRestartMarkers) {
    for (uint32_t type : {KX_PIXEL_RGB, KX_PIXEL_GRAY, KX_PIXEL_BW}) {
        auto page = image_test::Pattern(700, 520, type);
        std::vector<uint8_t> bytes;
        ASSERT_EQ(EncodeJpeg(page.get(), 80, &bytes), KX_OK);
        JpegRestartLayout layout;
        ASSERT_TRUE(ReadRestartLayout(bytes.data(), bytes.size(), &layout)) << type;
        EXPECT_LE(layout.Intervals(), kEncoderRestartIntervals) << type;
        EXPECT_GE(layout.Intervals(), kEncoderRestartIntervals / 2) << type;
        ExpectSamePixels(bytes, true, "our page of type " + std::to_string(type));

        auto small = image_test::Pattern(300, 200, type);
        ASSERT_EQ(EncodeJpeg(small.get(), 80, &bytes), KX_OK);
        EXPECT_EQ(image_test::CountOf(std::string(bytes.begin(), bytes.end()), "\xFF\xDD"), 0u);
    }
}

std::vector<uint8_t> Page() {
    return Encode({"page", 640, 480, 3, 2, 2, 1, 0, false, true});
}

// Damage in the second half of a page whose strips are decoded one interval
// at a time, and of a taller one whose strips are decoded as streams of many
// intervals.
TEST(JpegStrips, DamagedStreamsDecodeAsTheWholeStreamDoes) {
    const uint8_t kEnd[] = {0xFF, 0xD9};
    for (const std::vector<uint8_t>& page :
         {Page(), Encode({"tall page", 640, 1200, 3, 2, 2, 1, 0, false, true})}) {
        JpegRestartLayout layout;
        ASSERT_TRUE(ReadRestartLayout(page.data(), page.size(), &layout));
        std::string size = std::to_string(layout.height) + " rows: ";
        size_t late = layout.restarts[layout.restarts.size() * 3 / 4];
        size_t last = layout.restarts.back();
        auto upTo = [&](size_t end) {
            return std::vector<uint8_t>(page.begin(), page.begin() + static_cast<long>(end));
        };

        std::vector<uint8_t> misnumbered = page;
        misnumbered[late + 1] = static_cast<uint8_t>(0xD0 + ((page[late + 1] - 0xD0 + 3) & 7));
        ExpectSamePixels(misnumbered, false, size + "a restart marker with a wrong number");

        std::vector<uint8_t> markerLost = page;
        markerLost.erase(markerLost.begin() + static_cast<long>(late),
                         markerLost.begin() + static_cast<long>(late) + 2);
        ExpectSamePixels(markerLost, false, size + "a restart marker lost");

        std::vector<uint8_t> cutEarly = upTo(late + 20);
        cutEarly.insert(cutEarly.end(), kEnd, kEnd + 2);
        ExpectSamePixels(cutEarly, false, size + "cut in the second half, end marker added");

        std::vector<uint8_t> cutInLastInterval = upTo(last + 30);
        cutInLastInterval.insert(cutInLastInterval.end(), kEnd, kEnd + 2);
        ExpectSamePixels(cutInLastInterval, true, size + "cut in the last interval, end added");

        std::vector<uint8_t> garbled = page;
        std::mt19937 random(7);
        for (size_t i = late + 2; i < late + 200; ++i)
            garbled[i] = static_cast<uint8_t>(random() % 255);  // never 0xFF: no new markers
        ExpectSamePixels(garbled, true, size + "garbled coded data in the second half");

        EXPECT_FALSE(ParseJpeg(upTo(late + 20))) << size << "cut in the second half";
    }
}

// Decodes on several threads at once: one at a time gets the helper thread,
// the others decode both strips themselves.
TEST(JpegStrips, ConcurrentDecodesShareTheHelper) {
    std::vector<uint8_t> page = Page();
    Reference reference = DecodeWhole(page, 1, false);
    std::shared_ptr<JpegSource> source = ParseJpeg(page);
    ASSERT_TRUE(source);
    std::vector<int> differing(3, -2);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < differing.size(); ++t)
        threads.emplace_back([&, t] {
            int total = 0;
            for (int i = 0; i < 4; ++i) {
                auto image = DecodeJpegScaled(*source, 1, KX_PIXEL_RGB);
                total += image ? RowsDiffering(*image, reference) : 1000;
            }
            differing[t] = total;
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int count : differing)
        EXPECT_EQ(count, 0);
}

}  // namespace

#include "platform/driver/sane/page_processing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

SanePage Page(SANE_Frame format, int depth, int width, int height, std::vector<uint8_t> data,
              int bytesPerLine = 0) {
    SanePage page;
    int samples = width * (format == SANE_FRAME_RGB ? 3 : 1);
    page.parameters.format = format;
    page.parameters.depth = depth;
    page.parameters.pixels_per_line = width;
    page.parameters.lines = height;
    page.parameters.bytes_per_line = bytesPerLine > 0 ? bytesPerLine : (samples * depth + 7) / 8;
    page.parameters.last_frame = SANE_TRUE;
    page.resolution = 200;
    page.data = std::move(data);
    return page;
}

SanePage Grey(int width, int height, std::vector<uint8_t> data) {
    return Page(SANE_FRAME_GRAY, 8, width, height, std::move(data));
}

std::vector<uint8_t> Sixteen(std::vector<uint16_t> samples) {
    std::vector<uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

// Settings that leave a page as it is.
SaneScanSettings Untouched() {
    SaneScanSettings settings;
    settings.denoise = false;
    return settings;
}

struct PixelCase {
    const char* what;
    SanePage page;
    std::function<void(SaneScanSettings&)> adjust;
    SANE_Frame format;
    int depth;
    int width;
    int height;
    std::vector<uint8_t> expected;
};

TEST(SanePageProcessing, ProducesExactPixels) {
    std::vector<uint8_t> twoByThree = {1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> dot = {100, 100, 100, 100, 10, 100, 100, 100, 100};
    const std::vector<PixelCase> cases = {
        {"16-bit grey to 8, padding dropped",
         Page(SANE_FRAME_GRAY, 16, 4, 1, Sixteen({0, 0x7F80, 0xFFFF, 0x0180, 0xAAAA}), 10),
         [](SaneScanSettings&) {},
         SANE_FRAME_GRAY,
         8,
         4,
         1,
         {0, 128, 255, 2}},
        {"16-bit colour to 8",
         Page(SANE_FRAME_RGB, 16, 1, 1, Sixteen({0x1234, 0x80FF, 0xFF00})),
         [](SaneScanSettings&) {},
         SANE_FRAME_RGB,
         8,
         1,
         1,
         {0x12, 0x81, 0xFF}},
        {"1-bit colour to 8",
         Page(SANE_FRAME_RGB, 1, 3, 1, {0b10101100, 0b10000000}),
         [](SaneScanSettings&) {},
         SANE_FRAME_RGB,
         8,
         3,
         1,
         {255, 0, 255, 0, 255, 255, 0, 0, 255}},
        {"gamma through the tone curve",
         Grey(3, 1, {0, 64, 255}),
         [](SaneScanSettings& s) { s.gamma = 2.0; },
         SANE_FRAME_GRAY,
         8,
         3,
         1,
         {0, 128, 255}},
        {"software brightness",
         Grey(3, 1, {0, 100, 250}),
         [](SaneScanSettings& s) {
             s.softwareBrightness = true;
             s.brightness = 50;
         },
         SANE_FRAME_GRAY,
         8,
         3,
         1,
         {64, 164, 255}},
        {"brightness the device applied is not applied again",
         Grey(3, 1, {0, 100, 250}),
         [](SaneScanSettings& s) { s.brightness = 50; },
         SANE_FRAME_GRAY,
         8,
         3,
         1,
         {0, 100, 250}},
        {"grey thresholded to black and white",
         Grey(9, 1, {0, 127, 128, 255, 10, 200, 90, 250, 3}),
         [](SaneScanSettings& s) { s.blackWhite = true; },
         SANE_FRAME_GRAY,
         1,
         9,
         1,
         {0b11001010, 0b10000000}},
        {"colour thresholded by luminance",
         Page(SANE_FRAME_RGB, 8, 2, 1, {255, 0, 0, 0, 255, 0}),
         [](SaneScanSettings& s) { s.blackWhite = true; },
         SANE_FRAME_GRAY,
         1,
         2,
         1,
         {0b10000000}},
        {"sharpening a dark dot",
         Grey(3, 3, dot),
         [](SaneScanSettings& s) { s.sharpen = true; },
         SANE_FRAME_GRAY,
         8,
         3,
         3,
         {110, 110, 110, 110, 0, 110, 110, 110, 110}},
        {"90° turns clockwise",
         Grey(2, 3, twoByThree),
         [](SaneScanSettings& s) { s.rotationDegrees = 90; },
         SANE_FRAME_GRAY,
         8,
         3,
         2,
         {5, 3, 1, 6, 4, 2}},
        {"-90° turns counter-clockwise",
         Grey(2, 3, twoByThree),
         [](SaneScanSettings& s) { s.rotationDegrees = 270; },
         SANE_FRAME_GRAY,
         8,
         3,
         2,
         {2, 4, 6, 1, 3, 5}},
        {"180°",
         Grey(2, 3, twoByThree),
         [](SaneScanSettings& s) { s.rotationDegrees = 180; },
         SANE_FRAME_GRAY,
         8,
         2,
         3,
         {6, 5, 4, 3, 2, 1}},
        {"unknown height takes every whole row",
         Grey(2, -1, {1, 2, 3, 4, 5}),
         [](SaneScanSettings&) {},
         SANE_FRAME_GRAY,
         8,
         2,
         2,
         {1, 2, 3, 4}},
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(c.what);
        SaneScanSettings settings = Untouched();
        c.adjust(settings);
        std::vector<SanePage> out;
        ASSERT_EQ(ProcessSanePage(c.page, settings, &out), SANE_STATUS_GOOD);
        ASSERT_EQ(out.size(), 1u);
        const SANE_Parameters& p = out[0].parameters;
        EXPECT_EQ(p.format, c.format);
        EXPECT_EQ(p.depth, c.depth);
        EXPECT_EQ(p.pixels_per_line, c.width);
        EXPECT_EQ(p.lines, c.height);
        EXPECT_EQ(p.last_frame, SANE_TRUE);
        EXPECT_EQ(static_cast<size_t>(p.bytes_per_line) * p.lines, out[0].data.size());
        EXPECT_EQ(out[0].data, c.expected);
        EXPECT_EQ(out[0].resolution, 200);
    }
}

TEST(SanePageProcessing, SplitsIntoLeftAndRightHalves) {
    SaneScanSettings settings = Untouched();
    settings.split = true;
    std::vector<SanePage> out;
    ASSERT_EQ(ProcessSanePage(Grey(5, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), settings, &out),
              SANE_STATUS_GOOD);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].data, (std::vector<uint8_t>{1, 2, 3, 6, 7, 8}));
    EXPECT_EQ(out[1].data, (std::vector<uint8_t>{4, 5, 9, 10}));
    EXPECT_EQ(out[1].parameters.pixels_per_line, 2);

    // Black and white halves at a column that is not on a byte boundary.
    SanePage bits = Page(SANE_FRAME_GRAY, 1, 10, 1, {0b11111000, 0b01000000});
    ASSERT_EQ(ProcessSanePage(bits, settings, &out), SANE_STATUS_GOOD);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].data, (std::vector<uint8_t>{0b11111000}));
    EXPECT_EQ(out[1].data, (std::vector<uint8_t>{0b00001000}));
}

// A 1-bit page at 300 dpi with one isolated black pixel and a 4 x 4 block.
SanePage SpeckledPage() {
    std::vector<uint8_t> rows(2 * 16, 0);
    rows[2 * 1] = 0b00100000;  // the speck at (2, 1)
    for (int y = 8; y < 12; ++y)
        rows[2 * y + 1] = 0b11110000;
    SanePage page = Page(SANE_FRAME_GRAY, 1, 16, 16, rows);
    page.resolution = 300;
    return page;
}

TEST(SanePageProcessing, NoiseRemovalClearsSpecksButKeepsMarks) {
    SaneScanSettings settings = Untouched();
    std::vector<SanePage> out;
    ASSERT_EQ(ProcessSanePage(SpeckledPage(), settings, &out), SANE_STATUS_GOOD);
    EXPECT_EQ(out.at(0).data, SpeckledPage().data);

    settings.denoise = true;
    ASSERT_EQ(ProcessSanePage(SpeckledPage(), settings, &out), SANE_STATUS_GOOD);
    std::vector<uint8_t> expected = SpeckledPage().data;
    expected[2] = 0;
    EXPECT_EQ(out.at(0).data, expected);
}

// A white 400 x 400 grey page at 200 dpi (about 51 mm square) with a black
// square of side pixels in the middle.
SanePage PaperWithSquare(int side) {
    std::vector<uint8_t> pixels(400 * 400, 245);
    for (int y = 200 - side / 2; y < 200 - side / 2 + side; ++y)
        for (int x = 200 - side / 2; x < 200 - side / 2 + side; ++x)
            pixels[y * 400 + x] = 20;
    return Grey(400, 400, pixels);
}

TEST(SanePageProcessing, SkipsBlankPagesWithTheSensitivity) {
    struct Case {
        const char* what;
        int square;  // pixels at 200 dpi
        int sensitivity;
        size_t delivered;
    };
    const std::vector<Case> cases = {
        {"white page", 0, 5, 0},
        {"a 5 mm mark", 40, 5, 1},
        {"a 5 mm mark at the highest sensitivity", 40, 100, 0},
        {"a 10 mm mark at the highest sensitivity", 80, 100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SaneScanSettings settings = Untouched();
        settings.skipBlank = true;
        settings.blankSensitivity = c.sensitivity;
        std::vector<SanePage> out;
        ASSERT_EQ(ProcessSanePage(PaperWithSquare(c.square), settings, &out), SANE_STATUS_GOOD);
        EXPECT_EQ(out.size(), c.delivered);
    }
    // Without skipping, a blank page is delivered.
    std::vector<SanePage> out;
    ASSERT_EQ(ProcessSanePage(PaperWithSquare(0), Untouched(), &out), SANE_STATUS_GOOD);
    EXPECT_EQ(out.size(), 1u);
}

TEST(SanePageProcessing, RefusesPagesTheParametersDoNotDescribe) {
    struct Case {
        const char* what;
        SanePage page;
    };
    SanePage red = Grey(2, 1, {1, 2});
    red.parameters.format = SANE_FRAME_RED;
    const std::vector<Case> cases = {
        {"depth 4", Page(SANE_FRAME_GRAY, 4, 2, 1, {0x12})},
        {"rows shorter than the pixels", Page(SANE_FRAME_RGB, 8, 2, 1, {1, 2, 3, 4, 5}, 5)},
        {"fewer bytes than the lines", Grey(2, 3, {1, 2, 3, 4})},
        {"a single colour plane", red},
        {"no data", Grey(2, -1, {})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<SanePage> out(1);
        EXPECT_EQ(ProcessSanePage(c.page, Untouched(), &out), SANE_STATUS_INVAL);
        EXPECT_TRUE(out.empty());
    }
}

}  // namespace

// Copying driver pages into images: 16-bit pages come out as 8-bit images of
// the same kind, samples rounded to the nearest level, row padding skipped.
#include "platform/image/scanner_page.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/image/image_holders.h"

namespace {

// A 16-bit page of the frame with the given samples per line (native byte
// order, as SANE delivers them) and padding bytes at the end of each line.
struct SixteenBitPage {
    SANE_Event_Image record{};
    std::vector<uint8_t> bytes;

    SixteenBitPage(SANE_Frame format, int width, const std::vector<std::vector<uint16_t>>& lines,
                   int padding) {
        int bytesPerLine = static_cast<int>(lines.front().size()) * 2 + padding;
        bytes.assign(static_cast<size_t>(bytesPerLine) * lines.size(), 0xEE);
        for (size_t y = 0; y < lines.size(); ++y)
            std::memcpy(bytes.data() + y * bytesPerLine, lines[y].data(), lines[y].size() * 2);
        record.parameters = {format, SANE_TRUE, bytesPerLine, width, static_cast<int>(lines.size()),
                             16};
        record.resolution = 300;
        record.data = bytes.data();
    }
};

// Rows of the image, each cut to its pixel bytes.
std::vector<std::vector<uint8_t>> Rows(KXImage image) {
    KXImageInfo info{};
    uint8_t* data = nullptr;
    EXPECT_EQ(KXBase_GetImageInfo(image, &info), KX_OK);
    EXPECT_EQ(KXBase_GetImageData(image, &data), KX_OK);
    size_t rowBytes = info.width * (info.type == KX_PIXEL_RGB ? 3 : 1);
    std::vector<std::vector<uint8_t>> rows;
    for (uint32_t y = 0; y < info.height; ++y)
        rows.emplace_back(data + y * info.widthStep, data + y * info.widthStep + rowBytes);
    return rows;
}

TEST(ScannerPage, SixteenBitPagesBecomeEightBitImages) {
    struct Case {
        SANE_Frame format;
        int width;
        std::vector<std::vector<uint16_t>> lines;
        uint32_t requested;
        uint32_t type;
        std::vector<std::vector<uint8_t>> rows;
    };
    const Case cases[] = {
        {SANE_FRAME_GRAY,
         3,
         {{0, 65535, 32768}, {257 * 100, 129, 127}},
         KX_PIXEL_KEEP,
         KX_PIXEL_GRAY,
         {{0, 255, 128}, {100, 1, 0}}},
        {SANE_FRAME_RGB,
         2,
         {{65535, 0, 257 * 7, 257 * 200, 257 * 201, 257 * 202}},
         KX_PIXEL_KEEP,
         KX_PIXEL_RGB,
         {{255, 0, 7, 200, 201, 202}}},
        {SANE_FRAME_GRAY,
         2,
         {{257 * 40, 65535}},
         KX_PIXEL_RGB,
         KX_PIXEL_RGB,
         {{40, 40, 40, 255, 255, 255}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format == SANE_FRAME_RGB ? "rgb" : "gray");
        SixteenBitPage page(c.format, c.width, c.lines, 6);
        ImageHolder image(CopyScannerPage(page.record, c.requested));
        ASSERT_NE(image, nullptr);
        KXImageInfo info{};
        KXBase_GetImageInfo(image.get(), &info);
        EXPECT_EQ(info.type, c.type);
        EXPECT_EQ(info.width, static_cast<uint32_t>(c.width));
        EXPECT_EQ(Rows(image.get()), c.rows);
        uint32_t dpi = 0;
        KXBase_GetImageResolution(image.get(), &dpi);
        EXPECT_EQ(dpi, 300u);
    }
}

TEST(ScannerPage, PagesThatCannotBeReadAreRefused) {
    SixteenBitPage shortLines(SANE_FRAME_RGB, 2, {{1, 2, 3, 4, 5, 6}}, 0);
    shortLines.record.parameters.bytes_per_line = 10;  // two RGB pixels need 12
    EXPECT_EQ(CopyScannerPage(shortLines.record, KX_PIXEL_KEEP), nullptr);
    SixteenBitPage red(SANE_FRAME_RED, 2, {{1, 2}}, 0);
    EXPECT_EQ(CopyScannerPage(red.record, KX_PIXEL_KEEP), nullptr);
    SixteenBitPage twelveBits(SANE_FRAME_GRAY, 2, {{1, 2}}, 0);
    twelveBits.record.parameters.depth = 12;
    EXPECT_EQ(CopyScannerPage(twelveBits.record, KX_PIXEL_KEEP), nullptr);
}

}  // namespace

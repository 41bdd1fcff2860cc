#include "platform/driver/sane/page_assembler.h"

#include <gtest/gtest.h>

namespace {

SANE_Parameters Frame(SANE_Frame format, int width, int lines, int depth, bool last) {
    int samples = format == SANE_FRAME_RGB ? 3 : 1;
    return {format, last ? SANE_TRUE : SANE_FALSE, (width * samples * depth + 7) / 8, width, lines,
            depth};
}

TEST(PageAssemblerTest, SingleFrameIsThePage) {
    PageAssembler assembler;
    std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(assembler.AddFrame(Frame(SANE_FRAME_RGB, 1, 2, 8, true), data), SANE_STATUS_GOOD);
    ASSERT_TRUE(assembler.Complete());
    SanePage page = assembler.Take(300);
    EXPECT_EQ(page.data, data);
    EXPECT_EQ(page.parameters.lines, 2);
    EXPECT_EQ(page.resolution, 300);
}

TEST(PageAssemblerTest, UnknownOrShortHeightKeepsWholeRowsRead) {
    struct Case {
        int announced;
        size_t bytes;
        int lines;
    };
    for (Case c : {Case{-1, 12, 3}, Case{-1, 13, 3}, Case{5, 8, 2}, Case{2, 12, 2}}) {
        PageAssembler assembler;
        ASSERT_EQ(assembler.AddFrame(Frame(SANE_FRAME_GRAY, 4, c.announced, 8, true),
                                     std::vector<uint8_t>(c.bytes, 7)),
                  SANE_STATUS_GOOD);
        SanePage page = assembler.Take(100);
        EXPECT_EQ(page.parameters.lines, c.lines) << c.announced << " " << c.bytes;
        EXPECT_EQ(page.data.size(), static_cast<size_t>(4 * c.lines));
    }
}

TEST(PageAssemblerTest, ThreePassFramesJoinInAnyOrder) {
    // Two pixels per line, one line; the planes come blue, red, green.
    PageAssembler assembler;
    EXPECT_EQ(assembler.AddFrame(Frame(SANE_FRAME_BLUE, 2, 1, 8, false), {30, 31}),
              SANE_STATUS_GOOD);
    EXPECT_EQ(assembler.AddFrame(Frame(SANE_FRAME_RED, 2, 1, 8, false), {10, 11}),
              SANE_STATUS_GOOD);
    EXPECT_FALSE(assembler.Complete());
    EXPECT_EQ(assembler.AddFrame(Frame(SANE_FRAME_GREEN, 2, 1, 8, true), {20, 21}),
              SANE_STATUS_GOOD);
    ASSERT_TRUE(assembler.Complete());
    SanePage page = assembler.Take(75);
    EXPECT_EQ(page.parameters.format, SANE_FRAME_RGB);
    EXPECT_EQ(page.parameters.bytes_per_line, 6);
    EXPECT_EQ(page.data, (std::vector<uint8_t>{10, 20, 30, 11, 21, 31}));
}

TEST(PageAssemblerTest, ThreePassSixteenBitKeepsSampleBytesTogether) {
    PageAssembler assembler;
    assembler.AddFrame(Frame(SANE_FRAME_RED, 1, 1, 16, false), {0x01, 0x02});
    assembler.AddFrame(Frame(SANE_FRAME_GREEN, 1, 1, 16, false), {0x03, 0x04});
    assembler.AddFrame(Frame(SANE_FRAME_BLUE, 1, 1, 16, true), {0x05, 0x06});
    ASSERT_TRUE(assembler.Complete());
    SanePage page = assembler.Take(75);
    EXPECT_EQ(page.parameters.depth, 16);
    EXPECT_EQ(page.data, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(PageAssemblerTest, FramesThatCannotFormAPageAreRefused) {
    PageAssembler twice;
    twice.AddFrame(Frame(SANE_FRAME_RED, 2, 1, 8, false), {1, 2});
    EXPECT_EQ(twice.AddFrame(Frame(SANE_FRAME_RED, 2, 1, 8, false), {1, 2}), SANE_STATUS_INVAL);

    PageAssembler mismatched;
    mismatched.AddFrame(Frame(SANE_FRAME_RED, 2, 1, 8, false), {1, 2});
    EXPECT_EQ(mismatched.AddFrame(Frame(SANE_FRAME_GREEN, 3, 1, 8, false), {1, 2, 3}),
              SANE_STATUS_INVAL);

    PageAssembler missing;
    missing.AddFrame(Frame(SANE_FRAME_RED, 2, 1, 8, false), {1, 2});
    EXPECT_EQ(missing.AddFrame(Frame(SANE_FRAME_BLUE, 2, 1, 8, true), {1, 2}), SANE_STATUS_INVAL);

    SANE_Parameters narrow = Frame(SANE_FRAME_RGB, 4, 1, 8, true);
    narrow.bytes_per_line = 11;  // fewer bytes than four RGB pixels need
    EXPECT_EQ(PageAssembler().AddFrame(narrow, std::vector<uint8_t>(11)), SANE_STATUS_INVAL);
    EXPECT_EQ(PageAssembler().AddFrame(Frame(SANE_FRAME_GRAY, 4, 1, 12, true), {}),
              SANE_STATUS_INVAL);
}

}  // namespace

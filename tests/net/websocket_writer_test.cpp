#include "net/websocket_writer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> Header(uint64_t length) {
    uint8_t header[10];
    size_t size = BuildTextFrameHeader(length, header);
    return {header, header + size};
}

TEST(TextFrameHeader, ThreeForms) {
    EXPECT_EQ(Header(1), (std::vector<uint8_t>{0x81, 0x01}));
    EXPECT_EQ(Header(125), (std::vector<uint8_t>{0x81, 0x7D}));
    EXPECT_EQ(Header(126), (std::vector<uint8_t>{0x81, 0x7E, 0x00, 0x7E}));
    EXPECT_EQ(Header(65535), (std::vector<uint8_t>{0x81, 0x7E, 0xFF, 0xFF}));
    EXPECT_EQ(Header(70000),
              (std::vector<uint8_t>{0x81, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x11, 0x70}));
}

}  // namespace

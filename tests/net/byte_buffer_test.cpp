#include "net/byte_buffer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

void AppendText(ByteBuffer& buffer, const std::string& text, size_t limit = SIZE_MAX) {
    std::memcpy(buffer.Append(text.size(), limit), text.data(), text.size());
    buffer.Commit(text.size());
}

std::string Text(const ByteBuffer& buffer) {
    return std::string(reinterpret_cast<const char*>(buffer.data()), buffer.size());
}

// A payload arriving a byte at a time must not cost a copy of everything
// received per byte: the array is replaced only a logarithmic number of
// times, and every byte survives each move.
TEST(ByteBuffer, GrowsGeometricallyAndKeepsItsBytes) {
    constexpr size_t kBytes = 100000;
    ByteBuffer buffer;
    std::string expected;
    int reallocations = 0;
    for (size_t i = 0; i < kBytes; ++i) {
        size_t capacityBefore = buffer.capacity();
        uint8_t byte = static_cast<uint8_t>(i * 7 % 251);
        *buffer.Append(1) = byte;
        buffer.Commit(1);
        expected.push_back(static_cast<char>(byte));
        if (buffer.capacity() != capacityBefore) ++reallocations;
        ASSERT_GE(buffer.capacity(), buffer.size());
    }
    EXPECT_LE(reallocations, 20);  // about log2(kBytes) doublings
    EXPECT_EQ(Text(buffer), expected);
}

// Taking a message out (a move or Release) leaves the reader's buffer empty
// and ready for the next one.
TEST(ByteBuffer, MoveAndReleaseHandOverTheBytesAndLeaveItEmpty) {
    ByteBuffer buffer;
    AppendText(buffer, "first message");
    ByteBuffer taken = std::move(buffer);
    EXPECT_EQ(Text(taken), "first message");
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(buffer.capacity(), 0u);

    AppendText(buffer, "second");
    EXPECT_EQ(Text(buffer), "second");
    size_t size = 0;
    std::unique_ptr<uint8_t[]> bytes = buffer.Release(&size);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.get()), size), "second");
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(buffer.capacity(), 0u);
}

// A reader that allows at most limit bytes never holds a larger array, even
// when doubling would give one.
TEST(ByteBuffer, GrowthStopsAtTheLimit) {
    const size_t limit = 1000;
    ByteBuffer buffer;
    AppendText(buffer, std::string(600, 'a'), limit);
    AppendText(buffer, std::string(300, 'b'), limit);
    EXPECT_EQ(buffer.capacity(), limit);
    AppendText(buffer, std::string(100, 'c'), limit);
    EXPECT_EQ(buffer.capacity(), limit);
    EXPECT_EQ(Text(buffer), std::string(600, 'a') + std::string(300, 'b') + std::string(100, 'c'));
}

}  // namespace

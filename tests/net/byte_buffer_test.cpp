#include "net/byte_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void AppendText(ByteBuffer& buffer, const std::string& text, size_t limit = SIZE_MAX) {
    std::memcpy(buffer.Append(text.size(), limit), text.data(), text.size());
    buffer.Commit(text.size());
}

std::string Text(const ByteBuffer& buffer) {
    return std::string(reinterpret_cast<const char*>(buffer.data()), buffer.size());
}

TEST(ByteBuffer, GrowsGeometricallyAndKeepsItsBytes) {
    ByteBuffer buffer;
    AppendText(buffer, std::string(600, 'a'));
    AppendText(buffer, std::string(300, 'b'));
    EXPECT_EQ(buffer.capacity(), 1200u);
    EXPECT_EQ(Text(buffer), std::string(600, 'a') + std::string(300, 'b'));
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

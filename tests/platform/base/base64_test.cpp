#include <gtest/gtest.h>

#include <string>

#include "platform/base/kx_system.h"

namespace {

std::string Encode(const std::string& bytes) {
    size_t size = 0;
    EXPECT_EQ(KXBase_Base64Encode(bytes.data(), bytes.size(), nullptr, &size), 0);
    std::string text(size, '\0');
    EXPECT_EQ(KXBase_Base64Encode(bytes.data(), bytes.size(), text.data(), &size), 0);
    text.resize(size);
    return text;
}

// Returns the decoded bytes, or "<fail>".
std::string Decode(const std::string& text) {
    size_t size = 0;
    EXPECT_EQ(KXBase_Base64Decode(text.data(), text.size(), nullptr, &size), 0);
    std::string bytes(size, '\0');
    if (KXBase_Base64Decode(text.data(), text.size(), bytes.data(), &size) != 0) return "<fail>";
    bytes.resize(size);
    return bytes;
}

TEST(Base64, Rfc4648Vectors) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, coded] : vectors) {
        EXPECT_EQ(Encode(plain), coded);
        EXPECT_EQ(Decode(coded), plain);
    }
}

TEST(Base64, RoundTripsEveryByteValueAndLength) {
    std::string bytes;
    for (int i = 0; i < 1000; ++i)
        bytes.push_back(static_cast<char>(i * 7 % 256));
    for (size_t length : {1u, 2u, 3u, 254u, 255u, 256u, 1000u}) {
        std::string part = bytes.substr(0, length);
        EXPECT_EQ(Decode(Encode(part)), part) << length;
    }
}

TEST(Base64, AcceptsLineBreaksAndMissingPadding) {
    EXPECT_EQ(Decode("Zm9v\r\nYmFy"), "foobar");
    EXPECT_EQ(Decode("Zm9vYg"), "foob");
}

TEST(Base64, RejectsMalformedText) {
    for (const char* bad : {"Zm9v!", "Zm=v", "Z", "Zm9vY", "Zg===", "=Zm9", "Zm 9v", "Zg==Zg=="}) {
        EXPECT_EQ(Decode(bad), "<fail>") << bad;
    }
}

// Long texts go through the vectorised blocks: a bad character anywhere in
// them, and the exact bytes around block edges, must still come out right.
TEST(Base64, LongTextsAreValidatedAndExactAtEveryLength) {
    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes.push_back(static_cast<char>((i * 151 + 7) % 256));
    for (size_t length = 20; length < 300; length += 7) {
        std::string part = bytes.substr(0, length);
        std::string text = Encode(part);
        ASSERT_EQ(Decode(text), part) << length;
        for (size_t bad : {size_t{0}, text.size() / 2, text.size() - 5}) {
            std::string broken = text;
            broken[bad] = '*';
            EXPECT_EQ(Decode(broken), "<fail>") << length << " at " << bad;
        }
    }
}

TEST(Base64, RefusesTooSmallBuffers) {
    char out[3];
    size_t size = sizeof out;
    EXPECT_NE(KXBase_Base64Encode("ab", 2, out, &size), 0);
    size = 2;
    EXPECT_NE(KXBase_Base64Decode("Zm9v", 4, out, &size), 0);
}

}  // namespace

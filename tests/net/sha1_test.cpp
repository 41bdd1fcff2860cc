#include "net/sha1.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Hex(SHA1& sha) {
    uint32_t words[5];
    EXPECT_TRUE(sha.Result(words));
    char text[41];
    std::snprintf(text, sizeof text, "%08x%08x%08x%08x%08x", words[0], words[1], words[2], words[3],
                  words[4]);
    return text;
}

TEST(SHA1, Fips180Vectors) {
    const std::pair<std::string, const char*> vectors[] = {
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    };
    for (const auto& [message, digest] : vectors) {
        SHA1 sha;
        sha.Input(message.c_str());
        EXPECT_EQ(Hex(sha), digest) << message;
    }
    SHA1 million;
    for (int i = 0; i < 1000000; ++i)
        million.Input(static_cast<uint8_t>('a'));
    EXPECT_EQ(Hex(million), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(SHA1, ResultTwiceGivesTheSameWordsAndInputAfterResultCorrupts) {
    SHA1 sha;
    sha.Input("abc");
    std::string first = Hex(sha);
    EXPECT_EQ(Hex(sha), first);
    sha.Input(static_cast<uint8_t>('x'));
    uint32_t words[5];
    EXPECT_FALSE(sha.Result(words));
    sha.Reset();
    sha.Input("abc");
    EXPECT_EQ(Hex(sha), first);
}

TEST(WebSocketAcceptKey, Rfc6455Example) {
    EXPECT_EQ(WebSocketAcceptKey("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

TEST(Base64Digest, TwentyBytesGiveTwentyEightCharacters) {
    uint8_t digest[20];
    for (int i = 0; i < 20; ++i)
        digest[i] = static_cast<uint8_t>(i * 13);
    std::string text = Base64Digest(digest);
    EXPECT_EQ(text.size(), 28u);
    EXPECT_EQ(text.back(), '=');
    EXPECT_EQ(text, "AA0aJzRBTltodYKPnKm2w9Dd6vc=");
}

}  // namespace

#include "net/http_request_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

struct Received {
    std::string path;
    std::string body;
};

// Feeds the text in pieces of the given size; returns the requests and
// whether the reader asked to end the connection.
std::vector<Received> FeedAll(HttpRequestReader& reader, const std::string& text, size_t piece,
                              bool* ended = nullptr) {
    std::vector<Received> out;
    for (size_t start = 0; start < text.size(); start += piece) {
        std::string chunk = text.substr(start, piece);
        size_t used = 0;
        while (used < chunk.size()) {
            auto step = reader.Feed(reinterpret_cast<const uint8_t*>(chunk.data()) + used,
                                    chunk.size() - used);
            used += step.consumed;
            if (step.event == HttpRequestReader::Event::kRequest) {
                ByteBuffer body = reader.TakeBody();
                out.push_back(
                    {reader.TakeRequest().path,
                     std::string(reinterpret_cast<const char*>(body.data()), body.size())});
            } else if (step.event == HttpRequestReader::Event::kEnd) {
                if (ended != nullptr) *ended = true;
                return out;
            }
        }
    }
    return out;
}

TEST(HttpRequestReader, TwoRequestsInOnePacketInAnyPieces) {
    std::string text =
        "POST /VevIzer/a HTTP/1.1\r\ncontent-length: 5\r\n\r\nhello"
        "GET /VevIzer/b HTTP/1.1\r\n\r\n";
    for (size_t piece : {1u, 3u, 7u, 1000u}) {
        HttpRequestReader reader;
        auto requests = FeedAll(reader, text, piece);
        ASSERT_EQ(requests.size(), 2u) << piece;
        EXPECT_EQ(requests[0].path, "/VevIzer/a");
        EXPECT_EQ(requests[0].body, "hello");
        EXPECT_EQ(requests[1].path, "/VevIzer/b");
        EXPECT_EQ(requests[1].body, "");
    }
}

TEST(HttpRequestReader, ContentLengthZeroNegativeOrTextMeansNoBody) {
    for (const char* value : {"0", "-5", "abc", ""}) {
        HttpRequestReader reader;
        std::string text = std::string("POST /a HTTP/1.1\r\nContent-Length: ") + value +
                           "\r\n\r\nGET /b HTTP/1.1\r\n\r\n";
        auto requests = FeedAll(reader, text, 1000);
        ASSERT_EQ(requests.size(), 2u) << value;
        EXPECT_EQ(requests[1].path, "/b");
    }
}

TEST(HttpRequestReader, ShortBodyWaitsForTheRest) {
    HttpRequestReader reader;
    EXPECT_TRUE(
        FeedAll(reader, "POST /a HTTP/1.1\r\nContent-Length: 10\r\n\r\n12345", 100).empty());
    auto requests = FeedAll(reader, "67890", 100);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, "1234567890");
}

TEST(HttpRequestReader, LimitsEndTheConnection) {
    bool ended = false;
    HttpRequestReader big;
    FeedAll(big, "POST /a HTTP/1.1\r\nContent-Length: 268435457\r\n\r\n", 100, &ended);
    EXPECT_TRUE(ended);

    ended = false;
    HttpRequestReader endless;
    FeedAll(endless, "GET /" + std::string(70 * 1024, 'a'), 4096, &ended);
    EXPECT_TRUE(ended);
}

TEST(ParseLeadingInteger, ReadsLikeAtoi) {
    EXPECT_EQ(ParseLeadingInteger("  42x"), 42);
    EXPECT_EQ(ParseLeadingInteger("-3"), -3);
    EXPECT_EQ(ParseLeadingInteger("x1"), 0);
    EXPECT_EQ(ParseLeadingInteger("99999999999999999999999"), LLONG_MAX);
}

}  // namespace

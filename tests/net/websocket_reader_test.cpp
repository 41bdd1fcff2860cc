#include "net/websocket_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A client frame: first byte, masked payload with the length in the shortest
// form unless a form (2, 4 or 10 header bytes) is forced.
std::string Frame(uint8_t first, const std::string& payload, int form = 0, bool masked = true) {
    static const uint8_t kMask[4] = {0x12, 0x34, 0x56, 0x78};
    size_t length = payload.size();
    if (form == 0) form = length <= 125 ? 2 : length <= 65535 ? 4 : 10;
    std::string frame(1, static_cast<char>(first));
    uint8_t maskBit = masked ? 0x80 : 0x00;
    if (form == 2) {
        frame.push_back(static_cast<char>(maskBit | length));
    } else if (form == 4) {
        frame.push_back(static_cast<char>(maskBit | 126));
        frame.push_back(static_cast<char>(length >> 8));
        frame.push_back(static_cast<char>(length));
    } else {
        frame.push_back(static_cast<char>(maskBit | 127));
        for (int i = 7; i >= 0; --i)
            frame.push_back(static_cast<char>(uint64_t{length} >> (8 * i)));
    }
    if (masked) frame.append(reinterpret_cast<const char*>(kMask), 4);
    for (size_t i = 0; i < length; ++i) {
        frame.push_back(static_cast<char>(payload[i] ^ (masked ? kMask[i % 4] : 0)));
    }
    return frame;
}

const std::string kHandshake = "GET / HTTP/1.1\r\nSec-WebSocket-Key: k\r\n\r\n";

struct Outcome {
    std::vector<std::string> handshakes;
    std::vector<std::string> messages;
    int pings = 0;
    std::vector<std::string> pingPayloads;
    std::vector<std::string> closes;  // payloads of close frames
    bool ended = false;
};

Outcome FeedAll(const std::string& bytes, size_t piece = 1 << 20) {
    WebSocketReader reader;
    Outcome outcome;
    for (size_t start = 0; start < bytes.size() && !outcome.ended; start += piece) {
        std::string chunk = bytes.substr(start, piece);
        size_t used = 0;
        while (used < chunk.size() && !outcome.ended) {
            auto step = reader.Feed(reinterpret_cast<const uint8_t*>(chunk.data()) + used,
                                    chunk.size() - used);
            used += step.consumed;
            switch (step.event) {
                case WebSocketReader::Event::kHandshake:
                    outcome.handshakes.push_back(reader.TakeHandshake());
                    break;
                case WebSocketReader::Event::kMessage: {
                    ByteBuffer message = reader.TakeMessage();
                    outcome.messages.emplace_back(reinterpret_cast<const char*>(message.data()),
                                                  message.size());
                    break;
                }
                case WebSocketReader::Event::kPing:
                    ++outcome.pings;
                    outcome.pingPayloads.push_back(reader.ControlPayload());
                    break;
                case WebSocketReader::Event::kClose:
                    outcome.closes.push_back(reader.ControlPayload());
                    outcome.ended = true;
                    break;
                case WebSocketReader::Event::kEnd:
                    outcome.ended = true;
                    break;
                case WebSocketReader::Event::kNone:
                    break;
            }
        }
    }
    return outcome;
}

TEST(WebSocketReader, FramesRightAfterTheHandshakeInTheSameRead) {
    for (size_t piece : {1u, 5u, 4096u}) {
        Outcome outcome = FeedAll(kHandshake + Frame(0x81, "{\"func\":\"a\"}"), piece);
        ASSERT_EQ(outcome.handshakes, std::vector<std::string>{kHandshake}) << piece;
        EXPECT_EQ(outcome.messages, std::vector<std::string>{"{\"func\":\"a\"}"}) << piece;
        EXPECT_FALSE(outcome.ended);
    }
}

TEST(WebSocketReader, FragmentsJoinAcrossAPing) {
    std::string bytes = kHandshake + Frame(0x01, "hel") + Frame(0x89, "") + Frame(0x00, "l") +
                        Frame(0x80, "o") + Frame(0x82, "bin");
    for (size_t piece : {1u, 3u, 4096u}) {
        Outcome outcome = FeedAll(bytes, piece);
        EXPECT_EQ(outcome.messages, (std::vector<std::string>{"hello", "bin"})) << piece;
        EXPECT_EQ(outcome.pings, 1);
        EXPECT_FALSE(outcome.ended);
    }
}

TEST(WebSocketReader, AllThreeLengthForms) {
    std::string small(125, 's');
    std::string medium(126, 'm');
    std::string big(70000, 'b');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i % 26);
    Outcome outcome = FeedAll(kHandshake + Frame(0x81, small) + Frame(0x81, medium) +
                                  Frame(0x81, big) + Frame(0x81, "x", 10) + Frame(0x81, "y", 4),
                              997);
    EXPECT_EQ(outcome.messages, (std::vector<std::string>{small, medium, big, "x", "y"}));
}

TEST(WebSocketReader, ViolationsEndTheConnection) {
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"unmasked frame", Frame(0x81, "x", 0, false)},
        {"unmasked ping", Frame(0x89, "", 0, false)},
        {"unmasked close", Frame(0x88, "", 0, false)},
        {"ping longer than 125 bytes", Frame(0x89, std::string(126, 'p'))},
        {"unknown opcode", Frame(0x83, "x")},
        {"ping without FIN", Frame(0x09, "")},
        {"64-bit length of 2^32", std::string("\x81\xff\x00\x00\x00\x01\x00\x00\x00\x00", 10)},
        {"frame over the limit", std::string("\x81\xff\x00\x00\x00\x00\x10\x00\x00\x01", 10)},
    };
    for (const auto& c : cases) {
        Outcome outcome = FeedAll(kHandshake + c.bytes + Frame(0x81, "after"));
        EXPECT_TRUE(outcome.ended) << c.what;
        EXPECT_TRUE(outcome.messages.empty()) << c.what;
    }
}

TEST(WebSocketReader, PongsAreIgnoredAndPingsCarryTheirPayload) {
    std::string bytes = kHandshake + Frame(0x8A, "") + Frame(0x8A, "pong data") + Frame(0x89, "") +
                        Frame(0x89, std::string(125, 'q')) + Frame(0x81, "x");
    for (size_t piece : {1u, 7u, 4096u}) {
        Outcome outcome = FeedAll(bytes, piece);
        EXPECT_EQ(outcome.messages, std::vector<std::string>{"x"}) << piece;
        EXPECT_EQ(outcome.pingPayloads, (std::vector<std::string>{"", std::string(125, 'q')}));
        EXPECT_FALSE(outcome.ended);
    }
}

TEST(WebSocketReader, CloseFrameIsReportedWithItsPayload) {
    std::string code1000("\x03\xe8" "bye", 5);
    for (const std::string& payload : {std::string(), code1000}) {
        Outcome outcome = FeedAll(kHandshake + Frame(0x88, payload) + Frame(0x81, "after"), 3);
        EXPECT_EQ(outcome.closes, std::vector<std::string>{payload});
        EXPECT_TRUE(outcome.messages.empty());
    }
}

TEST(WebSocketReader, EmptyDataFramesAreEmptyMessages) {
    // An empty final frame, the 16-bit form of length 0, and an empty
    // fragment in the middle of a message.
    Outcome outcome = FeedAll(kHandshake + Frame(0x81, "") + Frame(0x81, "", 4) + Frame(0x01, "a") +
                                  Frame(0x00, "") + Frame(0x80, "b"),
                              1);
    EXPECT_EQ(outcome.messages, (std::vector<std::string>{"", "", "ab"}));
    EXPECT_FALSE(outcome.ended);
}

TEST(WebSocketReader, EndlessHandshakeEndsAtTheLimit) {
    Outcome outcome = FeedAll("GET / HTTP/1.1\r\n" + std::string(70 * 1024, 'h'), 2048);
    EXPECT_TRUE(outcome.ended);
    EXPECT_TRUE(outcome.handshakes.empty());
}

TEST(WebSocketReader, HandshakeTerminatorMatcherRestartsOnCarriageReturn) {
    Outcome outcome = FeedAll("GET / HTTP/1.1\r\n\r\r\n\r\n" + Frame(0x81, "x"));
    ASSERT_EQ(outcome.handshakes.size(), 1u);
    EXPECT_EQ(outcome.messages, std::vector<std::string>{"x"});
}

TEST(UnmaskPayload, EveryOffsetAndLengthMatchesBytewiseXor) {
    const uint8_t mask[4] = {0xA1, 0xB2, 0xC3, 0xD4};
    std::vector<uint8_t> in(64);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<uint8_t>(i * 31);
    for (uint64_t offset = 0; offset < 4; ++offset) {
        for (size_t length = 0; length < in.size(); ++length) {
            std::vector<uint8_t> out(length);
            UnmaskPayload(in.data(), out.data(), length, mask, offset);
            for (size_t i = 0; i < length; ++i) {
                ASSERT_EQ(out[i], in[i] ^ mask[(offset + i) % 4]) << offset << " " << length;
            }
        }
    }
}

}  // namespace

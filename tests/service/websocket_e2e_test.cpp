// The generation-2 WebSocket endpoint end to end: handshake, framing, the
// one-client rule, the command envelope and hostile input.
#include <thread>

#include "service/e2e_fixture.h"
#include "support/raw_client.h"
#include "support/ws_client.h"

namespace testing_support {
namespace {

using WebSocketEndpoint = ServiceTest;

const std::string kQuery = R"({"func":"get_curr_device_name","iden":"x"})";
const std::string kQueryReply =
    "{\n\t\"func\":\t\"get_curr_device_name\",\n\t\"iden\":\t\"x\",\n\t\"ret\":\t-1,\n"
    "\t\"err_info\":\t\"错误\"\n}";

// Connects a raw client and completes the handshake.
void Upgrade(RawClient& client, int port) {
    ASSERT_TRUE(client.Connect(port));
    ASSERT_TRUE(client.Send(RawClient::Handshake()));
    std::string reply = client.ReadUntil("\r\n\r\n");
    ASSERT_EQ(reply,
              "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Accept:s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n");
}

// Reads one unmasked text frame sent by the service.
std::string ReadFrame(RawClient& client) {
    std::string header = client.ReadExactly(2);
    if (header.size() != 2 || static_cast<unsigned char>(header[0]) != 0x81) return "<bad>";
    size_t length = static_cast<unsigned char>(header[1]);
    if (length == 126) {
        std::string extended = client.ReadExactly(2);
        length = (static_cast<unsigned char>(extended[0]) << 8) |
                 static_cast<unsigned char>(extended[1]);
    }
    return client.ReadExactly(length);
}

TEST_F(WebSocketEndpoint, HandshakeAcceptKeyAndExactPong) {
    StartGeneration2();
    RawClient client;
    Upgrade(client, port_);
    ASSERT_TRUE(client.Send(RawClient::MaskedFrame(0x89, "")));
    EXPECT_EQ(client.ReadExactly(2), std::string("\x8A\x00", 2));
    ASSERT_TRUE(client.Send(RawClient::MaskedFrame(0x81, kQuery)));
    EXPECT_EQ(ReadFrame(client), kQueryReply);
}

TEST_F(WebSocketEndpoint, FragmentsWithAPingBetweenAndBinaryFramesAreCommands) {
    StartGeneration2();
    RawClient client;
    Upgrade(client, port_);
    std::string first = kQuery.substr(0, 10);
    std::string rest = kQuery.substr(10);
    // The handshake and the first frames may share one packet.
    ASSERT_TRUE(client.Send(RawClient::MaskedFrame(0x01, first) + RawClient::MaskedFrame(0x89, "") +
                            RawClient::MaskedFrame(0x80, rest)));
    EXPECT_EQ(client.ReadExactly(2), std::string("\x8A\x00", 2));
    EXPECT_EQ(ReadFrame(client), kQueryReply);
    ASSERT_TRUE(client.Send(RawClient::MaskedFrame(0x82, kQuery)));
    EXPECT_EQ(ReadFrame(client), kQueryReply);
}

TEST_F(WebSocketEndpoint, HandshakeAndFirstFrameInOneSend) {
    StartGeneration2();
    RawClient client;
    ASSERT_TRUE(client.Connect(port_));
    ASSERT_TRUE(client.Send(RawClient::Handshake() + RawClient::MaskedFrame(0x81, kQuery)));
    client.ReadUntil("\r\n\r\n");
    EXPECT_EQ(ReadFrame(client), kQueryReply);
}

TEST_F(WebSocketEndpoint, SecondClientIsClosedAtOnceWhileTheFirstStaysServed) {
    StartGeneration2();
    WsClient first;
    ASSERT_TRUE(first.Connect(port_));
    // A page retrying its connection: each try is refused, and the burst is
    // logged once.
    for (int attempt = 0; attempt < 3; ++attempt) {
        RawClient second;
        ASSERT_TRUE(second.Connect(port_));
        EXPECT_TRUE(second.WaitClosed());
    }
    ASSERT_TRUE(first.Send(kQuery));
    EXPECT_EQ(first.Receive(), kQueryReply);
    std::string log = service_.Log();
    size_t refused = log.find("refused client 127.0.0.1:");
    EXPECT_NE(refused, std::string::npos) << log;
    EXPECT_EQ(log.find("refused client", refused + 1), std::string::npos) << log;

    // Once the first has gone, a new client is served.
    first.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    WsClient third;
    ASSERT_TRUE(third.Connect(port_));
    ASSERT_TRUE(third.Send(kQuery));
    EXPECT_EQ(third.Receive(), kQueryReply);
}

TEST_F(WebSocketEndpoint, MessagesWithoutAKnownCommandGetNoReply) {
    StartGeneration2();
    WsClient client;
    ASSERT_TRUE(client.Connect(port_));
    const char* ignored[] = {
        "not json",
        "[1,2,3]",
        "\"text\"",
        R"({"FUNC":"get_curr_device_name"})",
        R"({"func":"Get_Curr_Device_Name"})",
        R"({"func":"no_such_command"})",
        R"({"func":42})",
        R"({"iden":"x"})",
        "{\"func\":\"get_curr_device_name\"",
    };
    for (const char* message : ignored)
        ASSERT_TRUE(client.Send(message));
    // Only the valid command is answered, and it is the next thing received.
    ASSERT_TRUE(client.Send(kQuery));
    EXPECT_EQ(client.Receive(), kQueryReply);
}

TEST_F(WebSocketEndpoint, IdenIsEchoedOnlyAsAStringAndSurroundingTextIsTolerated) {
    StartGeneration2();
    WsClient client;
    ASSERT_TRUE(client.Connect(port_));
    ASSERT_TRUE(client.Send(R"({"func":"get_curr_device_name"})"));
    EXPECT_EQ(
        client.Receive(),
        "{\n\t\"func\":\t\"get_curr_device_name\",\n\t\"ret\":\t-1,\n\t\"err_info\":\t\"错误\"\n}");
    ASSERT_TRUE(client.Send(R"({"func":"get_curr_device_name","iden":5})"));
    EXPECT_EQ(client.Receive()->find("iden"), std::string::npos);
    ASSERT_TRUE(client.Send(" \n\t" + kQuery + " trailing text"));
    EXPECT_EQ(client.Receive(), kQueryReply);
}

TEST_F(WebSocketEndpoint, HostileInputEndsOnlyThatConnection) {
    StartGeneration2();
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"handshake without key", RawClient::Handshake("/", "")},
        {"random bytes", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 15)},
        {"oversized handshake", "GET / HTTP/1.1\r\nX: " + std::string(70000, 'a')},
        {"unmasked frame", RawClient::Handshake() + std::string("\x81\x02hi", 4)},
        {"zero-length frame", RawClient::Handshake() + std::string("\x81\x80\x01\x02\x03\x04", 6)},
        {"frame over the limit",
         RawClient::Handshake() + std::string("\x81\xff\x00\x00\x00\x00\x7f\xff\xff\xff", 10)},
        {"close frame", RawClient::Handshake() + RawClient::MaskedFrame(0x88, "")},
    };
    for (const auto& c : cases) {
        RawClient client;
        ASSERT_TRUE(client.Connect(port_));
        client.Send(c.bytes);
        EXPECT_TRUE(client.WaitClosed()) << c.what;
    }
    // A peer that vanishes in the middle of a message.
    {
        RawClient client;
        ASSERT_TRUE(client.Connect(port_));
        client.Send(RawClient::Handshake() + RawClient::MaskedFrame(0x81, kQuery).substr(0, 12));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    WsClient client;
    ASSERT_TRUE(client.Connect(port_)) << client.error();
    ASSERT_TRUE(client.Send(kQuery));
    EXPECT_EQ(client.Receive(), kQueryReply);
}

TEST_F(WebSocketEndpoint, LargeMessageInManyFragmentsIsOneCommand) {
    StartGeneration2();
    WsClient client;
    ASSERT_TRUE(client.Connect(port_));
    std::string padded = R"({"func":"get_curr_device_name","iden":"x","pad":")" +
                         std::string(3 * 1024 * 1024, 'p') + "\"}";
    ASSERT_TRUE(client.Send(padded));
    EXPECT_EQ(client.Receive(), kQueryReply);
}

}  // namespace
}  // namespace testing_support

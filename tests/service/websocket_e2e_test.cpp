// The generation-2 WebSocket endpoint end to end: handshake, framing, the
// one-client rule, the command envelope and hostile input.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
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
    "\t\"err_info\":\t\"错误\",\n\t\"err_detail\":\t\"no scanner is open\"\n}";

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

TEST_F(WebSocketEndpoint, SecondPageIsRefusedWhileTheFirstStaysServed) {
    StartGeneration2();
    WsClient first;
    ASSERT_TRUE(first.Connect(port_));
    // A page retrying its connection: each handshake is refused, and the
    // burst is logged once.
    for (int attempt = 0; attempt < 3; ++attempt) {
        RawClient second;
        ASSERT_TRUE(second.Connect(port_));
        ASSERT_TRUE(second.Send(RawClient::Handshake()));
        EXPECT_EQ(second.ReadUntil("\r\n").rfind("HTTP/1.1 503 Service Unavailable", 0), 0u);
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

TEST_F(WebSocketEndpoint, MessagesWithoutACommandNameGetNoReplyAndUnknownNamesAreRefused) {
    StartGeneration2();
    WsClient client;
    ASSERT_TRUE(client.Connect(port_));
    const char* ignored[] = {
        "not json",
        "[1,2,3]",
        "\"text\"",
        R"({"FUNC":"get_curr_device_name"})",
        R"({"func":42})",
        R"({"iden":"x"})",
        "{\"func\":\"get_curr_device_name\"",
    };
    for (const char* message : ignored)
        ASSERT_TRUE(client.Send(message));
    // Only the valid command is answered, and it is the next thing received.
    ASSERT_TRUE(client.Send(kQuery));
    EXPECT_EQ(client.Receive(), kQueryReply);

    // A name that differs from a command, if only in case, is refused.
    ASSERT_TRUE(client.Send(R"({"func":"Get_Curr_Device_Name","iden":"u"})"));
    EXPECT_EQ(client.Receive(),
              "{\n\t\"func\":\t\"Get_Curr_Device_Name\",\n\t\"iden\":\t\"u\",\n\t\"ret\":\t-1,\n"
              "\t\"err_info\":\t\"错误\",\n\t\"err_detail\":\t\"unknown command "
              "\\\"Get_Curr_Device_Name\\\" (names are case-sensitive)\"\n}");
    EXPECT_TRUE(service_.WaitForLog("message ignored: it is not a JSON object"));
    EXPECT_TRUE(service_.WaitForLog("message ignored: \"func\" is missing or not a string"));
}

TEST_F(WebSocketEndpoint, IdenIsEchoedOnlyAsAStringAndSurroundingTextIsTolerated) {
    StartGeneration2();
    WsClient client;
    ASSERT_TRUE(client.Connect(port_));
    ASSERT_TRUE(client.Send(R"({"func":"get_curr_device_name"})"));
    EXPECT_EQ(
        client.Receive(),
        "{\n\t\"func\":\t\"get_curr_device_name\",\n\t\"ret\":\t-1,\n\t\"err_info\":\t\"错误\",\n"
        "\t\"err_detail\":\t\"no scanner is open\"\n}");
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

TEST_F(WebSocketEndpoint, PingPayloadEchoedEmptyMessageIgnoredCloseEchoed) {
    StartGeneration2();
    RawClient client;
    Upgrade(client, port_);
    ASSERT_TRUE(client.Send(RawClient::MaskedFrame(0x89, "hello")));
    EXPECT_EQ(client.ReadExactly(7), std::string("\x8A\x05hello", 7));
    // An empty message is text without a command: no reply, and the
    // connection goes on.
    ASSERT_TRUE(
        client.Send(RawClient::MaskedFrame(0x81, "") + RawClient::MaskedFrame(0x81, kQuery)));
    EXPECT_EQ(ReadFrame(client), kQueryReply);
    ASSERT_TRUE(client.Send(RawClient::MaskedFrame(0x88, std::string("\x03\xe8"
                                                                     "done",
                                                                     6))));
    EXPECT_EQ(client.ReadExactly(4), std::string("\x88\x02\x03\xe8", 4));
    EXPECT_TRUE(client.WaitClosed());

    // A client library's closing handshake completes, and the page's place
    // is free again.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    WsClient library;
    ASSERT_TRUE(library.Connect(port_)) << library.error();
    ASSERT_TRUE(library.Send(""));
    ASSERT_TRUE(library.Send(kQuery));
    EXPECT_EQ(library.Receive(), kQueryReply);
    EXPECT_TRUE(library.CloseHandshake(1000)) << library.error();
}

TEST_F(WebSocketEndpoint, SilentConnectionsDoNotLockThePageOutAndEndAfterTenSeconds) {
    StartGeneration2();
    RawClient silent;
    ASSERT_TRUE(silent.Connect(port_));
    RawClient halfHandshake;
    ASSERT_TRUE(halfHandshake.Connect(port_));
    ASSERT_TRUE(halfHandshake.Send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    WsClient page;
    ASSERT_TRUE(page.Connect(port_)) << page.error();
    ASSERT_TRUE(page.Send(kQuery));
    EXPECT_EQ(page.Receive(), kQueryReply);
    // The default limit: both pending connections end about ten seconds
    // after they were made; the page stays.
    EXPECT_TRUE(silent.WaitClosed(std::chrono::seconds(20)));
    EXPECT_TRUE(halfHandshake.WaitClosed(std::chrono::seconds(5)));
    ASSERT_TRUE(page.Send(kQuery));
    EXPECT_EQ(page.Receive(), kQueryReply);
}

TEST_F(WebSocketEndpoint, ShutdownSendsGoingAwayToThePage) {
    StartGeneration2();
    RawClient page;
    Upgrade(page, port_);
    ASSERT_EQ(kill(service_.pid(), SIGTERM), 0);
    EXPECT_EQ(page.ReadExactly(4), std::string("\x88\x02\x03\xe9", 4));  // status 1001
    EXPECT_TRUE(page.WaitClosed());
    EXPECT_EQ(service_.WaitForExit(), 0) << service_.Log();
}

TEST_F(WebSocketEndpoint, APeerThatFloodsTheBusyServiceIsDisconnected) {
    StartGeneration2();
    // An upload to a server that never answers keeps the service thread
    // busy until the test closes that server.
    int stalled = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(stalled, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(stalled, 4), 0);
    getsockname(stalled, reinterpret_cast<sockaddr*>(&address), &length);
    std::string file = service_.root().path() + "upload.txt";
    std::ofstream(file) << "data";
    std::string upload =
        R"({"func":"upload_local_file","upload_mode":"http","http_host":"127.0.0.1",)"
        R"("http_path":"/up","http_port":)" +
        std::to_string(ntohs(address.sin_port)) + R"(,"file_path":")" + file + R"("})";

    RawClient flooder;
    Upgrade(flooder, port_);
    ASSERT_TRUE(flooder.Send(RawClient::MaskedFrame(0x81, upload)));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::string burst;
    for (int i = 0; i < 1100; ++i)
        burst += RawClient::MaskedFrame(0x81, kQuery);
    flooder.Send(burst);
    EXPECT_TRUE(flooder.WaitClosed(std::chrono::seconds(10)));
    EXPECT_NE(service_.Log().find("sends faster than it is served"), std::string::npos)
        << service_.Log();

    // Once the service is free again and has let the flooder go, the next
    // page is served.
    close(stalled);
    WsClient page;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!page.Connect(port_) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(page.Send(kQuery));
    EXPECT_EQ(page.Receive(std::chrono::seconds(30)), kQueryReply);
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

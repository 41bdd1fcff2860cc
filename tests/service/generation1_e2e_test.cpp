// Generation 1 as a process: its two fixed ports, their start failures and
// the Socket.IO handshake. These tests bind 18999 and 28999 and run one at a
// time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "service/e2e_fixture.h"
#include "support/raw_client.h"
#include "support/ws_client.h"

namespace testing_support {
namespace {

class Generation1 : public ServiceTest {
  protected:
    void StartGeneration1() {
        service_.SetConfig("config.ini", "version", "verNum", "1");
        service_.Start();
    }
};

int Listen(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    // Bind past TIME_WAIT left by earlier tests; a live listener still
    // blocks the service, which is what the test needs.
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 1) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

TEST_F(Generation1, ListensOnBothPortsAndStopsCleanly) {
    StartGeneration1();
    ASSERT_TRUE(service_.WaitForLog("open webserver success, port=28999")) << service_.Log();
    EXPECT_NE(service_.Log().find("open webserver success, port=18999"), std::string::npos);
    // The start-up line names both addresses, REST first.
    ASSERT_TRUE(service_.WaitForLog(" generation 1 driver ")) << service_.Log();
    std::string listening = LogLineAfter(service_.Log(), " listening on ");
    size_t rest = listening.find(":18999, ");
    EXPECT_TRUE(rest != std::string::npos && listening.ends_with(":28999")) << service_.Log();
    EXPECT_EQ(service_.Stop(SIGTERM), 0) << service_.Log();
}

TEST_F(Generation1, RestPortTakenEndsBeforeTheSocketIoPortIsTried) {
    int blocker = Listen(18999);
    ASSERT_GE(blocker, 0);
    StartGeneration1();
    EXPECT_EQ(service_.WaitForExit(), 0) << service_.Log();
    close(blocker);
    EXPECT_NE(service_.Log().find("open webserver failed 2, port=18999"), std::string::npos);
    EXPECT_EQ(service_.Log().find("port=28999"), std::string::npos);
}

TEST_F(Generation1, SocketIoPortTakenClosesTheRestServerAndEnds) {
    int blocker = Listen(28999);
    ASSERT_GE(blocker, 0);
    StartGeneration1();
    EXPECT_EQ(service_.WaitForExit(), 0) << service_.Log();
    close(blocker);
    std::string log = service_.Log();
    EXPECT_NE(log.find("open webserver success, port=18999"), std::string::npos) << log;
    EXPECT_NE(log.find("open webserver failed 2, port=28999"), std::string::npos) << log;
}

TEST_F(Generation1, SocketIoOpenPacketsPingAndHandshakeChecks) {
    StartGeneration1();
    ASSERT_TRUE(service_.WaitForLog("open webserver success, port=28999")) << service_.Log();

    WsClient client;
    ASSERT_TRUE(client.Connect(28999, "/socket.io/?EIO=3&transport=websocket")) << client.error();
    auto open = client.Receive();
    ASSERT_TRUE(open.has_value());
    EXPECT_EQ(open->rfind("0{\"sid\":\"", 0), 0u) << *open;
    EXPECT_NE(open->find("\",\"upgrades\":[\"websocket\"],\"pingInterval\":25000,"
                         "\"pingTimeout\":60000}"),
              std::string::npos)
        << *open;
    EXPECT_EQ(open->find(' '), std::string::npos);
    EXPECT_EQ(client.Receive(), "40");
    ASSERT_TRUE(client.Send("2"));
    EXPECT_EQ(client.Receive(), "3");
    ASSERT_TRUE(client.Send("42[\"stop\"]"));
    EXPECT_EQ(client.Receive(), "42[\"success\", \"stop scan success!\"]");

    for (const char* target : {"/socket.io/?EIO=3&transport=polling", "/socket.io/"}) {
        RawClient raw;
        ASSERT_TRUE(raw.Connect(28999));
        raw.Send(RawClient::Handshake(target));
        EXPECT_TRUE(raw.WaitClosed()) << target;
    }
    RawClient lowerCase;
    ASSERT_TRUE(lowerCase.Connect(28999));
    lowerCase.Send(
        "GET /socket.io/?transport=websocket HTTP/1.1\r\nUpgrade: websocket\r\n"
        "Connection: upgrade\r\nSec-WebSocket-Key: a2V5\r\n\r\n");
    EXPECT_TRUE(lowerCase.WaitClosed());
}

TEST_F(Generation1, RestConnectionStaysOpenWithoutAnswerForUnknownPaths) {
    StartGeneration1();
    ASSERT_TRUE(service_.WaitForLog("open webserver success, port=28999")) << service_.Log();
    RawClient client;
    ASSERT_TRUE(client.Connect(18999));
    client.Send("GET /VevIzer/noSuchEndpoint HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(client.ReadExactly(1, std::chrono::milliseconds(300)), "");
    EXPECT_FALSE(client.WaitClosed(std::chrono::milliseconds(200)));
    // Oversized request heads end the connection.
    client.Send("GET /" + std::string(70000, 'a'));
    EXPECT_TRUE(client.WaitClosed());
}

}  // namespace
}  // namespace testing_support

// Generation 1 as a process: its two fixed ports, their start failures and
// the Socket.IO handshake. These tests bind 18999 and 28999 and run one at a
// time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <thread>
#include <vector>

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
}

TEST_F(Generation1, SocketIoHandshakeReadsConnectionAsATokenListInAnyCase) {
    StartGeneration1();
    ASSERT_TRUE(service_.WaitForLog("open webserver success, port=28999")) << service_.Log();
    const struct {
        const char* connection;
        const char* upgrade;
        bool served;
    } cases[] = {
        {"keep-alive, Upgrade", "websocket", true},  // as Firefox sends it
        {"upgrade", "WebSocket", true},
        {"Upgrade,keep-alive", "websocket", true},
        {"keep-alive", "websocket", false},
        {"Upgrade", "h2c", false},
    };
    for (const auto& c : cases) {
        RawClient client;
        ASSERT_TRUE(client.Connect(28999));
        client.Send(std::string("GET /socket.io/?EIO=3&transport=websocket HTTP/1.1\r\n"
                                "Host: 127.0.0.1:28999\r\nOrigin: http://localhost:8080\r\n"
                                "Connection: ") +
                    c.connection + "\r\nUpgrade: " + c.upgrade +
                    "\r\nSec-WebSocket-Version: 13\r\nSec-WebSocket-Key: a2V5\r\n\r\n");
        if (!c.served) {
            EXPECT_TRUE(client.WaitClosed()) << c.connection << " / " << c.upgrade;
            continue;
        }
        EXPECT_EQ(client.ReadUntil("\r\n").rfind("HTTP/1.1 101 ", 0), 0u) << c.connection;
        // The open packet follows the handshake reply.
        EXPECT_NE(client.ReadUntil("0{\"sid\":").find("0{\"sid\":"), std::string::npos);
    }
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

namespace testing_support {
namespace {

// The status line and headers of the reply to one request on a new
// connection to port.
std::string ReplyHead(int port, const std::string& request) {
    RawClient client;
    if (!client.Connect(port) || !client.Send(request)) return "<no connection>";
    return client.ReadUntil("\r\n\r\n");
}

std::string OriginHeader(const std::string& origin) {
    return origin.empty() ? "" : "Origin: " + origin + "\r\n";
}

TEST_F(Generation1, OnlyAllowedOriginsReachRestAndSocketIo) {
    service_.SetConfig("config.ini", "security", "allowed_origins",
                       "https://app.example.com https://*.corp.test");
    StartGeneration1();
    ASSERT_TRUE(service_.WaitForLog("open webserver success, port=28999")) << service_.Log();
    const struct {
        std::string origin;
        bool served;
    } cases[] = {
        {"", true},
        {"http://localhost:5173", true},
        {"http://[::1]:8080", true},
        {"https://app.example.com", true},
        {"https://scan.corp.test", true},
        {"https://evil.example", false},
        {"null", false},
        {"http://127.0.0.2:8000", false},
        {"https://a.b.corp.test", false},
    };
    for (const auto& c : cases) {
        std::string head = ReplyHead(
            18999, "GET /VevIzer/getDevices HTTP/1.1\r\n" + OriginHeader(c.origin) + "\r\n");
        std::string socketIo = ReplyHead(
            28999, RawClient::Handshake("/socket.io/?EIO=3&transport=websocket",
                                        "dGhlIHNhbXBsZSBub25jZQ==", OriginHeader(c.origin)));
        if (c.served) {
            EXPECT_EQ(head.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << c.origin << "\n" << head;
            EXPECT_NE(head.find("Vary: Origin\r\n"), std::string::npos) << head;
            if (c.origin.empty()) {
                EXPECT_EQ(head.find("Access-Control-Allow-Origin"), std::string::npos) << head;
            } else {
                EXPECT_NE(head.find("Access-Control-Allow-Origin: " + c.origin + "\r\n"),
                          std::string::npos)
                    << head;
            }
            EXPECT_EQ(socketIo.rfind("HTTP/1.1 101 ", 0), 0u) << c.origin;
        } else {
            EXPECT_EQ(head.rfind("HTTP/1.1 403 Forbidden\r\n", 0), 0u) << c.origin << "\n" << head;
            EXPECT_EQ(head.find("Access-Control-Allow-Origin"), std::string::npos) << head;
            EXPECT_EQ(socketIo.rfind("HTTP/1.1 403 Forbidden\r\n", 0), 0u) << c.origin;
        }
    }
    // Preflight requests: answered for an allowed page only.
    std::string preflight =
        "OPTIONS /VevIzer/setParams HTTP/1.1\r\nAccess-Control-Request-Method: POST\r\n"
        "Access-Control-Request-Headers: content-type\r\n";
    std::string allowed = ReplyHead(18999, preflight + "Origin: https://app.example.com\r\n\r\n");
    EXPECT_EQ(allowed.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << allowed;
    EXPECT_NE(allowed.find("Access-Control-Allow-Origin: https://app.example.com\r\n"),
              std::string::npos);
    EXPECT_NE(allowed.find("Access-Control-Allow-Methods: GET, POST, OPTIONS\r\n"),
              std::string::npos);
    EXPECT_NE(allowed.find("Access-Control-Allow-Headers: content-type\r\n"), std::string::npos);
    std::string refused = ReplyHead(18999, preflight + "Origin: https://evil.example\r\n\r\n");
    EXPECT_EQ(refused.rfind("HTTP/1.1 403 Forbidden\r\n", 0), 0u) << refused;

    // Each refused origin is logged once, with the setting that allows it.
    std::string log = service_.Log();
    std::string line =
        "refused a request from origin https://evil.example; to allow it, add it "
        "to allowed_origins in the [security] section of config.ini";
    size_t first = log.find(line);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos);
}

TEST_F(Generation1, AtMostSixtyFourConnectionsAtOnce) {
    StartGeneration1();
    ASSERT_TRUE(service_.WaitForLog("open webserver success, port=28999")) << service_.Log();
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 65; ++i) {
        clients.push_back(std::make_unique<RawClient>());
        ASSERT_TRUE(clients.back()->Connect(18999)) << i;
    }
    ASSERT_TRUE(service_.WaitForLog("64 connections open")) << service_.Log();
    // The last one was closed as it was accepted; the first 64 are served.
    EXPECT_TRUE(clients.back()->WaitClosed());
    clients.pop_back();
    for (auto& client : clients) {
        ASSERT_TRUE(client->Send("GET /VevIzer/getDevices HTTP/1.1\r\n\r\n"));
        EXPECT_EQ(client->ReadUntil("\r\n").rfind("HTTP/1.1 200 OK", 0), 0u);
    }
    // A connection that ends frees its place.
    clients.front()->Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(ReplyHead(18999, "GET /VevIzer/getDevices HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 200", 0),
              0u);
}

TEST_F(Generation1, SilentRestConnectionEndsAfterTheHeadTimeLimit) {
    service_.SetConfig("config.ini", "version", "verNum", "1");
    service_.Start({{"SCANBRIDGE_HEAD_TIMEOUT_MS", "1500"}});
    ASSERT_TRUE(service_.WaitForLog("open webserver success, port=28999")) << service_.Log();
    RawClient silent;
    ASSERT_TRUE(silent.Connect(18999));
    RawClient halfHead;
    ASSERT_TRUE(halfHead.Connect(18999));
    ASSERT_TRUE(halfHead.Send("GET /VevIzer/getDevices HTTP/1.1\r\n"));
    RawClient answered;
    ASSERT_TRUE(answered.Connect(18999));
    ASSERT_TRUE(answered.Send("GET /VevIzer/getDevices HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(answered.ReadUntil("\r\n").rfind("HTTP/1.1 200 OK", 0), 0u);
    EXPECT_TRUE(silent.WaitClosed(std::chrono::seconds(10)));
    EXPECT_TRUE(halfHead.WaitClosed(std::chrono::seconds(5)));
    // After its request, a kept-alive connection has the limit again.
    EXPECT_TRUE(answered.WaitClosed(std::chrono::seconds(5)));
}

TEST_F(Generation1, ShutdownSendsGoingAwayToSocketIoClients) {
    StartGeneration1();
    ASSERT_TRUE(service_.WaitForLog("open webserver success, port=28999")) << service_.Log();
    RawClient client;
    ASSERT_TRUE(client.Connect(28999));
    client.Send(RawClient::Handshake("/socket.io/?EIO=3&transport=websocket"));
    // The open packet, then the connect packet "40" in a frame of its own.
    const std::string connectFrame(
        "\x81\x02"
        "40");
    ASSERT_NE(client.ReadUntil(connectFrame).find(connectFrame), std::string::npos);
    ASSERT_EQ(kill(service_.pid(), SIGTERM), 0);
    EXPECT_EQ(client.ReadExactly(4), std::string("\x88\x02\x03\xe9", 4));  // status 1001
    EXPECT_TRUE(client.WaitClosed());
    EXPECT_EQ(service_.WaitForExit(), 0) << service_.Log();
}

}  // namespace
}  // namespace testing_support

// Who reaches the generation-2 endpoint: only pages of allowed origins, and
// by default only this machine (the loopback addresses).
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

#include "service/e2e_fixture.h"
#include "support/raw_client.h"
#include "support/ws_client.h"

namespace testing_support {
namespace {

using Exposure = ServiceTest;

const std::string kQuery = R"({"func":"get_curr_device_name","iden":"x"})";

// The status line the endpoint answers a handshake from origin with (no
// Origin header when empty). A served page holds the one place until its
// connection is gone, so a "503" from the previous page is waited out.
std::string HandshakeStatus(int port, const std::string& origin) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        RawClient client;
        if (!client.Connect(port)) return "<no connection>";
        client.Send(RawClient::Handshake(
            "/", "dGhlIHNhbXBsZSBub25jZQ==", origin.empty() ? "" : "Origin: " + origin + "\r\n"));
        std::string head = client.ReadUntil("\r\n\r\n");
        std::string status = head.substr(0, head.find("\r\n"));
        if (status.find(" 503 ") == std::string::npos ||
            std::chrono::steady_clock::now() > deadline) {
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

TEST_F(Exposure, OnlyPagesOfAllowedOriginsGetTheWebSocket) {
    service_.SetConfig("config.ini", "security", "allowed_origins",
                       "https://app.example.com https://*.corp.test not-an-origin");
    port_ = FreePort();
    service_.SetConfig("config2.ini", "connect", "port", std::to_string(port_));
    service_.Start({{"SCANBRIDGE_ALLOWED_ORIGINS", "http://intranet.local:8080"}});
    ASSERT_TRUE(service_.WaitForLog("open webserver success, port=" + std::to_string(port_)));

    const struct {
        std::string origin;
        bool served;
    } cases[] = {
        {"", true},  // not a browser
        {"http://localhost:3000", true},
        {"https://127.0.0.1", true},
        {"http://[::1]:8080", true},
        {"https://app.example.com", true},
        {"https://scan.corp.test", true},
        {"http://intranet.local:8080", true},
        {"https://evil.example", false},
        {"null", false},
        {"http://127.0.0.2:8000", false},
        {"http://intranet.local:9090", false},
        {"https://corp.test", false},
    };
    for (const auto& c : cases) {
        std::string status = HandshakeStatus(port_, c.origin);
        EXPECT_EQ(status, c.served ? "HTTP/1.1 101 Switching Protocols" : "HTTP/1.1 403 Forbidden")
            << c.origin;
    }
    // A refused handshake gets the reason and no upgrade.
    RawClient refused;
    ASSERT_TRUE(refused.Connect(port_));
    refused.Send(RawClient::Handshake("/", "a2V5", "Origin: https://evil.example\r\n"));
    std::string reply = refused.ReadUntil("use this scanner service\n");
    EXPECT_EQ(reply.find("Upgrade"), std::string::npos) << reply;
    EXPECT_NE(reply.find("Forbidden: the page's origin is not allowed"), std::string::npos);
    EXPECT_TRUE(refused.WaitClosed());

    // An allowed page works as before.
    WsClient page;
    ASSERT_TRUE(page.Connect(port_, "/", "https://app.example.com")) << page.error();
    ASSERT_TRUE(page.Send(kQuery));
    EXPECT_TRUE(page.Receive().has_value());

    std::string log = service_.Log();
    EXPECT_NE(log.find("[security] allowed_origins: \"not-an-origin\" is not an origin"),
              std::string::npos)
        << log;
    std::string line = "refused a request from origin https://evil.example;";
    size_t first = log.find(line);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos) << "logged more than once";
}

TEST_F(Exposure, StarServesEveryOrigin) {
    service_.SetConfig("config.ini", "security", "allowed_origins", "*");
    StartGeneration2();
    for (const char* origin : {"https://evil.example", "null"})
        EXPECT_EQ(HandshakeStatus(port_, origin), "HTTP/1.1 101 Switching Protocols") << origin;
}

// An IPv4 address of this machine that is not a loopback one.
std::optional<std::string> OwnNonLoopbackAddress() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::optional<std::string> found;
    for (ifaddrs* item = list; item != nullptr && !found; item = item->ifa_next) {
        if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET) continue;
        if ((item->ifa_flags & IFF_UP) == 0 || (item->ifa_flags & IFF_LOOPBACK) != 0) continue;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(item->ifa_addr)->sin_addr, text,
                  sizeof text);
        found = text;
    }
    freeifaddrs(list);
    return found;
}

bool CanConnect(const std::string& address, int port) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        length = sizeof *v6;
    } else {
        return false;
    }
    int fd = socket(storage.ss_family, SOCK_STREAM, 0);
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&storage), length) == 0;
    close(fd);
    return connected;
}

TEST_F(Exposure, OtherMachinesReachTheServiceOnlyThroughListen) {
    std::optional<std::string> address = OwnNonLoopbackAddress();
    if (!address) GTEST_SKIP() << "this machine has no non-loopback IPv4 address";
    StartGeneration2();
    EXPECT_TRUE(CanConnect("127.0.0.1", port_));
    EXPECT_FALSE(CanConnect(*address, port_)) << *address;
    EXPECT_EQ(service_.Log().find("listening for other machines"), std::string::npos);
    ASSERT_EQ(service_.Stop(SIGTERM), 0) << service_.Log();

    ServiceProcess lan;
    lan.SetConfig("config2.ini", "connect", "port", std::to_string(port_));
    lan.SetConfig("config.ini", "security", "listen", *address);
    lan.Start();
    ASSERT_TRUE(lan.WaitForLog("open webserver success, port=" + std::to_string(port_)))
        << lan.Log();
    EXPECT_TRUE(CanConnect(*address, port_)) << lan.Log();
    EXPECT_TRUE(CanConnect("127.0.0.1", port_));
    EXPECT_NE(lan.Log().find("listening for other machines too, on " + *address), std::string::npos)
        << lan.Log();
    EXPECT_EQ(lan.Stop(SIGTERM), 0) << lan.Log();
}

TEST_F(Exposure, IPv6LoopbackIsServedWhereTheMachineHasIt) {
    StartGeneration2();
    if (service_.Log().find("listen address ::1 not available") != std::string::npos) {
        GTEST_SKIP() << "no IPv6 loopback here";
    }
    EXPECT_TRUE(CanConnect("::1", port_)) << service_.Log();
}

}  // namespace
}  // namespace testing_support

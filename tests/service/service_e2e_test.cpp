// The service as a process: generation choice, start failures and stopping.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "service/e2e_fixture.h"
#include "support/raw_client.h"
#include "support/ws_client.h"

namespace testing_support {
namespace {

// Holds a TCP port on every interface for the lifetime of the object.
class PortBlocker {
  public:
    explicit PortBlocker(int port) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        // Bind past TIME_WAIT left by earlier tests; a live listener still
        // blocks the service, which is what the test needs.
        int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(static_cast<uint16_t>(port));
        ok_ = bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              listen(fd_, 1) == 0;
    }
    ~PortBlocker() { close(fd_); }
    bool ok() const { return ok_; }

  private:
    int fd_;
    bool ok_;
};

bool Replies(int port) {
    WsClient client;
    if (!client.Connect(port)) return false;
    client.Send(R"({"func":"get_curr_device_name","iden":"x"})");
    return client.Receive().has_value();
}

using ServiceProcessTest = ServiceTest;

TEST_F(ServiceProcessTest, SigtermAndSigintStopWithStatusZero) {
    for (int signal : {SIGTERM, SIGINT}) {
        ServiceProcess service;
        int port = FreePort();
        service.SetConfig("config2.ini", "connect", "port", std::to_string(port));
        service.Start();
        ASSERT_TRUE(service.WaitForLog("open webserver success")) << service.Log();
        WsClient client;
        ASSERT_TRUE(client.Connect(port));
        EXPECT_EQ(service.Stop(signal), 0) << service.Log();
        EXPECT_TRUE(client.WaitClosed());
    }
}

TEST_F(ServiceProcessTest, PortInUseEndsWithStatusZeroAndTheOpenFailureLine) {
    int port = FreePort();
    PortBlocker blocker(port);
    ASSERT_TRUE(blocker.ok());
    service_.SetConfig("config2.ini", "connect", "port", std::to_string(port));
    service_.Start();
    EXPECT_EQ(service_.WaitForExit(), 0) << service_.Log();
    EXPECT_NE(service_.Log().find("open webserver failed 2, port=" + std::to_string(port)),
              std::string::npos)
        << service_.Log();
}

TEST_F(ServiceProcessTest, EveryVersionOtherThanOneServesGeneration2) {
    for (const char* version : {"", "0", "3", "abc", "2"}) {
        ServiceProcess service;
        int port = FreePort();
        service.SetConfig("config2.ini", "connect", "port", std::to_string(port));
        if (*version != '\0') service.SetConfig("config.ini", "version", "verNum", version);
        service.Start();
        ASSERT_TRUE(service.WaitForLog("open webserver success, port=" + std::to_string(port)))
            << version << "\n"
            << service.Log();
        EXPECT_TRUE(Replies(port)) << version;
        EXPECT_EQ(service.Stop(SIGTERM), 0) << service.Log();
    }
}

TEST_F(ServiceProcessTest, HelpAndVersionAnswerWithoutServing) {
    for (const char* option : {"--help", "--version"}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            execl(SCANBRIDGE_EXE, SCANBRIDGE_EXE, option, static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << option;
    }
}

}  // namespace
}  // namespace testing_support

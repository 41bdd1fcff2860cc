// The service as a process: generation choice, start failures and stopping.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <utility>
#include <vector>

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
    std::string log = service_.Log();
    EXPECT_NE(log.find("open webserver failed 2, port=" + std::to_string(port)), std::string::npos)
        << log;
    EXPECT_NE(log.find("port " + std::to_string(port) +
                       " is in use — another instance, or set [connect] port (Address already "
                       "in use)"),
              std::string::npos)
        << log;
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

// "0123456789ab", "0123456789ab-dirty" or "unknown".
bool IsCommitText(std::string commit) {
    if (commit == "unknown") return true;
    if (commit.ends_with("-dirty")) commit.resize(commit.size() - 6);
    return commit.size() == 12 && commit.find_first_not_of("0123456789abcdef") == std::string::npos;
}

TEST(CommandLine, VersionNamesTheProjectVersionAndTheCommit) {
    CommandOutput run = RunExecutable({"--version"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    std::string prefix = "scanbridge " SCANBRIDGE_VERSION " (commit ";
    ASSERT_TRUE(run.out.starts_with(prefix) && run.out.ends_with(")\n")) << run.out;
    std::string commit = run.out.substr(prefix.size(), run.out.size() - prefix.size() - 2);
    EXPECT_TRUE(IsCommitText(commit)) << commit;
}

// The help shows the folders as the service would resolve them from this
// environment, and names every setting a user can reach.
TEST(CommandLine, HelpShowsTheFoldersInUseTheFilesAndTheEnvironment) {
    TempDir root;
    std::map<std::string, std::string> folders = {
        {"SCANBRIDGE_CONFIG_DIR", root.path() + "conf"},
        {"SCANBRIDGE_DOCUMENTS_DIR", root.path() + "docs"},
        {"SCANBRIDGE_TMP_DIR", root.path() + "tmp"}};
    CommandOutput run = RunExecutable({"--help"}, folders);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    for (const std::string& expected :
         {"configuration  " + root.path() + "conf/", "documents      " + root.path() + "docs/",
          "temporary      " + root.path() + "tmp/",
          // Run from the build tree, the shared files are the source tree's.
          std::string("shared files   ") + SCANBRIDGE_SOURCE_DIR + "/"}) {
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
    }
    for (const char* name :
         {"Usage: scanbridge", "--version", "config.ini", "config1.ini", "config2.ini",
          "[connect] port", "newConfig2.db", "SCANBRIDGE_CONFIG_DIR", "SCANBRIDGE_DOCUMENTS_DIR",
          "SCANBRIDGE_TMP_DIR", "SCANBRIDGE_DRIVER", "SCANBRIDGE_ALLOWED_ORIGINS",
          "SANE_CONFIG_DIR"}) {
        EXPECT_NE(run.out.find(name), std::string::npos) << name;
    }
}

TEST(CommandLine, AnythingElseIsAUsageErrorAndServesNothing) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--bogus"}, "'--bogus'"},
        {{"-h"}, "'-h'"},
        {{"--help", "extra"}, "'extra'"},
        {{"serve", "now"}, "'serve'"},
    };
    for (const auto& [arguments, named] : cases) {
        // A service that ignored the arguments would serve on this port and
        // never end by itself.
        int port = FreePort();
        TempDir root;
        WriteFile(root.path() + "config2.ini", "[connect]\nport=" + std::to_string(port) + "\n");
        CommandOutput run = RunExecutable(arguments, {{"SCANBRIDGE_CONFIG_DIR", root.path()},
                                                      {"SCANBRIDGE_TMP_DIR", root.path()}});
        EXPECT_EQ(run.exitStatus, 2) << named;
        EXPECT_EQ(run.out, "") << named;
        EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("Usage: scanbridge [--help | --version | --list-commands]"),
                  std::string::npos);
    }
}

TEST_F(ServiceProcessTest, TheStartUpLineNamesVersionGenerationDriverAndAddress) {
    service_.SetConfig("config.ini", "driver", "name", "virtual");
    StartGeneration2();
    std::string line =
        "scanbridge " SCANBRIDGE_VERSION " generation 2 driver virtual listening on ";
    ASSERT_TRUE(service_.WaitForLog(line)) << service_.Log();
    // The loopback addresses, IPv6 only where the machine has it.
    std::string port = std::to_string(port_);
    std::string addresses = LogLineAfter(service_.Log(), line);
    EXPECT_TRUE(addresses == "127.0.0.1:" + port ||
                addresses == "127.0.0.1:" + port + ", [::1]:" + port)
        << addresses;
    EXPECT_TRUE(Replies(port_));
}

// A database the service cannot use is named in the log with the reason, and
// the service still serves.
TEST_F(ServiceProcessTest, AnUnusableDatabaseIsLoggedWithItsPathAndReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"not a database file", "file is not a database"},
        {nullptr, "unable to open database file"},  // a folder holds the name
    };
    for (const auto& [content, reason] : cases) {
        ServiceProcess service;
        std::string database = service.configDir() + "newConfig2.db";
        if (content != nullptr) {
            WriteFile(database, content);
        } else {
            std::filesystem::create_directories(database);
        }
        int port = FreePort();
        service.SetConfig("config2.ini", "connect", "port", std::to_string(port));
        service.Start();
        ASSERT_TRUE(service.WaitForLog("open webserver success")) << service.Log();
        EXPECT_NE(service.Log().find("open database failed, path=" + database + ": " + reason),
                  std::string::npos)
            << service.Log();
        EXPECT_TRUE(Replies(port)) << reason;
        EXPECT_EQ(service.Stop(SIGTERM), 0) << service.Log();
    }
}

}  // namespace
}  // namespace testing_support

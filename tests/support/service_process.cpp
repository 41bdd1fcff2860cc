#include "support/service_process.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/base/kx_profile.h"

namespace testing_support {

ServiceProcess::ServiceProcess() {
    std::filesystem::create_directories(configDir());
    std::filesystem::create_directories(documentsDir());
}

namespace {

// Enough for the tail of a long run; the cause of a failure is usually
// near the end.
constexpr size_t kMaxPrintedLog = 256 * 1024;

}  // namespace

ServiceProcess::~ServiceProcess() {
    if (pid_ > 0 && Running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (pid_ > 0 && ::testing::Test::HasFailure()) PrintLog();
}

void ServiceProcess::PrintLog() const {
    std::string log = Log();
    const char* cut = "";
    if (log.size() > kMaxPrintedLog) {
        log.erase(0, log.size() - kMaxPrintedLog);
        cut = " (its end)";
    }
    std::fprintf(stderr, "---- log of the service (pid %d)%s ----\n%s\n---- end of the log ----\n",
                 static_cast<int>(pid_), cut, log.c_str());
}

void ServiceProcess::SetConfig(const std::string& file, const std::string& section,
                               const std::string& key, const std::string& value) {
    std::string path = configDir() + file;
    ASSERT_EQ(KXBase_SetProfileString(path.c_str(), section.c_str(), key.c_str(), value.c_str()),
              0);
}

void ServiceProcess::Start(const std::map<std::string, std::string>& environment) {
    std::string logPath = root_.path() + "service.log";
    // A process may be started again after a stop, in the same tree.
    exited_ = false;
    status_ = 0;
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
        setenv("SCANBRIDGE_CONFIG_DIR", configDir().c_str(), 1);
        setenv("SCANBRIDGE_DOCUMENTS_DIR", documentsDir().c_str(), 1);
        setenv("SCANBRIDGE_TMP_DIR", tmpDir().c_str(), 1);
        // Tests run the virtual scanner unless they name another driver.
        setenv("SCANBRIDGE_DRIVER", "virtual", 1);
        for (const auto& [name, value] : environment)
            setenv(name.c_str(), value.c_str(), 1);
        FILE* log = std::fopen(logPath.c_str(), "w");
        if (log != nullptr) {
            dup2(fileno(log), STDERR_FILENO);
            dup2(fileno(log), STDOUT_FILENO);
        }
        execl(SCANBRIDGE_EXE, SCANBRIDGE_EXE, static_cast<char*>(nullptr));
        _exit(127);
    }
}

bool ServiceProcess::Running() {
    if (exited_ || pid_ <= 0) return false;
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        exited_ = true;
        status_ = status;
        return false;
    }
    return true;
}

bool ServiceProcess::WaitForLog(const std::string& text, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Log().find(text) != std::string::npos) return true;
        if (!Running()) return Log().find(text) != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int ServiceProcess::WaitForExit(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            exited_ = true;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status_)) return WEXITSTATUS(status_);
    if (WIFSIGNALED(status_)) return 1000 + WTERMSIG(status_);
    return -2;
}

int ServiceProcess::Stop(int signal, std::chrono::milliseconds timeout) {
    if (Running()) kill(pid_, signal);
    return WaitForExit(timeout);
}

std::string ServiceProcess::Log() const {
    return ReadFile(root_.path() + "service.log");
}

CommandOutput RunExecutable(const std::vector<std::string>& arguments,
                            const std::map<std::string, std::string>& environment) {
    TempDir outputs;
    std::string outPath = outputs.path() + "out";
    std::string errPath = outputs.path() + "err";
    std::vector<char*> argv{const_cast<char*>(SCANBRIDGE_EXE)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child < 0) return {};
    if (child == 0) {
        for (const auto& [name, value] : environment)
            setenv(name.c_str(), value.c_str(), 1);
        FILE* out = std::fopen(outPath.c_str(), "w");
        FILE* err = std::fopen(errPath.c_str(), "w");
        if (out == nullptr || err == nullptr) _exit(126);
        dup2(fileno(out), STDOUT_FILENO);
        dup2(fileno(err), STDERR_FILENO);
        execv(SCANBRIDGE_EXE, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    CommandOutput result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

}  // namespace testing_support

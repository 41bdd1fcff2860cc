#include "support/upload_server_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace testing_support {

namespace {

bool Exited(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

}  // namespace

UploadServerProcess::~UploadServerProcess() {
    Stop();
}

bool UploadServerProcess::Start(const std::string& script, const std::vector<std::string>& args,
                                const std::string& workDir) {
    if (pid_ > 0) return false;
    std::string readyPath = workDir + "ready";
    logPath_ = workDir + "server.log";
    std::vector<std::string> words = {UPLOAD_TEST_PYTHON,
                                      std::string(UPLOAD_TEST_SCRIPTS_DIR) + "/" + script};
    words.insert(words.end(), args.begin(), args.end());
    words.insert(words.end(), {"--ready", readyPath});
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        ADD_FAILURE() << "cannot run " << argv[0];
        return false;
    }

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string ready = ReadFile(readyPath);
        if (!ready.empty()) {
            port_ = std::stoi(ready);
            return true;
        }
        if (Exited(pid_)) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << script << " did not start:\n" << Log();
    Stop();
    return false;
}

void UploadServerProcess::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string UploadServerProcess::Log() const {
    return ReadFile(logPath_);
}

}  // namespace testing_support

#include "platform/driver/sane/sane_test_env.h"

#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <thread>

SaneTestEnv::SaneTestEnv(const std::string& extraTestConf) {
    testing_support::WriteFile(dir_.File("sane/dll.conf"), "test\ncrashy\n");
    testing_support::WriteFile(
        dir_.File("sane/test.conf"),
        "enable-test-options true\nnumber_of_devices 2\n" + extraTestConf + "\n");
    config_ = std::make_unique<testing_support::ScopedEnv>("SANE_CONFIG_DIR", configDir());
    libraryPath_ =
        std::make_unique<testing_support::ScopedEnv>("LD_LIBRARY_PATH", CRASHY_BACKEND_DIR);
    cue_ = std::make_unique<testing_support::ScopedEnv>("SCANBRIDGE_CRASHY_CUE",
                                                        dir_.path() + "crashy-cue");
    worker_ = std::make_unique<testing_support::ScopedEnv>("SCANBRIDGE_SANE_WORKER",
                                                           SCANBRIDGE_SANE_WORKER_EXE);
}

bool SaneTestEnv::WaitUntilReadBlocks(std::chrono::milliseconds timeout) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string reached = dir_.path() + "crashy-cue.reached";
    while (access(reached.c_str(), F_OK) != 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void SaneTestEnv::Cue(const std::string& cue) {
    testing_support::WriteFile(dir_.path() + "crashy-cue", cue);
}

std::string SaneTestEnv::ScanImage(const std::string& arguments) const {
    std::string command = "SANE_CONFIG_DIR='" + configDir() + "' scanimage --format=pnm " +
                          arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    std::string output;
    char buffer[65536];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    return pclose(pipe) == 0 ? output : std::string();
}

namespace {

// The next header token, skipping blanks and comment lines.
bool Token(const std::string& file, size_t* at, std::string* token) {
    token->clear();
    while (*at < file.size()) {
        char c = file[*at];
        if (c == '#') {
            while (*at < file.size() && file[*at] != '\n')
                ++*at;
        } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            if (!token->empty()) return true;
            ++*at;
            continue;
        } else {
            token->push_back(c);
            ++*at;
            continue;
        }
    }
    return !token->empty();
}

}  // namespace

bool ParsePnm(const std::string& file, Pnm* image) {
    size_t at = 0;
    std::string magic, width, height, maxValue = "1";
    if (!Token(file, &at, &magic) || magic.size() != 2 || magic[0] != 'P') return false;
    image->kind = magic[1];
    if (!Token(file, &at, &width) || !Token(file, &at, &height)) return false;
    if (image->kind != '4' && !Token(file, &at, &maxValue)) return false;
    image->width = std::stoi(width);
    image->height = std::stoi(height);
    image->maxValue = std::stoi(maxValue);
    image->pixels = file.substr(at + 1);  // one whitespace byte ends the header
    return true;
}

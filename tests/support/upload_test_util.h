// Shared pieces of the upload tests: a local file with awkward bytes, a check
// that the file was left alone, the progress lines of a captured log, and a
// fixture that keeps any proxy settings of the environment out of the way.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace upload_test {

// size bytes holding every byte value and multipart-like sequences
// ("\r\n--", "\r\n\r\n"), in a fixed pseudo-random order.
inline std::string SampleBytes(size_t size) {
    std::string bytes;
    bytes.reserve(size);
    uint32_t state = 2463534242u;
    const std::string awkward = "\r\n--\r\n\r\n--boundary\r\n";
    while (bytes.size() < size) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        if (state % 61 == 0) {
            bytes += awkward;
        } else {
            bytes += static_cast<char>(state & 0xff);
        }
    }
    bytes.resize(size);
    return bytes;
}

struct ProgressLine {
    long long now;
    long long total;
};

// The "ulnow=<n>, ultotal=<n>" lines of a log, in order.
inline std::vector<ProgressLine> ProgressLines(const std::string& log) {
    std::vector<ProgressLine> lines;
    for (size_t at = log.find("ulnow="); at != std::string::npos; at = log.find("ulnow=", at + 1)) {
        char* end = nullptr;
        long long now = std::strtoll(log.c_str() + at + 6, &end, 10);
        if (std::strncmp(end, ", ultotal=", 10) != 0) continue;
        lines.push_back({now, std::strtoll(end + 10, nullptr, 10)});
    }
    return lines;
}

// A file's bytes and modification time, to show an upload left it alone.
class FileSnapshot {
  public:
    explicit FileSnapshot(const std::string& path)
        : path_(path),
          bytes_(testing_support::ReadFile(path)),
          modified_(std::filesystem::last_write_time(path)) {}

    bool Unchanged() const {
        return testing_support::Exists(path_) && testing_support::ReadFile(path_) == bytes_ &&
               std::filesystem::last_write_time(path_) == modified_;
    }

  private:
    std::string path_;
    std::string bytes_;
    std::filesystem::file_time_type modified_;
};

// Seconds a call took.
template <typename Call>
double SecondsTaken(Call call) {
    auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A temporary folder with one sample file in it. Proxy variables of the
// environment would send test traffic for 127.0.0.1 elsewhere; no_proxy
// keeps it local.
class UploadTest : public ::testing::Test {
  protected:
    UploadTest() : noProxy_("no_proxy", "*") {
        localPath_ = dir_.File("scan page 1.jpg");
        localBytes_ = SampleBytes(100 * 1000);
        testing_support::WriteFile(localPath_, localBytes_);
    }

    testing_support::TempDir dir_;
    testing_support::ScopedEnv noProxy_;
    std::string localPath_;
    std::string localBytes_;
};

}  // namespace upload_test

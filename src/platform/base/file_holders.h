// Owning holders for files: an open C stream or descriptor closed on scope
// exit, and a fresh temporary path whose file is deleted on scope exit.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/base/kx_paths.h"

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHolder = std::unique_ptr<std::FILE, FileCloser>;

// An open descriptor (or -1) closed on scope exit.
class FdHolder {
  public:
    explicit FdHolder(int fd) : fd_(fd) {}
    ~FdHolder() {
        if (fd_ >= 0) close(fd_);
    }
    FdHolder(const FdHolder&) = delete;
    FdHolder& operator=(const FdHolder&) = delete;

    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

  private:
    int fd_;
};

// A path in the temporary folder (ending in suffix when one is given) at
// which nothing existed; whatever is written there is deleted with the
// holder. path() is empty when no name could be made.
class TemporaryFile {
  public:
    explicit TemporaryFile(const char* suffix = nullptr) {
        char buffer[512] = {};
        if (KXBase_GetTmpFileName(suffix, buffer, sizeof buffer) == 0) path_ = buffer;
    }
    ~TemporaryFile() {
        if (!path_.empty()) KXBase_DeleteFile(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

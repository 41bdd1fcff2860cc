// Everything a piece of test code writes to standard error (where the log
// goes), captured through a file in a test's folder. One thread at a time.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "support/temp_dir.h"

namespace testing_support {

template <typename Write>
std::string CaptureStderr(const TempDir& dir, Write write) {
    std::string path = dir.File("stderr.txt");
    std::fflush(stderr);
    int saved = dup(STDERR_FILENO);
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, STDERR_FILENO);
    close(file);
    write();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    return ReadFile(path);
}

}  // namespace testing_support

#include "support/ftp_server.h"

#include <filesystem>

namespace testing_support {

bool FtpTestServer::Start() {
    std::filesystem::create_directories(anonymousRoot());
    std::filesystem::create_directories(userRoot());
    return process_.Start("ftp_server.py",
                          {"--anonymous-root", anonymousRoot(), "--user", kUser, "--password",
                           kPassword, "--user-root", userRoot()},
                          dir_.path());
}

}  // namespace testing_support

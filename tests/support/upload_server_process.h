// A test server written in Python (tests/support/*.py), run as a child
// process for one test: started with a ready file it writes its port into,
// waited for until it listens, and stopped by the destructor.
//
// The servers run under Debian's /usr/bin/python3, for which the install
// script provides python3-pyftpdlib. Used from the test's main thread only.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testing_support {

class UploadServerProcess {
  public:
    UploadServerProcess() = default;
    ~UploadServerProcess();
    UploadServerProcess(const UploadServerProcess&) = delete;
    UploadServerProcess& operator=(const UploadServerProcess&) = delete;

    // Runs script (a file name in tests/support) with args plus
    // "--ready <workDir>ready", output to <workDir>server.log, and waits up
    // to 10 seconds for the port. False (with a test failure message) when
    // it did not come up.
    bool Start(const std::string& script, const std::vector<std::string>& args,
               const std::string& workDir);
    // Ends the process and waits for it; idempotent.
    void Stop();

    int port() const { return port_; }
    std::string Log() const;

  private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string logPath_;
};

}  // namespace testing_support

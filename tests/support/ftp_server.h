// A real FTP server on 127.0.0.1 for upload tests (ftp_server.py, on
// pyftpdlib), with an anonymous login and a named user whose password holds
// ":", "@", "/", a space and "%", each working in its own root folder with
// full rights, so the folder a file lands in shows which login stored it.
//
// Used from the test's main thread; the server process and both folders end
// with the object.
#pragma once

#include <string>

#include "support/temp_dir.h"
#include "support/upload_server_process.h"

namespace testing_support {

class FtpTestServer {
  public:
    static constexpr char kUser[] = "scan@desk";
    static constexpr char kPassword[] = "p:w@d/1 %41";

    // False (and a test failure) when the server did not come up.
    bool Start();
    void Stop() { process_.Stop(); }

    int port() const { return process_.port(); }
    // Root folders of the two logins, each ending with "/".
    std::string anonymousRoot() const { return dir_.path() + "anonymous/"; }
    std::string userRoot() const { return dir_.path() + "user/"; }
    // The server's log (commands and replies), for failure messages.
    std::string Log() const { return process_.Log(); }

  private:
    TempDir dir_;
    UploadServerProcess process_;
};

}  // namespace testing_support

// The second generation's file transfer: one local file sent to a server
// chosen by the page, as a multipart HTTP form post or by FTP, with the
// progress of the upload logged ("ulnow=..., ultotal=..." at level info).
//
// The routines keep no state and make and release their own libcurl handle
// per call; the upload commands call them on the service thread, which they
// block until the transfer ends (at most the transfer limit, ten minutes).
// The local file is only read: deleting temporary files stays with the
// caller. The defaults of the settings (mode "http", ports 80 and 21, path
// "/upload.cgi", remote path "/" + file name) are applied by the commands.
#pragma once

#include <cstdint>
#include <string>

#include "net/curl_upload.h"
#include "ver_2/error_info.h"

namespace ver_2 {

// Sends localPath and returns 0, or -1 with the reason in error. mode
// "http" (exactly) posts the form of PostFileForm to "http://" httpHost ":"
// httpPort httpPath with remotePath as the "remote_filename" text; mode
// "ftp" is FtpUpload. Failures: an empty local or remote path, any other
// mode, a missing or unreadable file (nothing is sent then), a host, port or
// path that cannot form a URL, a transfer error (libcurl's message, with
// the server's answer where there was one), the time limit, and an HTTP
// answer outside 2xx: the server did not take the file.
// limits exists for tests; the service uses the defaults.
int UploadFile(const std::string& localPath, const std::string& remotePath, const std::string& mode,
               const std::string& httpHost, int32_t httpPort, const std::string& httpPath,
               const std::string& ftpUser, const std::string& ftpPassword,
               const std::string& ftpHost, int32_t ftpPort, ErrorInfo& error,
               const TransferLimits& limits = {});

// Stores localPath at remotePath (a path starting with "/") on the FTP
// server, creating missing folders; logs in with user and password when both
// are given, anonymously otherwise. 0, or -1 with the reason in reason
// when given.
int FtpUpload(const std::string& user, const std::string& password, const std::string& host,
              int32_t port, const std::string& localPath, const std::string& remotePath,
              const TransferLimits& limits = {}, std::string* reason = nullptr);

// The libcurl progress callback the uploads install.
using ::UploadProgressLog;

}  // namespace ver_2

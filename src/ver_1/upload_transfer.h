// The first generation's two transfer routines: a file sent as a multipart
// HTTP form post to a URL, or stored in a folder of an FTP server under its
// own file name.
//
// The routines keep no state and make and release their own libcurl handle
// per call; they block their caller (the service thread for documents, the
// driver's thread for per-page uploads) until the transfer ends, at most the
// transfer limit of ten minutes. The local file is only read. No progress is
// logged.
#pragma once

#include <string>

#include "net/curl_upload.h"

namespace ver_1 {

// POSTs the form "filename" (the file at path), "remote_filename"
// (remoteName), "submit" ("Submit") to url (http or https). True once the server
// has answered, whatever its status code; false for a URL with a control
// character or space, an unreadable file, a transfer error or the time
// limit. limits exists for tests; the service uses the defaults.
bool HttpUploadFile(const std::string& path, const std::string& url, const std::string& remoteName,
                    const TransferLimits& limits = {});

// Stores the file at path as directory + "/" + its file name on the FTP
// server host:port, creating missing folders. directory is empty or starts
// with "/". Logs in with user and password when both are given, anonymously
// otherwise. False for an unreadable file, a host, port or directory that
// cannot form a URL, a transfer error or the time limit.
bool FtpUploadFile(const std::string& path, const std::string& host, int port,
                   const std::string& directory, const std::string& user,
                   const std::string& password, const TransferLimits& limits = {});

}  // namespace ver_1

// Uploads of one local file with libcurl, shared by both interface
// generations: a multipart HTTP form post, an FTP upload from an open file,
// the composition of the URLs they go to, and the progress logger.
//
// Every transfer makes and releases its own libcurl handle, so calls share
// nothing and any thread may make them; the process-wide curl_global_init
// must have run (the service entry does it). A transfer blocks its caller
// until it ends, fails or reaches its TransferLimits. The local file is only
// read, never changed or removed.
//
// Failures are reported by the return value. The reason goes to standard
// error: "curl_easy_perform() failed: <libcurl's text>" for transfer errors, a
// log line starting "upload refused:" for input that cannot form a URL or a
// file that cannot be read. Credentials never appear in those lines. A
// caller that passes `reason` also receives it: the refusal's text, or
// libcurl's detailed message for a failed transfer (which quotes the
// server's answer where there was one, e.g. an FTP server's refusal).
#pragma once

#include <curl/curl.h>

#include <optional>
#include <string>

#include "platform/base/kx_files.h"

// How long one transfer may take.
struct TransferLimits {
    // Giving up on establishing the connection.
    long connectTimeoutSeconds = 2;
    // The whole transfer, connection included, fails once it has run this
    // long, so a server that accepts and then stalls cannot hold the caller
    // for ever. Ten minutes in the service; tests shorten it.
    long totalTimeoutMilliseconds = 10L * 60 * 1000;
};

// The libcurl transfer-information callback (CURLOPT_XFERINFOFUNCTION form):
// logs "ulnow=<bytes sent>, ultotal=<bytes to send>" at level info and returns
// 0, so it never aborts a transfer. The other arguments are not used.
int UploadProgressLog(void* user, curl_off_t downloadTotal, curl_off_t downloadNow,
                      curl_off_t uploadTotal, curl_off_t uploadNow);

// Every byte other than A-Z a-z 0-9 "-" "." "_" "~" as %XX (upper-case hex);
// with keepSlash, "/" stays as it is too.
std::string PercentEncode(const std::string& text, bool keepSlash = false);

// "http://" host ":" port path. The path is URL text (it may carry a query)
// and is used as given. Refused (nullopt and a log line): an empty host, a
// host with a control character, space, "/", "?", "#", "@", "\", "%" or a
// ":" outside an "[IPv6]" literal, a port outside 1..65535, a path that does
// not start with "/" or holds a control character or space.
std::optional<std::string> ComposeHttpUrl(const std::string& host, int port,
                                          const std::string& path, std::string* reason = nullptr);

// "ftp://" [user ":" password "@"] host ":" port path. The credentials are
// written only when both are non-empty (otherwise libcurl logs in
// anonymously), each percent-encoded so that ":", "@" and "/" in them work.
// path is a file path on the server; every byte of it other than "/" and the
// unreserved characters is percent-encoded, so spaces, "#", "?", "%" and ";"
// are part of the names. Refused (nullopt and a log line): the host and port
// cases of ComposeHttpUrl, a path that does not start with "/", ends with "/"
// (no file name) or holds a control character.
std::optional<std::string> ComposeFtpUrl(const std::string& user, const std::string& password,
                                         const std::string& host, int port, const std::string& path,
                                         std::string* reason = nullptr);

// URL text given whole: refused (false and a log line) when empty or holding
// a control character or space.
bool IsUsableUrlText(const std::string& url, std::string* reason = nullptr);

// A local file opened for binary reading, with its size; closed by the
// destructor. Owned by the function that opens it.
class UploadSource {
  public:
    UploadSource() = default;
    UploadSource(const UploadSource&) = delete;
    UploadSource& operator=(const UploadSource&) = delete;

    // Opens path and measures it; false (and a log line) when the file
    // cannot be opened for reading or is not a regular file.
    bool Open(const std::string& path, std::string* reason = nullptr);

    bool IsOpen() const { return file_.IsOpen(); }
    curl_off_t size() const { return static_cast<curl_off_t>(file_.size()); }
    // libcurl's read callback over an UploadSource given as its data.
    static size_t ReadForCurl(char* buffer, size_t size, size_t count, void* source);

  private:
    KXReadFile file_;
};

// POSTs a multipart/form-data body to url (http or https, redirects not
// followed) with three parts in this order: "filename" carrying the bytes of
// the file at localPath under that file's own name, "remote_filename" with the
// text remoteName, "submit" with the text "Submit". True once the server has
// answered, whatever its status code, which goes to httpStatus when given;
// false when the file cannot be read or the transfer fails. With
// logProgress, UploadProgressLog logs the progress.
bool PostFileForm(const std::string& url, const std::string& localPath,
                  const std::string& remoteName, bool logProgress, const TransferLimits& limits,
                  std::string* reason = nullptr, long* httpStatus = nullptr);

// Stores the whole of source at url by FTP (ftp only), creating the missing
// folders of the URL's path. True when the server confirmed the upload.
// With logProgress, UploadProgressLog logs the progress.
bool FtpUploadFromFile(const std::string& url, UploadSource& source, bool logProgress,
                       const TransferLimits& limits, std::string* reason = nullptr);

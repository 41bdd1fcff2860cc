#include "net/curl_upload.h"

#include <cctype>
#include <cstring>

#include "platform/base/kx_log.h"

namespace {

bool IsControlOrSpace(unsigned char c) {
    return c <= 0x20 || c == 0x7f;
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// Logs why input was refused and hands the reason to the caller who asked.
void LogRefusal(const char* text, std::string* reason) {
    KXBase_WriteInfo(KX_LOG_INFO, "upload refused: %s", text);
    if (reason != nullptr) *reason = text;
}

// An "[IPv6]" literal: hex digits, ":" and "." between the brackets.
bool IsBracketedAddress(const std::string& host) {
    if (host.size() < 3 || host.front() != '[' || host.back() != ']') return false;
    for (size_t i = 1; i + 1 < host.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(host[i]);
        if (!std::isxdigit(c) && c != ':' && c != '.') return false;
    }
    return true;
}

// A host that keeps the URL's structure: it cannot end the authority early,
// add credentials or carry a port of its own.
bool CheckHost(const std::string& host, std::string* reason) {
    if (host.empty()) {
        LogRefusal("empty host", reason);
        return false;
    }
    if (host.front() == '[') {
        if (IsBracketedAddress(host)) return true;
        LogRefusal("malformed IPv6 host", reason);
        return false;
    }
    for (unsigned char c : host) {
        if (IsControlOrSpace(c) || std::strchr("/?#@\\%:[]", c) != nullptr) {
            LogRefusal("host contains a character that cannot appear in a host name", reason);
            return false;
        }
    }
    return true;
}

bool CheckPort(int port, std::string* reason) {
    if (port >= 1 && port <= 65535) return true;
    std::string text = "port " + std::to_string(port) + " is outside 1..65535";
    LogRefusal(text.c_str(), reason);
    return false;
}

std::string Authority(const std::string& host, int port) {
    return host + ":" + std::to_string(port);
}

// The server's answer is not used; without a write function libcurl would
// copy it to the service's standard output.
size_t DiscardResponse(char*, size_t size, size_t count, void*) {
    return size * count;
}

// Transfer settings both protocols share. protocol is the only scheme
// libcurl may use, also for redirects (which are not followed anyway).
bool SetCommonOptions(CURL* easy, const std::string& url, const char* protocol, bool logProgress,
                      const TransferLimits& limits) {
    bool ok =
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, DiscardResponse) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, protocol) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, protocol) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMilliseconds) == CURLE_OK;
    if (ok && logProgress) {
        ok = curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, UploadProgressLog) == CURLE_OK &&
             curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
    }
    if (!ok) KXBase_WriteInfo(KX_LOG_INFO, "upload: libcurl refused a transfer option");
    return ok;
}

// Runs the transfer. On failure, reason receives libcurl's detailed message
// (which carries the server's answer where there was one), else its
// general text for the code.
bool Perform(CURL* easy, std::string* reason) {
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, detail);
    CURLcode result = curl_easy_perform(easy);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
    if (result == CURLE_OK) return true;
    std::fprintf(stderr, "curl_easy_perform() failed: %s\n", curl_easy_strerror(result));
    if (reason != nullptr) *reason = detail[0] != '\0' ? detail : curl_easy_strerror(result);
    return false;
}

// The easy handle and the form of one transfer. The handle is cleaned up
// before the form is freed, since the handle refers to the form until then.
class CurlTransfer {
  public:
    CurlTransfer() : easy_(curl_easy_init()) {
        if (easy_ == nullptr) KXBase_WriteInfo(KX_LOG_INFO, "upload: curl_easy_init failed");
    }
    ~CurlTransfer() {
        if (easy_ != nullptr) curl_easy_cleanup(easy_);
        if (form_ != nullptr) curl_mime_free(form_);
    }
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    CURL* easy() const { return easy_; }
    curl_mime* NewForm() { return form_ = curl_mime_init(easy_); }

  private:
    CURL* easy_;
    curl_mime* form_ = nullptr;
};

bool AddFilePart(curl_mime* form, const char* name, const std::string& path) {
    curl_mimepart* part = curl_mime_addpart(form);
    return part != nullptr && curl_mime_name(part, name) == CURLE_OK &&
           curl_mime_filedata(part, path.c_str()) == CURLE_OK;
}

bool AddTextPart(curl_mime* form, const char* name, const std::string& text) {
    curl_mimepart* part = curl_mime_addpart(form);
    return part != nullptr && curl_mime_name(part, name) == CURLE_OK &&
           curl_mime_data(part, text.data(), text.size()) == CURLE_OK;
}

// A transfer that could not be set up (libcurl out of memory or refusing an
// option): false, with the reason for the caller who asked.
bool Unavailable(std::string* reason) {
    if (reason != nullptr) *reason = "the transfer could not be set up";
    return false;
}

}  // namespace

int UploadProgressLog(void*, curl_off_t, curl_off_t, curl_off_t uploadTotal, curl_off_t uploadNow) {
    KXBase_WriteInfo(KX_LOG_INFO, "ulnow=%lld, ultotal=%lld", static_cast<long long>(uploadNow),
                     static_cast<long long>(uploadTotal));
    return 0;
}

std::string PercentEncode(const std::string& text, bool keepSlash) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (unsigned char c : text) {
        if (IsUnreserved(c) || (keepSlash && c == '/')) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0x0f];
        }
    }
    return encoded;
}

std::optional<std::string> ComposeHttpUrl(const std::string& host, int port,
                                          const std::string& path, std::string* reason) {
    if (!CheckHost(host, reason) || !CheckPort(port, reason)) return std::nullopt;
    if (path.empty() || path.front() != '/') {
        LogRefusal("HTTP path does not start with \"/\"", reason);
        return std::nullopt;
    }
    for (unsigned char c : path) {
        if (IsControlOrSpace(c)) {
            LogRefusal("HTTP path contains a control character or space", reason);
            return std::nullopt;
        }
    }
    return "http://" + Authority(host, port) + path;
}

std::optional<std::string> ComposeFtpUrl(const std::string& user, const std::string& password,
                                         const std::string& host, int port, const std::string& path,
                                         std::string* reason) {
    if (!CheckHost(host, reason) || !CheckPort(port, reason)) return std::nullopt;
    if (path.empty() || path.front() != '/' || path.back() == '/') {
        LogRefusal("FTP path must start with \"/\" and end with a file name", reason);
        return std::nullopt;
    }
    for (unsigned char c : path) {
        if (IsControl(c)) {
            LogRefusal("FTP path contains a control character", reason);
            return std::nullopt;
        }
    }
    std::string url = "ftp://";
    if (!user.empty() && !password.empty()) {
        url += PercentEncode(user) + ":" + PercentEncode(password) + "@";
    }
    return url + Authority(host, port) + PercentEncode(path, true);
}

bool IsUsableUrlText(const std::string& url, std::string* reason) {
    if (url.empty()) {
        LogRefusal("empty URL", reason);
        return false;
    }
    for (unsigned char c : url) {
        if (IsControlOrSpace(c)) {
            LogRefusal("URL contains a control character or space", reason);
            return false;
        }
    }
    return true;
}

bool UploadSource::Open(const std::string& path, std::string* reason) {
    if (file_.IsOpen()) return false;
    if (file_.Open(path.c_str()) != 0) {
        LogRefusal("local file cannot be read or is not a regular file", reason);
        return false;
    }
    return true;
}

size_t UploadSource::ReadForCurl(char* buffer, size_t size, size_t count, void* source) {
    size_t got = 0;
    if (static_cast<UploadSource*>(source)->file_.Read(buffer, size * count, &got) != 0)
        return CURL_READFUNC_ABORT;
    return got;
}

bool PostFileForm(const std::string& url, const std::string& localPath,
                  const std::string& remoteName, bool logProgress, const TransferLimits& limits,
                  std::string* reason, long* httpStatus) {
    if (httpStatus != nullptr) *httpStatus = 0;
    if (!UploadSource().Open(localPath, reason)) return false;
    CurlTransfer transfer;
    if (transfer.easy() == nullptr) return Unavailable(reason);
    curl_mime* form = transfer.NewForm();
    if (form == nullptr || !AddFilePart(form, "filename", localPath) ||
        !AddTextPart(form, "remote_filename", remoteName) ||
        !AddTextPart(form, "submit", "Submit")) {
        KXBase_WriteInfo(KX_LOG_INFO, "upload: the form could not be built");
        return Unavailable(reason);
    }
    // Generation 1 takes a whole URL from the page, which may well be HTTPS.
    if (!SetCommonOptions(transfer.easy(), url, "http,https", logProgress, limits) ||
        curl_easy_setopt(transfer.easy(), CURLOPT_MIMEPOST, form) != CURLE_OK) {
        return Unavailable(reason);
    }
    if (!Perform(transfer.easy(), reason)) return false;
    if (httpStatus != nullptr)
        curl_easy_getinfo(transfer.easy(), CURLINFO_RESPONSE_CODE, httpStatus);
    return true;
}

bool FtpUploadFromFile(const std::string& url, UploadSource& source, bool logProgress,
                       const TransferLimits& limits, std::string* reason) {
    if (!source.IsOpen()) return Unavailable(reason);
    CurlTransfer transfer;
    CURL* easy = transfer.easy();
    if (easy == nullptr) return Unavailable(reason);
    bool ok = curl_easy_setopt(easy, CURLOPT_READFUNCTION, UploadSource::ReadForCurl) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L) == CURLE_OK &&
              SetCommonOptions(easy, url, "ftp", logProgress, limits) &&
              curl_easy_setopt(easy, CURLOPT_FTP_CREATE_MISSING_DIRS,
                               static_cast<long>(CURLFTP_CREATE_DIR)) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_READDATA, &source) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, source.size()) == CURLE_OK;
    if (!ok) return Unavailable(reason);
    return Perform(easy, reason);
}

#include "ver_2/upload_transport.h"

#include "platform/base/kx_log.h"
#include "ver_2/error_info.h"

namespace ver_2 {

namespace {

constexpr bool kLogProgress = true;

int HttpUpload(const std::string& localPath, const std::string& remotePath, const std::string& host,
               int32_t port, const std::string& path, const TransferLimits& limits,
               ErrorInfo& error) {
    std::string reason;
    std::optional<std::string> url = ComposeHttpUrl(host, port, path, &reason);
    if (!url) return Refuse(error, "cannot form the upload URL: " + reason);
    long status = 0;
    if (!PostFileForm(*url, localPath, remotePath, kLogProgress, limits, &reason, &status)) {
        return Refuse(error, "upload failed: " + reason);
    }
    // The server took the request but said it did not store the file.
    if (status < 200 || status > 299) {
        return Refuse(error, "upload failed: the server answered HTTP " + std::to_string(status));
    }
    return 0;
}

}  // namespace

int UploadFile(const std::string& localPath, const std::string& remotePath, const std::string& mode,
               const std::string& httpHost, int32_t httpPort, const std::string& httpPath,
               const std::string& ftpUser, const std::string& ftpPassword,
               const std::string& ftpHost, int32_t ftpPort, ErrorInfo& error,
               const TransferLimits& limits) {
    if (localPath.empty()) return Refuse(error, "no local file to upload");
    if (remotePath.empty()) return Refuse(error, "remote_file_path is empty");
    if (mode != "http" && mode != "ftp") {
        return Refuse(error, "upload_mode \"" + mode + "\" is not one of http, ftp");
    }
    std::string unreadable = FileRefusal(localPath);
    if (!unreadable.empty()) return Refuse(error, unreadable);
    if (mode == "http") {
        return HttpUpload(localPath, remotePath, httpHost, httpPort, httpPath, limits, error);
    }
    std::string reason;
    if (FtpUpload(ftpUser, ftpPassword, ftpHost, ftpPort, localPath, remotePath, limits, &reason) !=
        0) {
        return Refuse(error, reason);
    }
    return 0;
}

int FtpUpload(const std::string& user, const std::string& password, const std::string& host,
              int32_t port, const std::string& localPath, const std::string& remotePath,
              const TransferLimits& limits, std::string* reason) {
    std::string why;
    UploadSource source;
    std::optional<std::string> url;
    if (!source.Open(localPath, &why)) {
        why = AboutFile("file cannot be read", localPath);
    } else if (!(url = ComposeFtpUrl(user, password, host, port, remotePath, &why))) {
        why = "cannot form the upload URL: " + why;
    } else if (!FtpUploadFromFile(*url, source, kLogProgress, limits, &why)) {
        why = "upload failed: " + why;
    } else {
        return 0;
    }
    if (reason != nullptr) *reason = why;
    return -1;
}

}  // namespace ver_2

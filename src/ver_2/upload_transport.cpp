#include "ver_2/upload_transport.h"

#include "platform/base/kx_log.h"
#include "ver_2/texts.h"

namespace ver_2 {

namespace {

constexpr bool kLogProgress = true;

int HttpUpload(const std::string& localPath, const std::string& remotePath, const std::string& host,
               int32_t port, const std::string& path, const TransferLimits& limits) {
    std::optional<std::string> url = ComposeHttpUrl(host, port, path);
    if (!url) return -1;
    return PostFileForm(*url, localPath, remotePath, kLogProgress, limits) ? 0 : -1;
}

}  // namespace

int UploadFile(const std::string& localPath, const std::string& remotePath, const std::string& mode,
               const std::string& httpHost, int32_t httpPort, const std::string& httpPath,
               const std::string& ftpUser, const std::string& ftpPassword,
               const std::string& ftpHost, int32_t ftpPort, std::string& errorText,
               const TransferLimits& limits) {
    errorText = kErrorText;
    if (localPath.empty() || remotePath.empty()) {
        KXBase_WriteInfo(KX_LOG_INFO, "upload refused: empty local or remote path");
        return -1;
    }

    int result = -1;
    if (mode == "http") {
        result = HttpUpload(localPath, remotePath, httpHost, httpPort, httpPath, limits);
    } else if (mode == "ftp") {
        result = FtpUpload(ftpUser, ftpPassword, ftpHost, ftpPort, localPath, remotePath, limits);
    } else {
        KXBase_WriteInfo(KX_LOG_INFO, "upload refused: unknown mode");
    }
    if (result != 0) return -1;
    errorText.clear();
    return 0;
}

int FtpUpload(const std::string& user, const std::string& password, const std::string& host,
              int32_t port, const std::string& localPath, const std::string& remotePath,
              const TransferLimits& limits) {
    UploadSource source;
    if (!source.Open(localPath)) return -1;
    std::optional<std::string> url = ComposeFtpUrl(user, password, host, port, remotePath);
    if (!url) return -1;
    return FtpUploadFromFile(*url, source, kLogProgress, limits) ? 0 : -1;
}

}  // namespace ver_2

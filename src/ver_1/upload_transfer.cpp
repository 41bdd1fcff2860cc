#include "ver_1/upload_transfer.h"

#include <vector>

#include "platform/base/kx_paths.h"

namespace ver_1 {

namespace {

constexpr bool kLogProgress = false;

std::string FileNameOf(const std::string& path) {
    std::vector<char> name(path.size() + 1);
    if (KXBase_GetFileName(path.c_str(), name.data(), name.size()) != 0) return {};
    return name.data();
}

}  // namespace

bool HttpUploadFile(const std::string& path, const std::string& url, const std::string& remoteName,
                    const TransferLimits& limits) {
    if (!IsUsableUrlText(url)) return false;
    return PostFileForm(url, path, remoteName, kLogProgress, limits);
}

bool FtpUploadFile(const std::string& path, const std::string& host, int port,
                   const std::string& directory, const std::string& user,
                   const std::string& password, const TransferLimits& limits) {
    UploadSource source;
    if (!source.Open(path)) return false;
    std::string remotePath = directory + "/" + FileNameOf(path);
    std::optional<std::string> url = ComposeFtpUrl(user, password, host, port, remotePath);
    if (!url) return false;
    return FtpUploadFromFile(*url, source, kLogProgress, limits);
}

}  // namespace ver_1

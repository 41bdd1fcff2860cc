// ManagerV1's uploads: a document built from the open scanner's images on
// request (service thread), and every scanned page as it is filed when the
// scan parameters ask for it (driver thread).
#include "platform/base/kx_paths.h"
#include "platform/base/service_thread.h"
#include "ver_1/manager_v1.h"
#include "ver_1/upload_transfer.h"

namespace ver_1 {

namespace {

constexpr int kHttpMode = 0;
constexpr int kFtpMode = 1;

const char* DocumentSuffix(int format) {
    return format == 0 ? ".ofd" : format == 1 ? ".pdf" : ".zip";
}

}  // namespace

bool ManagerV1::UploadDocument(const UploadRequest& request) {
    SB_ASSERT_SERVICE_THREAD();
    if (scanning_) return false;
    std::string pid = deviceName_;
    char buffer[512] = {};
    if (KXBase_GetTmpFileName(DocumentSuffix(request.format), buffer, sizeof buffer) != 0) {
        return false;
    }
    std::string path = buffer;
    // A failed build leaves no file; the transfer then reports the failure.
    if (request.format == 0) {
        MakeOfdFile(pid, path);
    } else if (request.format == 1) {
        MakePdfFile(pid, path);
    } else {
        MakeZipFile(pid, path);
    }
    bool sent = false;
    if (request.uploadMode == kHttpMode) {
        sent = HttpUploadFile(path, request.httpUrl, request.fileName);
    } else if (request.uploadMode == kFtpMode) {
        sent = FtpUploadFile(path, request.ftpUrl, request.ftpPort, request.ftpPath,
                             request.ftpUser, request.ftpPassword);
    }
    KXBase_DeleteFile(path.c_str());
    return sent;
}

void ManagerV1::UploadPage(const ScanParams& params, const std::string& path) {
    if (params.uploadMode == kHttpMode) {
        HttpUploadFile(path, params.httpUrl, params.fileName);
    } else if (params.uploadMode == kFtpMode) {
        FtpUploadFile(path, params.ftpUrl, params.ftpPort, params.ftpPath, params.ftpUser,
                      params.ftpPassword);
    }
}

}  // namespace ver_1

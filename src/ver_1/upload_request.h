// What "/VevIzer/uploadImage" asks for: where to send a document built from
// the open scanner's images, and which document to build. Plain value type.
#pragma once

#include <string>

namespace ver_1 {

struct UploadRequest {
    int uploadMode = 2;  // 0 HTTP, 1 FTP, anything else: no upload
    std::string httpUrl;
    std::string fileName;  // the "remote_filename" form part
    std::string httpMethod;
    std::string header;
    std::string param;
    std::string ftpUrl;   // host name
    std::string ftpPath;  // folder, starting with "/" or empty
    std::string ftpUser;
    std::string ftpPassword;
    int ftpPort = 21;
    int ftpMode = 2;
    int format = 2;  // 0 OFD, 1 PDF, anything else ZIP
};

}  // namespace ver_1

// Upload commands: "upload_image" sends an image of the current batch,
// "upload_local_file" any local file, "upload_image_base64" a picture given
// as a data URL. One handler serves all three: it finds the local file,
// reads the shared transfer settings with their defaults, sends the file and
// removes the temporary copy it made, whatever the transfer's result.
#include "platform/base/encoding.h"
#include "platform/base/kx_paths.h"
#include "ver_2/commands.h"
#include "ver_2/image_conversions.h"
#include "ver_2/manager_v2.h"
#include "ver_2/upload_transport.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

namespace {

struct UploadSettings {
    std::string remotePath;
    std::string mode = "http";
    std::string httpHost;
    int32_t httpPort = 80;
    std::string httpPath = "/upload.cgi";
    std::string ftpUser;
    std::string ftpPassword;
    std::string ftpHost;
    int32_t ftpPort = 21;
};

// The file to send: a temporary copy for batch images and data URLs, the
// named file itself otherwise; -1 with the reason when the source cannot
// give one.
int LocalFileOf(WSUser& user, const Command& command, bool& temporary, std::string& path,
                ErrorInfo& error) {
    const cJSON* root = command.root;
    temporary = command.func != "upload_local_file";
    if (command.func == "upload_image") {
        return user.manager().SaveImage(GetJsonInt(root, "image_index"), true, path, error);
    }
    if (command.func == "upload_image_base64") {
        return DataUrlToImageFile(user.manager().outputs(), GetJsonString(root, "image_base64"),
                                  true, path, error);
    }
    bool given = false;
    path = Utf8ToAnsi(GetJsonString(root, "file_path", &given));
    return given ? 0 : Refuse(error, "file_path is missing or not a string");
}

void ReadString(const cJSON* root, const char* name, std::string& field) {
    bool given = false;
    std::string value = GetJsonString(root, name, &given);
    if (given) field = std::move(value);
}

void ReadInt(const cJSON* root, const char* name, int32_t& field) {
    bool given = false;
    int32_t value = GetJsonInt(root, name, &given);
    if (given) field = value;
}

UploadSettings ReadSettings(const cJSON* root, const std::string& localPath) {
    UploadSettings settings;
    bool given = false;
    std::string remotePath = GetJsonString(root, "remote_file_path", &given);
    if (given) {
        settings.remotePath = Utf8ToAnsi(remotePath);
    } else {
        char name[256] = {};
        KXBase_GetFileName(localPath.c_str(), name, sizeof name);
        settings.remotePath = std::string("/") + name;
    }
    ReadString(root, "upload_mode", settings.mode);
    ReadString(root, "http_host", settings.httpHost);
    ReadInt(root, "http_port", settings.httpPort);
    ReadString(root, "http_path", settings.httpPath);
    ReadString(root, "ftp_user", settings.ftpUser);
    ReadString(root, "ftp_password", settings.ftpPassword);
    ReadString(root, "ftp_host", settings.ftpHost);
    ReadInt(root, "ftp_port", settings.ftpPort);
    return settings;
}

}  // namespace

void HandleUpload(WSUser& user, const Command& command) {
    bool temporary = false;
    std::string localPath;
    ErrorInfo error;
    int ret = LocalFileOf(user, command, temporary, localPath, error);
    if (ret == 0) {
        UploadSettings settings = ReadSettings(command.root, localPath);
        ret = UploadFile(localPath, settings.remotePath, settings.mode, settings.httpHost,
                         settings.httpPort, settings.httpPath, settings.ftpUser,
                         settings.ftpPassword, settings.ftpHost, settings.ftpPort, error);
    }
    if (temporary && !localPath.empty()) KXBase_DeleteFile(localPath.c_str());
    Reply reply(command);
    reply.SetResult(ret, error);
    reply.Send(user);
}

}  // namespace ver_2

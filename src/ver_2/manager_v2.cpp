// ManagerV2 setup and global settings: construction, "config2.ini" access,
// the settings operations, destruction, and the calls that join two parts.
#include "ver_2/manager_v2.h"

#include "platform/base/kx_paths.h"
#include "platform/base/kx_profile.h"
#include "platform/base/service_thread.h"
#include "platform/image/image_formats.h"
#include "ver_2/batch_tables.h"
#include "ver_2/error_info.h"

namespace ver_2 {

namespace {

constexpr char kSettingsFile[] = "config2.ini";
constexpr char kGlobalSection[] = "global";
constexpr size_t kPathBuffer = 256;

std::string SettingsFile() {
    return ConfigFolder() + kSettingsFile;
}

std::string DefaultSavePath() {
    char documents[kPathBuffer] = {};
    char process[kPathBuffer] = {};
    KXBase_GetDocumentsPath(documents, sizeof documents);
    KXBase_GetProcessName(process, sizeof process);
    return std::string(documents) + process + "/";
}

}  // namespace

ManagerV2::ManagerV2(KXPump pump)
    : pump_(pump),
      globalConfig_(ReadGlobalConfig()),
      store_(ConfigFolder()),
      outputs_(store_, globalConfig_),
      session_(pump, outputs_, store_) {}

ManagerV2::~ManagerV2() = default;

GlobalConfig ManagerV2::ReadGlobalConfig() const {
    std::string ini = SettingsFile();
    GlobalConfig config;
    config.fileSavePath =
        GetConfigString(kGlobalSection, "fileSavePath", DefaultSavePath().c_str());
    config.fileNamePrefix = GetConfigString(kGlobalSection, "fileNamePrefix", "Zembo");
    config.fileNameMode = GetConfigString(kGlobalSection, "fileNameMode", "date_time");
    config.imageFormat = GetConfigString(kGlobalSection, "imageFormat", "jpg");
    KXBase_GetProfileInt(ini.c_str(), kGlobalSection, "imageJpegQuality", 80,
                         &config.imageJpegQuality);
    config.imageTiffCompression = GetConfigString(kGlobalSection, "imageTiffCompression", "lzw");
    KXBase_GetProfileInt(ini.c_str(), kGlobalSection, "imageTiffJpegQuality", 80,
                         &config.imageTiffJpegQuality);
    config.fileSavePath = StandardiseSavePath(config.fileSavePath);
    return config;
}

int ManagerV2::SetGlobalConfig(const GlobalConfig& config, uint32_t mask, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    std::string refusal = GlobalConfigRefusal(config, mask);
    if (!refusal.empty()) return RefuseSetting(error, refusal);
    // The files are written before the output files take the new values, so
    // driver threads naming pages never wait for the disk.
    GlobalConfig updated = globalConfig_;
    // Each field given in the mask is taken over and written.
    auto takeString = [&](uint32_t field, std::string GlobalConfig::*member, const char* key) {
        if (!(mask & field)) return;
        updated.*member = config.*member;
        SetConfigString(kGlobalSection, key, updated.*member);
    };
    auto takeInt = [&](uint32_t field, int32_t GlobalConfig::*member, const char* key) {
        if (!(mask & field)) return;
        updated.*member = config.*member;
        SetConfigInt(kGlobalSection, key, updated.*member);
    };
    if (mask & kFieldFileSavePath) {
        updated.fileSavePath = StandardiseSavePath(config.fileSavePath);
        SetConfigString(kGlobalSection, "fileSavePath", updated.fileSavePath);
    }
    takeString(kFieldFileNamePrefix, &GlobalConfig::fileNamePrefix, "fileNamePrefix");
    takeString(kFieldFileNameMode, &GlobalConfig::fileNameMode, "fileNameMode");
    takeString(kFieldImageFormat, &GlobalConfig::imageFormat, "imageFormat");
    takeInt(kFieldImageJpegQuality, &GlobalConfig::imageJpegQuality, "imageJpegQuality");
    takeString(kFieldImageTiffCompression, &GlobalConfig::imageTiffCompression,
               "imageTiffCompression");
    takeInt(kFieldImageTiffJpegQuality, &GlobalConfig::imageTiffJpegQuality,
            "imageTiffJpegQuality");
    globalConfig_ = updated;
    outputs_.SetConfig(updated);
    return 0;
}

void ManagerV2::GetGlobalConfig(GlobalConfig& config) const {
    SB_ASSERT_SERVICE_THREAD();
    config = globalConfig_;
}

std::string ManagerV2::GetConfigString(const char* section, const char* key,
                                       const char* defaultValue) const {
    char buffer[kMaxSettingLength + 1] = {};
    KXBase_GetProfileString(SettingsFile().c_str(), section, key, defaultValue, buffer,
                            sizeof buffer);
    return buffer;
}

bool ManagerV2::SetConfigString(const char* section, const char* key, const std::string& value) {
    std::string folder = ConfigFolder();
    KXBase_CreatePrivateDir(folder.c_str());
    return KXBase_SetProfileString((folder + kSettingsFile).c_str(), section, key, value.c_str()) ==
           0;
}

bool ManagerV2::SetConfigInt(const char* section, const char* key, int value) {
    std::string folder = ConfigFolder();
    KXBase_CreatePrivateDir(folder.c_str());
    return KXBase_SetProfileInt((folder + kSettingsFile).c_str(), section, key, value) == 0;
}

int ManagerV2::SaveImage(int32_t index, bool toTemporary, std::string& path, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    path.clear();
    StoredPicture picture;
    if (store_.ReadPictureAt(index, picture, error) != 0) return -1;
    // The format becomes the file's extension: only the six known names do.
    if (FindImageFormatByExtension(picture.format) == nullptr) {
        return Refuse(error, "the image at image_index " + std::to_string(index) +
                                 " has an unknown stored format \"" + picture.format + "\"");
    }
    return outputs_.SaveBytes(picture.bytes.data(), picture.bytes.size(), picture.format,
                              toTemporary, path, error);
}

int ManagerV2::BindFolder(const std::string& folder, int32_t width, int32_t base,
                          ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    return store_.BindFolder(folder, width, base,
                             {ConfigFolder(), TemporaryFolder(), globalConfig_.fileSavePath},
                             error);
}

}  // namespace ver_2

#include "ver_1/scan_params.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/encoding.h"
#include "platform/base/kx_paths.h"
#include "platform/base/kx_profile.h"

namespace ver_1 {

namespace {

// One scanner's section of "config1.ini". Reads go to the file at once;
// values put are written together by Commit, in one replacement of the file.
class ParamsFile {
  public:
    explicit ParamsFile(std::string section)
        : path_(ParamsFilePath()), section_(std::move(section)) {}

    // The whole value, however long (URLs with tokens easily pass 255 bytes).
    std::string String(const char* key, const char* fallback) const {
        std::vector<char> buffer(256);
        for (;;) {
            KXBase_GetProfileString(path_.c_str(), section_.c_str(), key, fallback, buffer.data(),
                                    buffer.size());
            if (std::strlen(buffer.data()) + 1 < buffer.size()) return buffer.data();
            buffer.assign(buffer.size() * 2, '\0');
        }
    }
    int Int(const char* key, int fallback) const {
        int value = fallback;
        KXBase_GetProfileInt(path_.c_str(), section_.c_str(), key, fallback, &value);
        return value;
    }
    // A value is one line of the file: line breaks inside it would start
    // new keys or sections, so they are written as blanks.
    void Put(const char* key, std::string text) {
        for (char& c : text) {
            if (c == '\r' || c == '\n') c = ' ';
        }
        pending_.emplace_back(key, std::move(text));
    }
    void Put(const char* key, int value) { pending_.emplace_back(key, std::to_string(value)); }
    void Commit() { KXBase_SetProfileStrings(path_.c_str(), section_.c_str(), pending_); }

  private:
    std::string path_;
    std::string section_;
    std::vector<std::pair<std::string, std::string>> pending_;
};

}  // namespace

ScanParams::ScanParams() {
    ResetParams(*this);
}

void ResetParams(ScanParams& params) {
    params.autofeeder = true;
    params.pixel = 1;
    params.white = false;
    params.discardBlankThre = 5;
    params.single = false;
    params.format = "jpg";
    params.resolution = 200;
    params.orentation = 0;
    params.paperType = "Auto";
    params.splitImage = 0;
    params.noiseDetachEnable = true;
    params.noiseDetach = 15;
    params.uploadMode = 2;
    params.ftpPath = "/images";
    params.ftpPort = 21;
    params.ftpMode = 2;
}

std::string ParamsFilePath() {
    char folder[256] = {};
    KXBase_GetConfigPath(folder, sizeof folder);
    return std::string(folder) + "config1.ini";
}

void LoadParams(ScanParams& params, const std::string& section) {
    ParamsFile file(Utf8ToAnsi(section));
    params.device = file.String("device", "");
    params.autofeeder = file.Int("autofeeder", 1) != 0;
    params.pixel = file.Int("pixel", 1);
    params.white = file.Int("white", 0) != 0;
    params.discardBlankThre = file.Int("discardBlankThre", 5);
    params.single = file.Int("single", 0) != 0;
    params.format = file.String("format", "jpg");
    params.resolution = file.Int("resolution", 200);
    params.orentation = file.Int("orentation", 0);
    params.paperType = file.String("paperType", "Auto");
    params.splitImage = file.Int("splitImage", 0);
    params.noiseDetachEnable = file.Int("noiseDetachEnable", 1) != 0;
    params.noiseDetach = file.Int("noiseDetach", 15);
    params.uploadMode = file.Int("uploadMode", 2);
    params.httpUrl = file.String("httpUrl", "");
    params.fileName = file.String("fileName", "");
    params.httpMethod = file.String("httpMethod", "");
    params.header = file.String("header", "");
    params.param = file.String("param", "");
    params.ftpUrl = file.String("ftpUrl", "");
    params.ftpPath = file.String("ftpPath", "");
    params.ftpUser = file.String("ftpUser", "");
    params.ftpPassword = file.String("ftpPassword", "");
    params.ftpPort = file.Int("ftpPort", 21);
    params.ftpMode = file.Int("ftpMode", 2);
}

void SaveParams(const ScanParams& params, const std::string& section) {
    char folder[256] = {};
    KXBase_GetConfigPath(folder, sizeof folder);
    KXBase_CreatePrivateDir(folder);
    ParamsFile file(section);
    file.Put("device", params.device);
    file.Put("autofeeder", params.autofeeder ? 1 : 0);
    file.Put("pixel", params.pixel);
    file.Put("white", params.white ? 1 : 0);
    file.Put("discardBlankThre", params.discardBlankThre);
    file.Put("single", params.single ? 1 : 0);
    file.Put("format", params.format);
    file.Put("resolution", params.resolution);
    file.Put("orentation", params.orentation);
    file.Put("paperType", params.paperType);
    file.Put("splitImage", params.splitImage);
    file.Put("noiseDetachEnable", params.noiseDetachEnable ? 1 : 0);
    file.Put("noiseDetach", params.noiseDetach);
    file.Put("uploadMode", params.uploadMode);
    file.Put("httpUrl", params.httpUrl);
    file.Put("fileName", params.fileName);
    file.Put("httpMethod", params.httpMethod);
    file.Put("header", params.header);
    file.Put("param", params.param);
    file.Put("ftpUrl", params.ftpUrl);
    file.Put("ftpPath", params.ftpPath);
    file.Put("ftpUser", params.ftpUser);
    file.Put("ftpPassword", params.ftpPassword);
    file.Put("ftpPort", params.ftpPort);
    file.Put("ftpMode", params.ftpMode);
    file.Commit();
}

}  // namespace ver_1

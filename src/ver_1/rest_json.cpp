#include "ver_1/rest_json.h"

#include <climits>

#include "net/http_request_reader.h"
#include "ver_1/json_text.h"

namespace ver_1 {

namespace {

int ClampToInt(long long value) {
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

// The integer member, or, when that gives 0, C's atoi of a string member of
// the same name (pages send some numbers as text).
int JsonIntOrText(const cJSON* object, const char* name) {
    int value = JsonInt(object, name);
    if (value != 0) return value;
    const cJSON* member = cJSON_GetObjectItemCaseSensitive(object, name);
    if (!cJSON_IsString(member) || member->valuestring == nullptr) return 0;
    return ClampToInt(ParseLeadingInteger(member->valuestring));
}

// A non-empty FTP folder always starts with "/".
std::string FtpFolder(const cJSON* object) {
    std::string path = JsonString(object, "ftpPath");
    if (!path.empty() && path.front() != '/') path.insert(0, "/");
    return path;
}

// The upload members shared by the scan parameters and the upload request;
// both records name them alike.
template <typename Record>
void ReadUploadMembers(const cJSON* object, Record& record) {
    record.uploadMode = JsonInt(object, "uploadMode");
    record.httpUrl = JsonString(object, "httpUrl");
    record.fileName = JsonString(object, "fileName");
    record.httpMethod = JsonString(object, "httpMethod");
    record.header = JsonString(object, "header");
    record.param = JsonString(object, "param");
    record.ftpUrl = JsonString(object, "ftpUrl");
    record.ftpPath = FtpFolder(object);
    record.ftpUser = JsonString(object, "ftpUser");
    record.ftpPassword = JsonString(object, "ftpPassword");
    record.ftpPort = JsonIntOrText(object, "ftpPort");
    record.ftpMode = JsonInt(object, "ftpMode");
}

class MemberWriter {
  public:
    void Int(const char* name, int value) { Add(name, std::to_string(value)); }
    void Bool(const char* name, bool value) { Add(name, value ? "true" : "false"); }
    void String(const char* name, const std::string& value) {
        Add(name, value.empty() ? "null" : "\"" + JsonEscape(value) + "\"");
    }
    void Raw(const char* name, const std::string& value) { Add(name, value); }
    std::string Object() const { return "{" + text_ + "}"; }

  private:
    void Add(const char* name, const std::string& value) {
        if (!text_.empty()) text_ += ", ";
        text_ += "\"";
        text_ += name;
        text_ += "\":";
        text_ += value;
    }
    std::string text_;
};

}  // namespace

JsonHolder ParseJsonObject(const std::string& text) {
    JsonHolder json(cJSON_Parse(text.c_str()));
    if (!cJSON_IsObject(json.get())) return nullptr;
    return json;
}

int JsonInt(const cJSON* object, const char* name) {
    const cJSON* member = cJSON_GetObjectItemCaseSensitive(object, name);
    return cJSON_IsNumber(member) ? member->valueint : 0;
}

bool JsonBool(const cJSON* object, const char* name) {
    return cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(object, name));
}

std::string JsonString(const cJSON* object, const char* name) {
    const cJSON* member = cJSON_GetObjectItemCaseSensitive(object, name);
    return cJSON_IsString(member) && member->valuestring != nullptr ? member->valuestring : "";
}

std::string ParamsJson(const ScanParams& params) {
    MemberWriter upload;
    upload.Int("uploadMode", params.uploadMode);
    upload.String("httpUrl", params.httpUrl);
    upload.String("fileName", params.fileName);
    upload.String("httpMethod", params.httpMethod);
    upload.String("header", params.header);
    upload.String("param", params.param);
    upload.String("ftpUrl", params.ftpUrl);
    upload.String("ftpPath", params.ftpPath);
    upload.String("ftpUser", params.ftpUser);
    upload.String("ftpPassword", params.ftpPassword);
    upload.Int("ftpPort", params.ftpPort);
    upload.Int("ftpMode", params.ftpMode);

    MemberWriter object;
    object.String("device", params.device);
    object.Bool("autofeeder", params.autofeeder);
    object.Int("pixel", params.pixel);
    object.Bool("white", params.white);
    object.Int("discardBlankThre", params.discardBlankThre);
    object.Bool("single", params.single);
    object.String("format", params.format);
    object.Int("resolution", params.resolution);
    object.Int("orentation", params.orentation);
    object.String("paperType", params.paperType);
    object.Int("splitImage", params.splitImage);
    object.Bool("noiseDetachEnable", params.noiseDetachEnable);
    object.Int("noiseDetach", params.noiseDetach);
    object.Raw("upload", upload.Object());
    return object.Object();
}

ScanParams ParamsFromJson(const std::string& text) {
    ScanParams params;
    JsonHolder json = ParseJsonObject(text);
    if (json == nullptr) return params;
    const cJSON* root = json.get();
    params.autofeeder = JsonBool(root, "autofeeder");
    params.white = JsonBool(root, "white");
    params.single = JsonBool(root, "single");
    params.noiseDetachEnable = JsonBool(root, "noiseDetachEnable");
    params.pixel = JsonInt(root, "pixel");
    params.discardBlankThre = JsonInt(root, "discardBlankThre");
    params.orentation = JsonInt(root, "orentation");
    params.splitImage = JsonInt(root, "splitImage");
    params.noiseDetach = JsonInt(root, "noiseDetach");
    params.format = JsonString(root, "format");
    params.paperType = JsonString(root, "paperType");
    params.resolution = JsonIntOrText(root, "resolution");

    const cJSON* upload = cJSON_GetObjectItemCaseSensitive(root, "upload");
    if (!cJSON_IsObject(upload)) return params;
    ReadUploadMembers(upload, params);
    return params;
}

UploadRequest UploadRequestFromJson(const std::string& text) {
    UploadRequest request;
    JsonHolder json = ParseJsonObject(text);
    if (json == nullptr) return request;
    const cJSON* root = json.get();
    ReadUploadMembers(root, request);
    request.format = JsonInt(root, "format");
    return request;
}

}  // namespace ver_1

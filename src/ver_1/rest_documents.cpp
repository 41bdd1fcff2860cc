// REST endpoints of the documents built from a pid's images, and upload.
#include "ver_1/manager_v1.h"
#include "ver_1/rest_endpoints.h"
#include "ver_1/rest_json.h"

namespace ver_1::rest {

namespace {

using Base64Builder = bool (ManagerV1::*)(const std::string& pid, std::string* text);
using BytesBuilder = bool (ManagerV1::*)(const std::string& pid, std::vector<uint8_t>* bytes);

// The Base64 text is sent as a JSON string ("" when nothing was built), so
// that the body stays valid JSON.
void SendBase64(RestCall& call, Base64Builder build, const std::string& pid) {
    std::string text;
    (call.manager().*build)(pid, &text);
    call.SendText(text);
}

void SendDocument(RestCall& call, BytesBuilder build, const char* contentType) {
    std::vector<uint8_t> bytes;
    (call.manager().*build)(call.Query("pid"), &bytes);
    call.SendBytes(bytes, contentType);
}

// "pid" of the JSON object in the "formDataString" field.
std::string FormDataPid(const RestCall& call) {
    JsonHolder json = ParseJsonObject(call.Form("formDataString"));
    return json != nullptr ? JsonString(json.get(), "pid") : "";
}

}  // namespace

void MajorOfd(RestCall& call) {
    SendBase64(call, &ManagerV1::GetOfdBase64, FormDataPid(call));
}

void MajorOfdFile(RestCall& call) {
    SendDocument(call, &ManagerV1::GetOfdData, "application/zip");
}

void MajorPdf(RestCall& call) {
    SendBase64(call, &ManagerV1::GetPdfBase64, FormDataPid(call));
}

void MajorPdfFile(RestCall& call) {
    SendDocument(call, &ManagerV1::GetPdfData, "application/pdf");
}

void MajorTiff(RestCall& call) {
    SendBase64(call, &ManagerV1::GetTiffBase64, call.Form("pid"));
}

void MajorTiffFile(RestCall& call) {
    SendDocument(call, &ManagerV1::GetTiffData, "application/x-tif");
}

void DownLoadZip(RestCall& call) {
    SendBase64(call, &ManagerV1::GetZipBase64, call.Form("pid"));
}

void DownLoadZipFile(RestCall& call) {
    SendDocument(call, &ManagerV1::GetZipData, "application/zip");
}

void UploadImage(RestCall& call) {
    if (call.manager().UploadDocument(UploadRequestFromJson(call.Form("formDataString")))) {
        call.SendText("success");
    } else {
        call.SendJson("{\"code\":201, \"msg\":\"uploadImage failed\", \"data\":\"fail\"}");
    }
}

}  // namespace ver_1::rest

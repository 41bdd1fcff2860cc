// The route table of the REST server and HttpUser::HandleRequest.
#include <string_view>

#include "net/web_server.h"
#include "platform/base/kx_log.h"
#include "platform/base/service_thread.h"
#include "ver_1/http_user.h"
#include "ver_1/rest_endpoints.h"

namespace ver_1 {

namespace {

enum class Params { kNone, kForm, kAnyType };

struct Route {
    std::string_view method;
    std::string_view path;
    Params params;
    void (*handler)(RestCall& call);
};

// In matching order.
constexpr Route kRoutes[] = {
    {"POST", "/VevIzer/getVersionInfo", Params::kForm, rest::GetVersionInfo},
    {"GET", "/VevIzer/getDevices", Params::kNone, rest::GetDevices},
    {"GET", "/VevIzer/image/getImageByPid", Params::kNone, rest::GetImageByPid},
    {"GET", "/VevIzer/getParams", Params::kNone, rest::GetParams},
    {"POST", "/VevIzer/setParams", Params::kForm, rest::SetParams},
    {"POST", "/VevIzer/majorOfd", Params::kForm, rest::MajorOfd},
    {"GET", "/VevIzer/majorOfdFile", Params::kNone, rest::MajorOfdFile},
    {"POST", "/VevIzer/majorPdf", Params::kForm, rest::MajorPdf},
    {"GET", "/VevIzer/majorPdfFile", Params::kNone, rest::MajorPdfFile},
    {"POST", "/VevIzer/majorTiff", Params::kForm, rest::MajorTiff},
    {"GET", "/VevIzer/majorTiffFile", Params::kNone, rest::MajorTiffFile},
    {"GET", "/VevIzer/downLoadZip", Params::kForm, rest::DownLoadZip},
    {"GET", "/VevIzer/downLoadZipFile", Params::kNone, rest::DownLoadZipFile},
    {"POST", "/VevIzer/uploadImage", Params::kForm, rest::UploadImage},
    {"POST", "/VevIzer/image/saveImage", Params::kForm, rest::SaveImage},
    {"POST", "/VevIzer/image/deleteImage", Params::kForm, rest::DeleteImage},
    {"POST", "/VevIzer/image/deleteAllImage", Params::kForm, rest::DeleteAllImage},
    {"POST", "/VevIzer/image/mergeHorizontal", Params::kForm, rest::MergeHorizontal},
    {"POST", "/VevIzer/image/bookSort", Params::kForm, rest::BookSort},
    {"POST", "/VevIzer/image/exchangeImage", Params::kForm, rest::ExchangeImage},
    {"GET", "/VevIzer/getLastBatch", Params::kNone, rest::GetLastBatch},
    {"GET", "/VevIzer/getSerialNumber", Params::kNone, rest::GetSerialNumber},
    {"GET", "/VevIzer/getImageByName", Params::kNone, rest::GetImageByName},
    {"POST", "/VevIzer/image/resetPatchIndex", Params::kAnyType, rest::ResetPatchIndex},
    {"POST", "/VevIzer/image/split", Params::kForm, rest::Split},
};

const Route* FindRoute(const HttpRequest& request) {
    for (const Route& route : kRoutes) {
        if (route.method == request.method && route.path == request.path) return &route;
    }
    return nullptr;
}

bool HasFormType(const HttpRequest& request) {
    return request.HeaderIgnoreCase("Content-Type").find("application/x-www-form-urlencoded") !=
           std::string::npos;
}

}  // namespace

void HttpUser::HandleRequest(const HttpRequest& request, const ByteBuffer& body) {
    SB_ASSERT_SERVICE_THREAD();
    KXBase_WriteInfo(KX_LOG_INFO, "HttpUser: method=%s, path=%s, httpVersion=%s",
                     request.method.c_str(), request.path.c_str(), request.version.c_str());
    if (!server()->AdmitsOrigin(request)) {
        SendRefusal("403 Forbidden", kOriginRefused);
        KXSocket_Shutdown(socket());
        return;
    }
    responseOrigin_ = request.origin.value_or("");
    if (request.method == "OPTIONS" && request.origin) {
        SendPreflight(request);
        return;
    }
    const Route* route = FindRoute(request);
    if (route == nullptr) return;
    if (route->params == Params::kForm && !HasFormType(request)) return;
    RestCall call(*this, request, body);
    route->handler(call);
}

}  // namespace ver_1

#include "ver_1/rest_call.h"

#include <climits>

#include "net/http_request_reader.h"
#include "ver_1/http_user.h"
#include "ver_1/json_text.h"

namespace ver_1 {

namespace {

constexpr char kJsonType[] = "application/json";

}  // namespace

std::vector<std::pair<std::string, std::string>> ParseForm(std::string_view body) {
    std::vector<std::pair<std::string, std::string>> fields;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string_view::npos) end = body.size();
        std::string_view piece = body.substr(start, end - start);
        start = end + 1;
        if (piece.empty()) continue;
        size_t equals = piece.find('=');
        std::string_view name = piece.substr(0, equals);
        std::string_view value;
        if (equals != std::string_view::npos) {
            std::string_view rest = piece.substr(equals + 1);
            value = rest.substr(0, rest.find('='));
        }
        fields.emplace_back(UrlDecode(name), UrlDecode(value));
    }
    return fields;
}

int ParamInt(const std::string& text) {
    long long value = ParseLeadingInteger(text);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

std::string Quoted(const std::string& text) {
    return "\"" + JsonEscape(text) + "\"";
}

RestCall::RestCall(HttpUser& user, const HttpRequest& request, const ByteBuffer& body)
    : user_(user), request_(request) {
    if (!body.empty()) {
        form_ =
            ParseForm(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
    }
}

ManagerV1& RestCall::manager() const {
    return user_.manager();
}

std::string RestCall::Form(std::string_view name) const {
    for (const auto& [key, value] : form_) {
        if (key == name) return value;
    }
    return "";
}

std::vector<std::string> RestCall::FormAll(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : form_) {
        if (key == name) values.push_back(value);
    }
    return values;
}

void RestCall::SendText(const std::string& text) {
    SendData(Quoted(text));
}

void RestCall::SendData(const std::string& json) {
    SendJson("{\"code\":200, \"msg\":null, \"data\":" + json + "}");
}

void RestCall::SendEmpty() {
    SendData("\"\"");
}

void RestCall::SendJson(const std::string& body) {
    user_.SendResponse(request_.version.c_str(), body.data(), body.size(), kJsonType);
}

void RestCall::SendBytes(const std::vector<uint8_t>& bytes, const char* contentType) {
    if (bytes.empty()) {
        user_.SendResponse(request_.version.c_str(), nullptr, 0, contentType);
        return;
    }
    user_.SendResponse(request_.version.c_str(), reinterpret_cast<const char*>(bytes.data()),
                       bytes.size(), contentType);
}

}  // namespace ver_1

// One REST request on its way through an endpoint: where its parameters
// come from (query, form body) and the one response it gets.
//
// Bodies are JSON of the form {"code":200, "msg":null, "data":…}; every
// text placed in them is escaped, so every body is valid JSON. Service
// thread only; the call lives for one request.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/byte_buffer.h"
#include "net/http_request.h"

namespace ver_1 {

class HttpUser;
class ManagerV1;

// A form body (application/x-www-form-urlencoded) read like a query string:
// pieces split at "&" (empty ones dropped), each split at "=" into a name
// and a value (the text between the first and a second "="), both
// percent-decoded.
std::vector<std::pair<std::string, std::string>> ParseForm(std::string_view body);

// C's atoi of a parameter text, clamped to int.
int ParamInt(const std::string& text);

class RestCall {
  public:
    RestCall(HttpUser& user, const HttpRequest& request, const ByteBuffer& body);

    ManagerV1& manager() const;
    const HttpRequest& request() const { return request_; }

    // The first query parameter / form field of that exact name, or "".
    std::string Query(std::string_view name) const { return request_.Param(name); }
    std::string Form(std::string_view name) const;
    // Every form field of that name, in order.
    std::vector<std::string> FormAll(std::string_view name) const;

    // {"code":200, "msg":null, "data":"<text>"}
    void SendText(const std::string& text);
    // {"code":200, "msg":null, "data":<json>}; json must be valid JSON.
    void SendData(const std::string& json);
    // {"code":200, "msg":null, "data":""}
    void SendEmpty();
    // Any JSON body.
    void SendJson(const std::string& body);
    // Raw bytes with their content type; no bytes give a response without a
    // body.
    void SendBytes(const std::vector<uint8_t>& bytes, const char* contentType);

  private:
    HttpUser& user_;
    const HttpRequest& request_;
    std::vector<std::pair<std::string, std::string>> form_;
};

// A JSON string literal of the text, quotes included.
std::string Quoted(const std::string& text);

}  // namespace ver_1

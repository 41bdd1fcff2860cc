// A connection of the REST server: reads HTTP/1.x requests one after
// another and hands each complete one, with its body, to the service thread
// (PUMP_MSG_V1_HTTP_REQUEST), which runs the endpoint and answers with
// SendResponse. Created and deleted on the service thread by HttpServer.
//
// Each request head must arrive within the server's head time limit, counted
// from the connection's start or the end of the previous request; a
// connection that stays silent that long is closed. A request from a page
// whose origin is not allowed is answered "403 Forbidden" and ends the
// connection; an allowed page's origin is named in each response's
// "Access-Control-Allow-Origin", and its preflight OPTIONS requests are
// answered.
#pragma once

#include <cstddef>
#include <string>

#include "net/byte_buffer.h"
#include "net/http_request.h"
#include "net/web_user.h"

namespace ver_1 {

class ManagerV1;

class HttpUser : public WebUser {
  public:
    using WebUser::WebUser;
    ~HttpUser() override;

    void ThreadFunc() override;

    // Runs the endpoint that matches the request; requests that match none
    // get no response. Service thread.
    void HandleRequest(const HttpRequest& request, const ByteBuffer& body);

    // Writes "<version> 200 OK", the headers and the body under the send
    // lock; false only when version is null.
    bool SendResponse(const char* version, const char* body, size_t length,
                      const char* contentType);

    ManagerV1& manager() const;

  private:
    // Answers a preflight request of an allowed page.
    void SendPreflight(const HttpRequest& request);
    // The origin named in responses to the request being handled; empty
    // when the request has none. Service thread.
    std::string responseOrigin_;
};

}  // namespace ver_1

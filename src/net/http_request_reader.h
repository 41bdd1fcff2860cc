// Reads HTTP/1.x requests, one after another, from the bytes of a persistent
// connection; a byte-fed state machine that knows nothing of sockets.
//
// A request head ends at the first "\r\n\r\n". When it has a "Content-Length"
// header (any letter case) whose value, read as C's atoi reads, is 1 or more,
// that many body bytes follow; otherwise the request has no body and any
// bytes after the head start the next request. A head longer than
// kMaxHead or a body longer than kMaxBody ends the connection before that
// much is allocated; the body buffer grows with the bytes that arrive.
//
// One reader per connection, used by the connection thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/byte_buffer.h"
#include "net/http_request.h"

class HttpRequestReader {
  public:
    static constexpr size_t kMaxHead = 64 * 1024;
    static constexpr size_t kMaxBody = 256 * 1024 * 1024;

    enum class Event {
        kNone,     // all input consumed, no request complete
        kRequest,  // TakeRequest() and TakeBody() hold a complete request
        kEnd,      // a limit was exceeded: end the connection
    };

    struct Step {
        Event event;
        size_t consumed;
    };

    Step Feed(const uint8_t* data, size_t size);

    // True while the body of a request is being read (its head is complete).
    bool InBody() const { return readingBody_; }

    HttpRequest TakeRequest();
    // The body (empty for a request without one).
    ByteBuffer TakeBody();

  private:
    size_t FeedHead(const uint8_t* data, size_t size, Event* event);
    size_t FeedBody(const uint8_t* data, size_t size, Event* event);

    std::string head_;
    int terminatorMatched_ = 0;
    HttpRequest request_;
    bool readingBody_ = false;
    size_t bodyLength_ = 0;
    ByteBuffer body_;
};

// The value as C's atoi reads it: leading white space, an optional sign,
// decimal digits; 0 when there are none. Saturates instead of overflowing.
long long ParseLeadingInteger(const std::string& text);

#include "net/http_request_reader.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace {

constexpr char kTerminator[] = "\r\n\r\n";
constexpr size_t kMaxUpfrontReserve = 16 * 1024 * 1024;

}  // namespace

long long ParseLeadingInteger(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (value > (LLONG_MAX - 9) / 10) return negative ? LLONG_MIN : LLONG_MAX;
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

HttpRequestReader::Step HttpRequestReader::Feed(const uint8_t* data, size_t size) {
    size_t used = 0;
    while (used < size) {
        Event event = Event::kNone;
        used += readingBody_ ? FeedBody(data + used, size - used, &event)
                             : FeedHead(data + used, size - used, &event);
        if (event != Event::kNone) return {event, used};
    }
    return {Event::kNone, used};
}

HttpRequest HttpRequestReader::TakeRequest() {
    HttpRequest request = std::move(request_);
    request_ = HttpRequest{};
    return request;
}

ByteBuffer HttpRequestReader::TakeBody() {
    return std::move(body_);
}

size_t HttpRequestReader::FeedHead(const uint8_t* data, size_t size, Event* event) {
    for (size_t i = 0; i < size; ++i) {
        char c = static_cast<char>(data[i]);
        head_.push_back(c);
        if (c == kTerminator[terminatorMatched_]) {
            ++terminatorMatched_;
        } else {
            terminatorMatched_ = c == '\r' ? 1 : 0;
        }
        if (head_.size() > kMaxHead) {
            *event = Event::kEnd;
            return i + 1;
        }
        if (terminatorMatched_ < 4) continue;

        terminatorMatched_ = 0;
        request_ = ParseHttpRequest(head_);
        head_.clear();
        long long length = ParseLeadingInteger(request_.HeaderIgnoreCase("Content-Length"));
        if (length > static_cast<long long>(kMaxBody)) {
            *event = Event::kEnd;
        } else if (length >= 1) {
            readingBody_ = true;
            bodyLength_ = static_cast<size_t>(length);
            body_.Reserve(std::min(bodyLength_, kMaxUpfrontReserve));
        } else {
            *event = Event::kRequest;
        }
        return i + 1;
    }
    return size;
}

size_t HttpRequestReader::FeedBody(const uint8_t* data, size_t size, Event* event) {
    size_t count = std::min(size, bodyLength_ - body_.size());
    std::copy_n(data, count, body_.Append(count, bodyLength_));
    body_.Commit(count);
    if (body_.size() == bodyLength_) {
        readingBody_ = false;
        *event = Event::kRequest;
    }
    return count;
}

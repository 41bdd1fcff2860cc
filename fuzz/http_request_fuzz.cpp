// Fuzz target: the HTTP request reader of the REST connections, with the
// request parser it calls on every head, over a stream of pipelined
// requests; and the parser alone on any text, as a WebSocket handshake
// reaches it.
//
// Besides running clean under the sanitizers, the reader must report the
// same requests (head and body) however the bytes are split between Feed
// calls.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/split_feed.h"
#include "net/http_request.h"
#include "net/http_request_reader.h"

namespace {

using Event = HttpRequestReader::Event;

void AppendPairs(const std::vector<std::pair<std::string, std::string>>& pairs, std::string* out) {
    for (const auto& [name, value] : pairs) {
        *out += name + '\0' + value + '\0';
    }
    *out += '\n';
}

// Every field of a request, in one comparable text.
std::string Describe(const HttpRequest& request) {
    std::string out = request.method + '\n' + request.path + '\n' + request.fragment + '\n' +
                      request.version + '\n';
    AppendPairs(request.params, &out);
    AppendPairs(request.headers, &out);
    out += request.origin ? "origin " + *request.origin : "no origin";
    return out;
}

// The lookups the REST handlers make on a request.
void Query(const HttpRequest& request) {
    for (const auto& param : request.params) {
        request.Param(param.first);
    }
    for (const auto& [name, value] : request.headers) {
        request.Header(name);
        request.HeaderIgnoreCase(name);
        HasToken(value, "keep-alive");
    }
}

struct Observed {
    Event event;
    std::string request;
    std::string body;

    bool operator==(const Observed&) const = default;
};

std::vector<Observed> Read(const uint8_t* data, size_t size, size_t chunk) {
    std::vector<Observed> log;
    HttpRequestReader reader;
    FeedInPieces(reader, data, size, chunk, [&](Event event) {
        if (event == Event::kEnd) {
            log.push_back({event, "", ""});
            return false;
        }
        FUZZ_CHECK(!reader.InBody());
        HttpRequest request = reader.TakeRequest();
        ByteBuffer body = reader.TakeBody();
        Query(request);
        log.push_back({event, Describe(request),
                       std::string(reinterpret_cast<const char*>(body.data()), body.size())});
        return true;
    });
    return log;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    Query(ParseHttpRequest(text));
    UrlDecode(text);

    CheckSplitsAgree(size, [&](size_t chunk) { return Read(data, size, chunk); });
    return 0;
}

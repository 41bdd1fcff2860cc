// The parsed head of an HTTP request, shared by the REST reader and the
// WebSocket handshakes of both generations.
//
// Plain value type; any thread. ParseHttpRequest never fails: missing parts
// stay empty, and a malformed percent escape empties the decoded text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct HttpRequest {
    std::string method;
    std::string path;  // percent-decoded
    std::vector<std::pair<std::string, std::string>> params;
    std::string fragment;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;  // both parts trimmed
    // The whole trimmed value of the first "Origin" header (any letter case),
    // or nothing when there is none. Kept apart because header values stop at
    // their second colon, and an origin's port follows one.
    std::optional<std::string> origin;

    // Value of the first query parameter / header with exactly this name, or "".
    std::string Param(std::string_view name) const;
    std::string Header(std::string_view name) const;
    // Value of the first header with this name in any letter case, or "".
    std::string HeaderIgnoreCase(std::string_view name) const;
};

bool EqualIgnoreCase(std::string_view a, std::string_view b);
// Whether a comma-separated header value ("keep-alive, Upgrade") holds the
// token, in any letter case.
bool HasToken(std::string_view list, std::string_view token);

// Parses the text up to its first NUL byte.
HttpRequest ParseHttpRequest(std::string_view text);

// Percent-decoding: "%" and two hexadecimal digits become their byte, "+"
// stays "+". A "%" followed by fewer than two characters, by a character below
// "0", or giving the byte 0 makes the whole result empty. A "%" followed by
// other non-hexadecimal characters is kept as it stands.
std::string UrlDecode(std::string_view text);

// Which web origins may use the service: the origins of pages served from
// this machine's loopback names (http or https on localhost, 127.0.0.1 or
// [::1], any port) always, plus the entries an administrator lists.
//
// An entry is an origin ("https://app.example.com", "http://intranet:8080"),
// a wildcard for exactly one leading label ("https://*.example.com"), "null"
// (pages opened as files and sandboxed frames of any site) or "*" (any
// origin, "null" included). Schemes and host names compare in any letter
// case; a scheme's default port may be written or left out.
//
// Plain value type: filled once at start, then only read, from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An origin split into its parts: scheme and host in lower case, the port
// given or the scheme's default (0 when the scheme has none).
struct WebOrigin {
    std::string scheme;
    std::string host;  // an IPv6 literal keeps its brackets
    int port = 0;
};

// "scheme://host[:port]" and nothing else (a trailing "/" is tolerated), or
// nothing when the text is not an origin.
std::optional<WebOrigin> ParseWebOrigin(std::string_view text);

class OriginPolicy {
  public:
    // Adds the space-separated entries of list; returns those that are not
    // entries, which are skipped.
    std::vector<std::string> AddList(std::string_view list);

    // Whether a request carrying this Origin header value is served.
    bool Allows(std::string_view origin) const;
    bool allowsAny() const { return any_; }

  private:
    struct Entry {
        WebOrigin origin;
        bool wildcard = false;  // host holds the part after "*."
    };

    static bool IsLoopback(const WebOrigin& origin);
    static bool Matches(const Entry& entry, const WebOrigin& origin);

    bool any_ = false;
    bool null_ = false;
    std::vector<Entry> entries_;
};

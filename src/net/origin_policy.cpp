#include "net/origin_policy.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool IsSchemeText(std::string_view scheme) {
    if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme[0]))) return false;
    return std::all_of(scheme.begin(), scheme.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '+' || c == '-' || c == '.';
    });
}

// A registered name (letters, digits, "-", "_", "." between labels) or an
// IPv6 literal in brackets.
bool IsHostText(std::string_view host) {
    if (host.empty()) return false;
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') return false;
        return std::all_of(host.begin() + 1, host.end() - 1, [](unsigned char c) {
            return std::isxdigit(c) || c == ':' || c == '.';
        });
    }
    if (host.front() == '.' || host.back() == '.' || host.find("..") != std::string_view::npos) {
        return false;
    }
    return std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '_' || c == '.';
    });
}

int DefaultPort(std::string_view scheme) {
    if (scheme == "http" || scheme == "ws") return 80;
    if (scheme == "https" || scheme == "wss") return 443;
    return 0;
}

// The port after the host: 1 to 65535, digits only; -1 when malformed.
int ParsePort(std::string_view text) {
    if (text.empty() || text.size() > 5) return -1;
    int port = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535 ? port : -1;
}

}  // namespace

std::optional<WebOrigin> ParseWebOrigin(std::string_view text) {
    if (!text.empty() && text.back() == '/') text.remove_suffix(1);
    size_t separator = text.find("://");
    if (separator == std::string_view::npos) return std::nullopt;
    WebOrigin origin;
    origin.scheme = Lower(text.substr(0, separator));
    std::string_view authority = text.substr(separator + 3);
    // The port's colon is the last one outside an IPv6 literal's brackets.
    size_t bracket = authority.rfind(']');
    size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        origin.port = ParsePort(authority.substr(colon + 1));
        if (origin.port < 0) return std::nullopt;
        authority = authority.substr(0, colon);
    } else {
        origin.port = DefaultPort(origin.scheme);
    }
    origin.host = Lower(authority);
    if (!IsSchemeText(origin.scheme) || !IsHostText(origin.host)) return std::nullopt;
    return origin;
}

std::vector<std::string> OriginPolicy::AddList(std::string_view list) {
    std::vector<std::string> skipped;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find_first_of(" \t", start);
        if (end == std::string_view::npos) end = list.size();
        std::string_view item = list.substr(start, end - start);
        start = end + 1;
        if (item.empty()) continue;
        if (item == "*") {
            any_ = true;
            continue;
        }
        if (Lower(item) == "null") {
            null_ = true;
            continue;
        }
        Entry entry;
        std::string text(item);
        size_t star = text.find("://*.");
        if (star != std::string::npos) {
            entry.wildcard = true;
            text.erase(star + 3, 2);
        }
        std::optional<WebOrigin> origin = ParseWebOrigin(text);
        if (!origin || text.find('*') != std::string::npos) {
            skipped.emplace_back(item);
            continue;
        }
        entry.origin = *origin;
        entries_.push_back(entry);
    }
    return skipped;
}

bool OriginPolicy::Allows(std::string_view text) const {
    if (any_) return true;
    if (text == "null") return null_;
    std::optional<WebOrigin> origin = ParseWebOrigin(text);
    if (!origin) return false;
    if (IsLoopback(*origin)) return true;
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& entry) { return Matches(entry, *origin); });
}

bool OriginPolicy::IsLoopback(const WebOrigin& origin) {
    if (origin.scheme != "http" && origin.scheme != "https") return false;
    return origin.host == "localhost" || origin.host == "127.0.0.1" || origin.host == "[::1]";
}

bool OriginPolicy::Matches(const Entry& entry, const WebOrigin& origin) {
    if (entry.origin.scheme != origin.scheme || entry.origin.port != origin.port) return false;
    if (!entry.wildcard) return entry.origin.host == origin.host;
    // Exactly one label in front of the entry's domain.
    const std::string& domain = entry.origin.host;
    if (origin.host.size() < domain.size() + 2) return false;
    size_t dot = origin.host.size() - domain.size() - 1;
    if (origin.host.compare(dot + 1, std::string::npos, domain) != 0 || origin.host[dot] != '.') {
        return false;
    }
    return origin.host.find('.') == dot;
}

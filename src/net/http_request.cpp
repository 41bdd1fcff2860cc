#include "net/http_request.h"

#include <algorithm>
#include <cctype>

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

// The text between the first and the second separator (to the end when there
// is no second one); empty when there is no first one.
std::pair<std::string_view, std::string_view> NameAndValue(std::string_view text, char separator) {
    size_t first = text.find(separator);
    if (first == std::string_view::npos) return {text, {}};
    std::string_view rest = text.substr(first + 1);
    return {text.substr(0, first), rest.substr(0, rest.find(separator))};
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// End of the part that starts at begin: the first of the given marks found
// after begin, or the end of the text.
size_t PartEnd(std::string_view url, size_t begin, std::initializer_list<size_t> marks) {
    size_t end = url.size();
    for (size_t mark : marks) {
        if (mark != std::string_view::npos && mark > begin) end = std::min(end, mark);
    }
    return end;
}

void ParseUrl(std::string_view url, HttpRequest* request) {
    size_t slash = url.find('/');
    size_t question = url.find('?');
    size_t hash = url.find('#');
    if (slash != std::string_view::npos) {
        request->path = UrlDecode(url.substr(slash, PartEnd(url, slash, {question, hash}) - slash));
    }
    if (question != std::string_view::npos) {
        size_t end = PartEnd(url, question, {hash});
        for (std::string_view piece : Split(url.substr(question + 1, end - question - 1), "&")) {
            auto [name, value] = NameAndValue(piece, '=');
            request->params.emplace_back(UrlDecode(name), UrlDecode(value));
        }
    }
    if (hash != std::string_view::npos) request->fragment = UrlDecode(url.substr(hash + 1));
}

template <typename Match>
std::string FirstValue(const std::vector<std::pair<std::string, std::string>>& pairs, Match match) {
    for (const auto& [name, value] : pairs) {
        if (match(name)) return value;
    }
    return {};
}

}  // namespace

bool EqualIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool HasToken(std::string_view list, std::string_view token) {
    for (std::string_view piece : Split(list, ",")) {
        if (EqualIgnoreCase(Trim(piece), token)) return true;
    }
    return false;
}

std::string HttpRequest::Param(std::string_view name) const {
    return FirstValue(params, [name](const std::string& n) { return n == name; });
}

std::string HttpRequest::Header(std::string_view name) const {
    return FirstValue(headers, [name](const std::string& n) { return n == name; });
}

std::string HttpRequest::HeaderIgnoreCase(std::string_view name) const {
    return FirstValue(headers, [name](const std::string& n) { return EqualIgnoreCase(n, name); });
}

HttpRequest ParseHttpRequest(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    HttpRequest request;
    std::vector<std::string_view> lines = Split(text, "\r\n");
    if (lines.empty()) return request;

    std::vector<std::string_view> tokens = Split(lines[0], " ");
    if (!tokens.empty()) request.method = std::string(tokens[0]);
    if (tokens.size() > 1) ParseUrl(tokens[1], &request);
    if (tokens.size() > 2) request.version = std::string(tokens[2]);

    for (size_t i = 1; i < lines.size(); ++i) {
        auto [name, value] = NameAndValue(lines[i], ':');
        request.headers.emplace_back(std::string(Trim(name)), std::string(Trim(value)));
        size_t colon = lines[i].find(':');
        if (!request.origin && colon != std::string_view::npos &&
            EqualIgnoreCase(Trim(name), "Origin")) {
            request.origin = std::string(Trim(lines[i].substr(colon + 1)));
        }
    }
    return request;
}

std::string UrlDecode(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) return {};
        char high = text[i + 1];
        char low = text[i + 2];
        if (high < '0' || low < '0') return {};
        int h = HexValue(high);
        int l = HexValue(low);
        if (h < 0 || l < 0) {
            result.push_back('%');
            continue;
        }
        if (h == 0 && l == 0) return {};
        result.push_back(static_cast<char>(h * 16 + l));
        i += 2;
    }
    return result;
}

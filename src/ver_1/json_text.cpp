#include "ver_1/json_text.h"

#include <cstdio>

namespace ver_1 {

namespace {

// Length of the well-formed UTF-8 sequence at text[i], or 0 when the bytes
// there are not one (overlong forms, surrogates and values beyond U+10FFFF
// included).
size_t Utf8SequenceLength(std::string_view text, size_t i) {
    auto byte = [&text](size_t at) { return static_cast<unsigned char>(text[at]); };
    auto continuation = [&](size_t at) { return at < text.size() && (byte(at) & 0xC0) == 0x80; };
    unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return continuation(i + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!continuation(i + 1) || !continuation(i + 2)) return 0;
        if (lead == 0xE0 && byte(i + 1) < 0xA0) return 0;   // overlong
        if (lead == 0xED && byte(i + 1) >= 0xA0) return 0;  // surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!continuation(i + 1) || !continuation(i + 2) || !continuation(i + 3)) return 0;
        if (lead == 0xF0 && byte(i + 1) < 0x90) return 0;   // overlong
        if (lead == 0xF4 && byte(i + 1) >= 0x90) return 0;  // beyond U+10FFFF
        return 4;
    }
    return 0;
}

void AppendEscaped(char c, std::string& out) {
    switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out.push_back(c);
            }
    }
}

}  // namespace

std::string JsonEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    size_t i = 0;
    while (i < text.size()) {
        size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            // JSON text is UTF-8: a byte that does not belong to a character
            // becomes the replacement character.
            out += "\\ufffd";
            ++i;
        } else if (length == 1) {
            AppendEscaped(text[i++], out);
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

}  // namespace ver_1

#include "platform/image/proc/utf8.h"

namespace kximgproc {
namespace {

// Decodes one character at text[*pos]; false when malformed.
bool DecodeOne(std::string_view text, size_t* pos, char32_t* out) {
    auto lead = static_cast<unsigned char>(text[*pos]);
    int extra = lead < 0x80           ? 0
                : (lead >> 5) == 0x6  ? 1
                : (lead >> 4) == 0xE  ? 2
                : (lead >> 3) == 0x1E ? 3
                                      : -1;
    if (extra < 0 || *pos + extra >= text.size()) {
        return false;
    }
    static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    char32_t value = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        auto next = static_cast<unsigned char>(text[*pos + i]);
        if ((next & 0xC0) != 0x80) {
            return false;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < kMinimum[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return false;
    }
    *pos += extra + 1;
    *out = value;
    return true;
}

}  // namespace

bool DecodeUtf8Lines(std::string_view text, std::vector<std::u32string>* lines) {
    lines->assign(1, std::u32string());
    size_t pos = 0;
    while (pos < text.size()) {
        char32_t c = 0;
        if (!DecodeOne(text, &pos, &c)) {
            return false;
        }
        if (c == U'\n') {
            lines->emplace_back();
        } else if (c != U'\r') {
            lines->back().push_back(c);
        }
    }
    return true;
}

}  // namespace kximgproc

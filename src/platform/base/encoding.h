// Conversions between UTF-8 (the wire, the database, scanner texts) and the
// system's narrow encoding (paths and error texts inside the back ends). The
// narrow encoding on Linux is UTF-8, so both are identities; they stay as
// named steps so that each boundary crossing is visible in the code.
#pragma once

#include <string>
#include <string_view>

inline std::string Utf8ToAnsi(std::string_view text) {
    return std::string(text);
}
inline std::string AnsiToUtf8(std::string_view text) {
    return std::string(text);
}

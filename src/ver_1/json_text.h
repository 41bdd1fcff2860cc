// Texts placed inside hand-formatted JSON (REST bodies, Socket.IO events):
// escaped so that the result is always valid JSON, whatever the text holds.
// Quotes, backslashes and control characters are escaped; bytes that are not
// part of well-formed UTF-8 become U+FFFD. Pure function; any thread.
#pragma once

#include <string>
#include <string_view>

namespace ver_1 {

// The text as a JSON string literal body, without the surrounding quotes.
std::string JsonEscape(std::string_view text);

}  // namespace ver_1

// Texts placed inside hand-formatted JSON (REST bodies, Socket.IO events):
// escaped so that the result is always valid JSON, whatever the text holds.
#pragma once

#include <string>
#include <string_view>

namespace ver_1 {

// The text as a JSON string literal body, without the surrounding quotes.
std::string JsonEscape(std::string_view text);

}  // namespace ver_1

// UTF-8 decoding for text handed to the processing library. Stateless.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kximgproc {

// Decodes text into lines split at "\n" ("\r" is dropped). False for
// malformed UTF-8 (bad sequences, overlong forms, surrogates).
bool DecodeUtf8Lines(std::string_view text, std::vector<std::u32string>* lines);

}  // namespace kximgproc

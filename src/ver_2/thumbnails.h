// Thumbnails of batch images: the picture reduced so that its longer side is
// at most 240 pixels (the other side in proportion, at least 1 pixel; never
// enlarged), encoded in the picture's own format.
//
// Thread rule: any thread; no state. Returned buffers belong to the caller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ver_2 {

inline constexpr uint32_t kThumbnailSide = 240;

// The thumbnail of an image or document file; empty when the file is not a
// recognised picture or cannot be decoded or encoded.
std::vector<uint8_t> MakeThumbnail(const std::string& path);
// The same for a picture held in memory (passed through a temporary file
// that is always deleted); extension receives the format of the content
// ("jpg" ... "ofd").
std::vector<uint8_t> BytesToThumbnail(const std::vector<uint8_t>& bytes, std::string& extension);

}  // namespace ver_2

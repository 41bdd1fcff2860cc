// Records of the batch store: one image of the current batch as the order
// table lists it, and one element of the thumbnail list. Plain values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ver_2 {

// An image at its position in the current batch's order.
struct ImageEntry {
    int32_t id = 0;      // row id in the batch's image table
    std::string format;  // "jpg", "bmp", "png", "tif", "pdf" or "ofd"
};

// A thumbnail with the tag of its image.
struct ThumbnailItem {
    std::string tag;
    std::string dataUrl;  // the thumbnail as a data URL of the image's format
};

// A picture on its way into the batch: its bytes, its format and its
// thumbnail in that format.
struct NewPicture {
    std::vector<uint8_t> bytes;
    std::string format;
    std::vector<uint8_t> thumb;
};

}  // namespace ver_2

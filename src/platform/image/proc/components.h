// 8-connected components of a binary mask, with their bounding boxes and
// areas. Stateless.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace kximgproc {

struct Component {
    int32_t left = 0;  // bounding box; right and bottom exclusive
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int64_t area = 0;  // set pixels

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

// mask: width × height bytes, non-zero = set. When labels is given it
// receives, per pixel, the index of its component in the result plus one
// (0 = not set).
std::vector<Component> FindComponents(const std::vector<uint8_t>& mask, int32_t width,
                                      int32_t height, std::vector<int32_t>* labels = nullptr);

// Calls visit with each component in the order of their first pixel (rows
// top to bottom) until it returns false.
void VisitComponents(const std::vector<uint8_t>& mask, int32_t width, int32_t height,
                     const std::function<bool(const Component&)>& visit);

}  // namespace kximgproc

// Quarter and half turns of an image's region of interest into another
// image's region of interest of the turned size and the same pixel type.
#include <algorithm>
#include <cstring>

#include "platform/image/image_object.h"
#include "platform/image/kx_image.h"
#include "platform/image/pixel_rows.h"

using namespace kximage;

namespace {

enum class Turn { kLeft, kRight, kHalf };

struct Area {
    uint32_t left;
    uint32_t top;
    uint32_t width;
    uint32_t height;
};

Area AreaOf(const KXImageObject* image) {
    KXRect roi = EffectiveRoi(image);
    return Area{static_cast<uint32_t>(roi.left), static_cast<uint32_t>(roi.top),
                static_cast<uint32_t>(roi.right - roi.left),
                static_cast<uint32_t>(roi.bottom - roi.top)};
}

// Source column and row of destination pixel (x, y), both relative to their
// areas; the source area is width x height.
inline void SourceOf(Turn turn, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                     uint32_t* sx, uint32_t* sy) {
    switch (turn) {
        case Turn::kLeft:  // counter-clockwise: the source's right column becomes the top row
            *sx = width - 1 - y;
            *sy = x;
            break;
        case Turn::kRight:  // clockwise: the source's left column becomes the top row
            *sx = y;
            *sy = height - 1 - x;
            break;
        case Turn::kHalf:
            *sx = width - 1 - x;
            *sy = height - 1 - y;
            break;
    }
}

// Walks the destination in square tiles so both images stay in cache.
template <typename CopyPixel>
void ForEachPixel(Turn turn, const Area& from, const Area& to, CopyPixel copy) {
    constexpr uint32_t kTile = 64;
    for (uint32_t ty = 0; ty < to.height; ty += kTile) {
        uint32_t yEnd = std::min(to.height, ty + kTile);
        for (uint32_t tx = 0; tx < to.width; tx += kTile) {
            uint32_t xEnd = std::min(to.width, tx + kTile);
            for (uint32_t y = ty; y < yEnd; ++y) {
                for (uint32_t x = tx; x < xEnd; ++x) {
                    uint32_t sx, sy;
                    SourceOf(turn, x, y, from.width, from.height, &sx, &sy);
                    copy(from.left + sx, from.top + sy, to.left + x, to.top + y);
                }
            }
        }
    }
}

void RotatePixels(Turn turn, const KXImageObject* source, const Area& from,
                  KXImageObject* destination, const Area& to) {
    switch (source->type) {
        case KX_PIXEL_BW:
            ForEachPixel(turn, from, to, [&](uint32_t sx, uint32_t sy, uint32_t dx, uint32_t dy) {
                SetBit(Row(destination, dy), dx, BitAt(Row(source, sy), sx));
            });
            break;
        case KX_PIXEL_GRAY:
            ForEachPixel(turn, from, to, [&](uint32_t sx, uint32_t sy, uint32_t dx, uint32_t dy) {
                Row(destination, dy)[dx] = Row(source, sy)[sx];
            });
            break;
        default:
            ForEachPixel(turn, from, to, [&](uint32_t sx, uint32_t sy, uint32_t dx, uint32_t dy) {
                std::memcpy(Row(destination, dy) + size_t{dx} * 3, Row(source, sy) + size_t{sx} * 3,
                            3);
            });
            break;
    }
}

int Rotate(Turn turn, KXImage source, KXImage destination) {
    if (source == nullptr || destination == nullptr || source == destination ||
        source->type != destination->type)
        return KX_ERR_ARGUMENT;
    Area from = AreaOf(source);
    Area to = AreaOf(destination);
    bool quarter = turn != Turn::kHalf;
    uint32_t wantWidth = quarter ? from.height : from.width;
    uint32_t wantHeight = quarter ? from.width : from.height;
    if (to.width != wantWidth || to.height != wantHeight) return KX_ERR_ARGUMENT;
    int status = EnsurePixels(source);
    if (status == KX_OK) status = EnsurePixels(destination);
    if (status != KX_OK) return status;
    destination->jpeg.reset();
    RotatePixels(turn, source, from, destination, to);
    if (destination->dpi == 0) destination->dpi = source->dpi;
    return KX_OK;
}

}  // namespace

int KXBase_ImageRotateLeft(KXImage source, KXImage destination) {
    return Rotate(Turn::kLeft, source, destination);
}

int KXBase_ImageRotateRight(KXImage source, KXImage destination) {
    return Rotate(Turn::kRight, source, destination);
}

int KXBase_ImageRotate180(KXImage source, KXImage destination) {
    return Rotate(Turn::kHalf, source, destination);
}

// Access to the pixels of base-library images for the processing library,
// and conversions between those images and Leptonica's PIX.
//
// A view borrows the image: it is valid while the image is neither changed
// in size nor destroyed. PIX and image holders own what they hold. Functions
// here are stateless and may run on any thread for distinct images.
#pragma once

#include <leptonica/allheaders.h>

#include <cstdint>
#include <memory>

#include "platform/image/image_holders.h"
#include "platform/image/kx_image.h"

namespace kximgproc {

struct PixDeleter {
    void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

// The pixel rows of an image together with its region of interest.
struct ImageView {
    uint8_t* data = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t type = 0;
    uint32_t stride = 0;
    KXRect roi{};

    uint8_t* Row(int32_t y) const { return data + static_cast<size_t>(y) * stride; }
    int32_t RoiWidth() const { return roi.right - roi.left; }
    int32_t RoiHeight() const { return roi.bottom - roi.top; }
};

// Fills view for a valid image of type 1, 2 or 4; KX_ERR_ARGUMENT otherwise.
int GetImageView(KXImage image, ImageView* view);
// As GetImageView for callers that only read the rows: the image stays
// pristine (an unmodified JPEG image keeps its file's bytes). The view's
// rows must not be written.
int GetReadOnlyImageView(KXImage image, ImageView* view);

// Grey value (0 black .. 255 white) of pixel x of a row of the view's type.
inline uint8_t GrayAt(const uint8_t* row, uint32_t type, int32_t x) {
    if (type == KX_PIXEL_BW) {
        return (row[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
    }
    if (type == KX_PIXEL_GRAY) {
        return row[x];
    }
    const uint8_t* p = row + 3 * x;
    return static_cast<uint8_t>((p[0] * 77 + p[1] * 150 + p[2] * 29 + 128) >> 8);
}

inline uint8_t Luma(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint8_t>((red * 77 + green * 150 + blue * 29 + 128) >> 8);
}

// Copies the view's region of interest into a PIX of the matching depth:
// 1 bpp (1 = black), 8 bpp grey or 32 bpp RGB.
PixPtr RoiToPix(const ImageView& view);
// The region of interest as an 8 bpp grey PIX.
PixPtr RoiToGrayPix(const ImageView& view);

// A new image of the given type holding the PIX (1, 8 or 32 bpp); the
// resolution is copied. Null when the image cannot be made.
ImageHolder PixToImage(PIX* pix, uint32_t type, uint32_t dpi);

// The image's resolution, or 0 when unknown.
uint32_t ImageResolution(KXImage image);

}  // namespace kximgproc

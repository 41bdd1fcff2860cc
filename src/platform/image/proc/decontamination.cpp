// KXImgProc_ImageDecontamination: paints over the inside or the outside of a
// rectangle, for removing stains, holes and scanner edges from a page.
#include <algorithm>
#include <cstring>

#include "platform/image/proc/image_access.h"
#include "platform/image/proc/kx_imgproc.h"

namespace kximgproc {
namespace {

struct Span {
    int32_t begin;
    int32_t end;
};

class Painter {
  public:
    Painter(const ImageView& view, uint32_t color) : view_(view) {
        red_ = color & 0xFF;
        green_ = (color >> 8) & 0xFF;
        blue_ = (color >> 16) & 0xFF;
        gray_ = Luma(red_, green_, blue_);
    }

    void Fill(int32_t y, Span span) const {
        if (span.begin >= span.end) {
            return;
        }
        uint8_t* row = view_.Row(y);
        if (view_.type == KX_PIXEL_GRAY) {
            std::memset(row + span.begin, gray_, span.end - span.begin);
            return;
        }
        for (int32_t x = span.begin; x < span.end; ++x) {
            if (view_.type == KX_PIXEL_RGB) {
                row[3 * x] = red_;
                row[3 * x + 1] = green_;
                row[3 * x + 2] = blue_;
            } else {
                auto mask = static_cast<uint8_t>(0x80 >> (x & 7));
                row[x >> 3] = gray_ < 128 ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask);
            }
        }
    }

  private:
    ImageView view_;
    uint8_t red_, green_, blue_, gray_;
};

int CopyPixels(const ImageView& from, const ImageView& to) {
    if (from.width != to.width || from.height != to.height || from.type != to.type) {
        return KX_ERR_ARGUMENT;
    }
    size_t rowBytes = std::min(from.stride, to.stride);
    for (uint32_t y = 0; y < from.height; ++y) {
        std::memmove(to.Row(y), from.Row(y), rowBytes);
    }
    return KX_OK;
}

}  // namespace
}  // namespace kximgproc

int KXImgProc_ImageDecontamination(KXImage source, KXImage destination, int32_t area, int32_t x,
                                   int32_t y, int32_t width, int32_t height, uint32_t color) {
    using namespace kximgproc;
    ImageView src, view;
    if (GetImageView(source, &src) != 0 || GetImageView(destination, &view) != 0) {
        return KX_ERR_ARGUMENT;
    }
    if ((area != KX_DECONTAMINATE_INSIDE && area != KX_DECONTAMINATE_OUTSIDE) || width <= 0 ||
        height <= 0) {
        return KX_ERR_ARGUMENT;
    }
    if (source != destination && CopyPixels(src, view) != 0) {
        return KX_ERR_ARGUMENT;
    }
    auto imageWidth = static_cast<int64_t>(view.width);
    auto imageHeight = static_cast<int64_t>(view.height);
    auto left = static_cast<int32_t>(std::clamp<int64_t>(x, 0, imageWidth));
    auto top = static_cast<int32_t>(std::clamp<int64_t>(y, 0, imageHeight));
    auto right = static_cast<int32_t>(std::clamp<int64_t>(int64_t{x} + width, 0, imageWidth));
    auto bottom = static_cast<int32_t>(std::clamp<int64_t>(int64_t{y} + height, 0, imageHeight));

    Painter painter(view, color);
    for (int32_t row = 0; row < static_cast<int32_t>(view.height); ++row) {
        bool inRows = row >= top && row < bottom;
        if (area == KX_DECONTAMINATE_INSIDE) {
            if (inRows) {
                painter.Fill(row, {left, right});
            }
        } else if (!inRows) {
            painter.Fill(row, {0, static_cast<int32_t>(view.width)});
        } else {
            painter.Fill(row, {0, left});
            painter.Fill(row, {right, static_cast<int32_t>(view.width)});
        }
    }
    return KX_OK;
}

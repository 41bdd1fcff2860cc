// KXImgProc_AddImageWatermark: text drawn with FreeType into the region of
// interest and blended with the colour at the given opacity.
#include <algorithm>
#include <cstring>

#include "platform/base/guarded_call.h"
#include "platform/image/proc/image_access.h"
#include "platform/image/proc/kx_imgproc.h"
#include "platform/image/proc/text_renderer.h"
#include "platform/image/proc/utf8.h"

namespace kximgproc {
namespace {

// Larger sizes cannot be meant for a page and would only cost memory.
constexpr int32_t kMaxFontSize = 8192;

struct Point {
    int32_t x;
    int32_t y;
};

// Top-left corner of a box of the given size inside a region, relative to
// the region's top-left corner.
Point PlaceBox(int32_t position, TextBox box, int32_t regionWidth, int32_t regionHeight,
               Point location) {
    int32_t left = 0;
    int32_t centreX = (regionWidth - box.width) / 2;
    int32_t right = regionWidth - box.width;
    int32_t top = 0;
    int32_t centreY = (regionHeight - box.height) / 2;
    int32_t bottom = regionHeight - box.height;
    switch (position) {
        case KX_WATERMARK_LEFT:
            return {left, centreY};
        case KX_WATERMARK_TOP:
            return {centreX, top};
        case KX_WATERMARK_RIGHT:
            return {right, centreY};
        case KX_WATERMARK_BOTTOM:
            return {centreX, bottom};
        case KX_WATERMARK_LEFT_TOP:
            return {left, top};
        case KX_WATERMARK_RIGHT_TOP:
            return {right, top};
        case KX_WATERMARK_LEFT_BOTTOM:
            return {left, bottom};
        case KX_WATERMARK_RIGHT_BOTTOM:
            return {right, bottom};
        case KX_WATERMARK_CENTER:
            return {centreX, centreY};
        default:  // KX_WATERMARK_LOCATION
            return location;
    }
}

uint8_t Blend(uint8_t under, uint8_t over, uint32_t alpha) {
    return static_cast<uint8_t>((under * (65025 - alpha) + over * alpha + 32512) / 65025);
}

void Composite(const CoverageMask& mask, uint32_t color, const ImageView& view) {
    uint8_t red = color & 0xFF;
    uint8_t green = (color >> 8) & 0xFF;
    uint8_t blue = (color >> 16) & 0xFF;
    uint32_t opacity = color >> 24;
    uint8_t gray = Luma(red, green, blue);
    for (int32_t y = mask.top; y < mask.top + mask.height; ++y) {
        uint8_t* row = view.Row(y);
        for (int32_t x = mask.left; x < mask.left + mask.width; ++x) {
            uint32_t alpha = mask.At(x, y) * opacity;  // 0 .. 255 * 255
            if (alpha == 0) {
                continue;
            }
            if (view.type == KX_PIXEL_RGB) {
                uint8_t* p = row + 3 * x;
                p[0] = Blend(p[0], red, alpha);
                p[1] = Blend(p[1], green, alpha);
                p[2] = Blend(p[2], blue, alpha);
            } else if (view.type == KX_PIXEL_GRAY) {
                row[x] = Blend(row[x], gray, alpha);
            } else if (alpha >= 65025 / 2) {
                auto bit = static_cast<uint8_t>(0x80 >> (x & 7));
                row[x >> 3] = gray < 128 ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
            }
        }
    }
}

bool IsValidFont(const WatermarkFont* font) {
    return font != nullptr && font->size > 0 && font->size <= kMaxFontSize &&
           std::memchr(font->name, '\0', sizeof(font->name)) != nullptr;
}

bool IsKnownPosition(int32_t position) {
    return position >= KX_WATERMARK_LEFT && position <= KX_WATERMARK_LOCATION;
}

TextStyle StyleOf(const WatermarkFont& font) {
    TextStyle style;
    style.pixelSize = font.size;
    style.bold = font.bold != 0;
    style.italic = font.italic != 0;
    style.underline = font.underline != 0;
    style.strikeout = font.strikeout != 0;
    return style;
}

// Renders the lines with the box's corner at (boxLeft, boxTop) in image
// coordinates and blends what falls inside the region of interest.
void DrawClipped(TextRenderer& renderer, const std::vector<std::u32string>& lines, TextBox box,
                 int64_t boxLeft, int64_t boxTop, uint32_t color, const ImageView& view) {
    int64_t left = std::max<int64_t>(view.roi.left, boxLeft);
    int64_t top = std::max<int64_t>(view.roi.top, boxTop);
    int64_t right = std::min<int64_t>(view.roi.right, boxLeft + box.width);
    int64_t bottom = std::min<int64_t>(view.roi.bottom, boxTop + box.height);
    if (left >= right || top >= bottom) {
        return;  // the text lies wholly outside the region
    }
    CoverageMask mask;
    mask.Resize(static_cast<int32_t>(left), static_cast<int32_t>(top),
                static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top));
    renderer.Render(lines, static_cast<int32_t>(boxLeft), static_cast<int32_t>(boxTop), &mask);
    Composite(mask, color, view);
}

int AddWatermark(KXImage image, const char* text, uint32_t color, int32_t position, int32_t x,
                 int32_t y, const WatermarkFont* font) {
    ImageView view;
    if (GetImageView(image, &view) != 0 || text == nullptr || !IsValidFont(font) ||
        !IsKnownPosition(position)) {
        return KX_ERR_ARGUMENT;
    }
    std::vector<std::u32string> lines;
    if (!DecodeUtf8Lines(text, &lines)) {
        return KX_ERR_DATA;
    }
    std::u32string allCharacters;
    for (const std::u32string& line : lines) {
        allCharacters += line;
    }
    TextStyle style = StyleOf(*font);
    TextRenderer renderer;
    if (!ResolveFont(font->name, style.bold, style.italic, allCharacters, &style.font) ||
        !renderer.Open(style)) {
        return KX_ERR_NOT_FOUND;
    }
    TextBox box = renderer.Measure(lines);
    Point corner = PlaceBox(position, box, view.RoiWidth(), view.RoiHeight(), {x, y});
    DrawClipped(renderer, lines, box, int64_t{view.roi.left} + corner.x,
                int64_t{view.roi.top} + corner.y, color, view);
    return KX_OK;
}

}  // namespace
}  // namespace kximgproc

int KXImgProc_AddImageWatermark(KXImage image, const char* text, uint32_t color, int32_t position,
                                int32_t x, int32_t y, const WatermarkFont* font) {
    return GuardedCall(__func__, [&] {
        return kximgproc::AddWatermark(image, text, color, position, x, y, font);
    });
}

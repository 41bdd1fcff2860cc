// Rasterises lines of text with FreeType into an 8-bit coverage mask, with
// real or synthetic bold and italic and drawn underline and strikeout.
//
// A renderer owns its FreeType library and face and is used by one thread
// at a time; create one per drawing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/image/proc/font_resolver.h"

typedef struct FT_LibraryRec_* FT_Library;
typedef struct FT_FaceRec_* FT_Face;

namespace kximgproc {

struct TextStyle {
    ResolvedFont font;
    int32_t pixelSize = 0;  // em height in pixels
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
};

// Coverage (0 none .. 255 full) of the rectangle left, top, width, height
// of some pixel grid; writes outside the rectangle are ignored.
struct CoverageMask {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> alpha;

    void Resize(int32_t l, int32_t t, int32_t w, int32_t h) {
        left = l;
        top = t;
        width = w;
        height = h;
        alpha.assign(static_cast<size_t>(w) * h, 0);
    }
    void Cover(int32_t x, int32_t y, uint8_t value) {
        x -= left;
        y -= top;
        if (x >= 0 && y >= 0 && x < width && y < height) {
            uint8_t& a = alpha[static_cast<size_t>(y) * width + x];
            a = value > a ? value : a;
        }
    }
    uint8_t At(int32_t x, int32_t y) const {
        return alpha[static_cast<size_t>(y - top) * width + (x - left)];
    }
};

struct TextBox {
    int32_t width = 0;
    int32_t height = 0;
};

class TextRenderer {
  public:
    TextRenderer() = default;
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // Loads the face at the style's size; false if FreeType cannot.
    bool Open(const TextStyle& style);
    // The size of the box the lines occupy.
    TextBox Measure(const std::vector<std::u32string>& lines);
    // Draws the lines with the box's top-left corner at (boxLeft, boxTop).
    bool Render(const std::vector<std::u32string>& lines, int32_t boxLeft, int32_t boxTop,
                CoverageMask* mask);

  private:
    bool LoadGlyph(char32_t c);
    int32_t LineAdvance(const std::u32string& line);
    void DrawBar(int32_t x0, int32_t x1, int32_t baseline, int32_t above, int32_t thickness,
                 CoverageMask* mask) const;

    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    TextStyle style_;
    int32_t ascender_ = 0;
    int32_t lineHeight_ = 0;
    int32_t emboldenStrength_ = 0;  // 26.6 fixed point
    int32_t slantExtra_ = 0;
};

}  // namespace kximgproc

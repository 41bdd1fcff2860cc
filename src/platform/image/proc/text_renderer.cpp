#include "platform/image/proc/text_renderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>

namespace kximgproc {
namespace {

// Horizontal shear of synthetic italics, about 12 degrees.
constexpr FT_Fixed kItalicShear = 0x3600;

int32_t Pixels(FT_Pos value26_6) {
    return static_cast<int32_t>((value26_6 + 32) >> 6);
}

// Whether the loaded outline, drawn with its origin at (x, baseline), can
// reach the mask: glyphs wholly outside it are not rasterised.
bool Touches(FT_GlyphSlot slot, int32_t x, int32_t baseline, const CoverageMask& mask) {
    FT_BBox box;
    FT_Outline_Get_CBox(&slot->outline, &box);
    int64_t left = int64_t{x} + (box.xMin >> 6) - 1;
    int64_t right = int64_t{x} + ((box.xMax + 63) >> 6) + 1;
    int64_t top = int64_t{baseline} - ((box.yMax + 63) >> 6) - 1;
    int64_t bottom = int64_t{baseline} - (box.yMin >> 6) + 1;
    return right > mask.left && left < int64_t{mask.left} + mask.width && bottom > mask.top &&
           top < int64_t{mask.top} + mask.height;
}

}  // namespace

TextRenderer::~TextRenderer() {
    if (face_ != nullptr) {
        FT_Done_Face(face_);
    }
    if (library_ != nullptr) {
        FT_Done_FreeType(library_);
    }
}

bool TextRenderer::Open(const TextStyle& style) {
    style_ = style;
    if (FT_Init_FreeType(&library_) != 0) {
        library_ = nullptr;
        return false;
    }
    if (FT_New_Face(library_, style.font.file.c_str(), style.font.index, &face_) != 0) {
        face_ = nullptr;
        return false;
    }
    if (!FT_IS_SCALABLE(face_) || FT_Set_Pixel_Sizes(face_, 0, style.pixelSize) != 0) {
        return false;
    }
    const FT_Size_Metrics& metrics = face_->size->metrics;
    ascender_ = Pixels(metrics.ascender);
    lineHeight_ = std::max(Pixels(metrics.height), ascender_ - Pixels(metrics.descender));
    if (style.bold && !style.font.bold) {
        emboldenStrength_ = std::max(64, style.pixelSize * 64 / 24);
    }
    if (style.italic && !style.font.italic) {
        slantExtra_ = static_cast<int32_t>((static_cast<int64_t>(ascender_) * kItalicShear) >> 16);
    }
    return true;
}

bool TextRenderer::LoadGlyph(char32_t c) {
    FT_UInt index = FT_Get_Char_Index(face_, c);
    if (FT_Load_Glyph(face_, index, FT_LOAD_NO_BITMAP) != 0) {
        return false;
    }
    FT_GlyphSlot slot = face_->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) {
        return false;
    }
    if (emboldenStrength_ != 0) {
        FT_Outline_Embolden(&slot->outline, emboldenStrength_);
    }
    if (slantExtra_ != 0) {
        FT_Matrix shear{0x10000, kItalicShear, 0, 0x10000};
        FT_Outline_Transform(&slot->outline, &shear);
    }
    return true;
}

int32_t TextRenderer::LineAdvance(const std::u32string& line) {
    FT_Pos advance = 0;
    for (char32_t c : line) {
        if (LoadGlyph(c)) {
            advance += face_->glyph->advance.x + emboldenStrength_;
        }
    }
    return Pixels(advance);
}

TextBox TextRenderer::Measure(const std::vector<std::u32string>& lines) {
    int32_t widest = 0;
    for (const std::u32string& line : lines) {
        widest = std::max(widest, LineAdvance(line));
    }
    int32_t count = static_cast<int32_t>(lines.size());
    return {widest + slantExtra_, count * lineHeight_};
}

void TextRenderer::DrawBar(int32_t x0, int32_t x1, int32_t baseline, int32_t above,
                           int32_t thickness, CoverageMask* mask) const {
    int32_t top = baseline - above - thickness / 2;
    for (int32_t y = top; y < top + thickness; ++y) {
        for (int32_t x = x0; x < x1; ++x) {
            mask->Cover(x, y, 255);
        }
    }
}

bool TextRenderer::Render(const std::vector<std::u32string>& lines, int32_t boxLeft, int32_t boxTop,
                          CoverageMask* mask) {
    FT_Fixed yScale = face_->size->metrics.y_scale;
    int32_t barThickness =
        std::max<int32_t>(1, Pixels(FT_MulFix(face_->underline_thickness, yScale)));
    if (emboldenStrength_ != 0 || style_.font.bold) {
        barThickness += barThickness / 2;
    }
    int32_t underlineAbove = Pixels(FT_MulFix(face_->underline_position, yScale));
    int32_t strikeAbove = style_.pixelSize / 4;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    if (os2 != nullptr && os2->yStrikeoutPosition > 0) {
        strikeAbove = Pixels(FT_MulFix(os2->yStrikeoutPosition, yScale));
    }

    for (size_t i = 0; i < lines.size(); ++i) {
        int32_t baseline = boxTop + ascender_ + static_cast<int32_t>(i) * lineHeight_;
        FT_Pos pen = static_cast<FT_Pos>(boxLeft) << 6;
        for (char32_t c : lines[i]) {
            if (!LoadGlyph(c)) {
                continue;
            }
            FT_GlyphSlot slot = face_->glyph;
            if (!Touches(slot, Pixels(pen), baseline, *mask) ||
                FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) {
                pen += slot->advance.x + emboldenStrength_;
                continue;
            }
            const FT_Bitmap& bitmap = slot->bitmap;
            int32_t originX = Pixels(pen) + slot->bitmap_left;
            int32_t originY = baseline - slot->bitmap_top;
            for (uint32_t row = 0; row < bitmap.rows; ++row) {
                const uint8_t* src = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
                for (uint32_t col = 0; col < bitmap.width; ++col) {
                    if (src[col] != 0) {
                        mask->Cover(originX + static_cast<int32_t>(col),
                                    originY + static_cast<int32_t>(row), src[col]);
                    }
                }
            }
            pen += slot->advance.x + emboldenStrength_;
        }
        int32_t end = Pixels(pen);
        if (style_.underline) {
            DrawBar(boxLeft, end, baseline, underlineAbove, barThickness, mask);
        }
        if (style_.strikeout) {
            DrawBar(boxLeft, end, baseline, strikeAbove, barThickness, mask);
        }
    }
    return true;
}

}  // namespace kximgproc

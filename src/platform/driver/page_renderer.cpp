#include "platform/driver/page_renderer.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/driver/bitmap_font.h"

namespace {

constexpr Rgb kInk{20, 20, 20};
constexpr Rgb kNumberInk{20, 30, 90};
constexpr Rgb kRule{90, 90, 90};
constexpr Rgb kFrontBlock{40, 90, 200};
constexpr Rgb kBackBlock{200, 50, 40};

constexpr const char* kWords[] = {
    "THE",    "SCANNED", "DOCUMENT", "PAGE",     "OF",      "AND",     "INVOICE", "TOTAL",
    "AMOUNT", "DATE",    "REPORT",   "SECTION",  "TO",      "IN",      "FOR",     "WITH",
    "IS",     "ON",      "BY",       "THIS",     "PAPER",   "SHEET",   "FEEDER",  "IMAGE",
    "TEXT",   "LINE",    "NUMBER",   "ORDER",    "ACCOUNT", "SUMMARY", "NOTICE",  "RECEIPT",
    "ITEM",   "PRICE",   "QUANTITY", "CUSTOMER", "ADDRESS", "SIGNED",  "2024",    "42.50",
    "REF:",   "NO.",     "A-17",     "RECORD",   "ARCHIVE", "OFFICE",  "COPY,",   "FILE",
};
constexpr int kWordCount = sizeof kWords / sizeof kWords[0];

// Small deterministic generator, so a page's text is the same every time.
class TextRandom {
  public:
    explicit TextRandom(uint32_t seed) : state_(seed) {}
    int Below(int bound) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<int>(state_ % static_cast<uint32_t>(bound));
    }

  private:
    uint32_t state_;
};

class Layout {
  public:
    Layout(PageCanvas& canvas, PageKind kind)
        : canvas_(canvas), kind_(kind), settings_(canvas.Settings()) {}

    int Mm(double millimetres) const {
        return static_cast<int>(std::lround(millimetres * settings_.dpi / 25.4));
    }
    int Width() const { return settings_.uprightWidth; }
    int Height() const { return settings_.uprightHeight; }
    int Margin() const { return Mm(15); }

    PixelRect NumberBox() const {
        int margin = Margin();
        return {Width() - margin - Mm(70), margin, Width() - margin, margin + Mm(22)};
    }

    // Text whose characters are cell pixels per font dot; returns the width drawn.
    int Text(int x, int y, int cell, const std::string& text, Rgb colour) {
        for (size_t i = 0; i < text.size(); ++i)
            Glyph(x + static_cast<int>(i) * kGlyphAdvance * cell, y, cell, text[i], colour);
        return static_cast<int>(text.size()) * kGlyphAdvance * cell;
    }

    void DrawDocument() {
        bool front = kind_ == PageKind::kFront;
        int margin = Margin();
        Text(margin, margin, Cell(7), front ? "FRONT" : "BACK", kInk);
        int titleTop = margin + Mm(28);
        Text(margin, titleTop, Cell(4), "SCANBRIDGE VIRTUAL SCANNER", kInk);
        canvas_.Fill({margin, titleTop + Mm(6), Width() - margin, titleTop + Mm(6.6)}, kRule);

        int blockTop = titleTop + Mm(12);
        int blockWidth = Mm(45);
        int blockLeft = front ? margin : Width() - margin - blockWidth;
        PixelRect block{blockLeft, blockTop, blockLeft + blockWidth, blockTop + Mm(28)};
        canvas_.Fill(block, front ? kFrontBlock : kBackBlock);

        int besideLeft = front ? block.right + Mm(6) : margin;
        int besideRight = front ? Width() - margin : block.left - Mm(6);
        TextRandom random(front ? 0x1F2E3D4Cu : 0x5B6A7988u);
        int y = Paragraphs(random, besideLeft, besideRight, blockTop, block.bottom);
        Paragraphs(random, margin, Width() - margin, std::max(y, block.bottom + Mm(8)),
                   Height() - margin);
    }

  private:
    int Cell(double characterHeightMm) const {
        return std::max(1, Mm(characterHeightMm) / kGlyphRows);
    }

    void Glyph(int x, int y, int cell, char c, Rgb colour) {
        const uint8_t* rows = GlyphRows(c);
        if (rows == nullptr) return;
        for (int row = 0; row < kGlyphRows; ++row) {
            // Runs of set dots become one rectangle each.
            int column = 0;
            while (column < kGlyphColumns) {
                if (((rows[row] >> (kGlyphColumns - 1 - column)) & 1) == 0) {
                    ++column;
                    continue;
                }
                int start = column;
                while (column < kGlyphColumns && ((rows[row] >> (kGlyphColumns - 1 - column)) & 1))
                    ++column;
                canvas_.Fill(
                    {x + start * cell, y + row * cell, x + column * cell, y + (row + 1) * cell},
                    colour);
            }
        }
    }

    // Lines of words between left and right from top while a line fits above
    // bottom; a blank line after every paragraph of 4 to 8 lines, whose last
    // line is shorter. Returns the y below the last line.
    int Paragraphs(TextRandom& random, int left, int right, int top, int bottom) {
        int cell = Cell(3);
        int pitch = Mm(6);
        int charWidth = kGlyphAdvance * cell;
        int columns = (right - left) / charWidth;
        if (columns < 8) return top;
        int y = top;
        int linesLeft = 4 + random.Below(5);
        while (y + kGlyphRows * cell <= bottom) {
            bool lastOfParagraph = --linesLeft == 0;
            int limit = lastOfParagraph ? columns / 2 + random.Below(columns / 3) : columns;
            Text(left, y, cell, Line(random, limit), kInk);
            y += pitch;
            if (lastOfParagraph) {
                y += pitch;
                linesLeft = 4 + random.Below(5);
            }
        }
        return y;
    }

    // Words up to limit characters; a few words that do not fit end the line.
    std::string Line(TextRandom& random, int limit) {
        std::string line;
        for (int misses = 0; misses < 3;) {
            std::string word = kWords[random.Below(kWordCount)];
            size_t needed = line.empty() ? word.size() : line.size() + 1 + word.size();
            if (needed > static_cast<size_t>(limit)) {
                ++misses;
                continue;
            }
            line += line.empty() ? word : " " + word;
        }
        return line;
    }

    PageCanvas& canvas_;
    PageKind kind_;
    const RenderSettings& settings_;
};

}  // namespace

std::unique_ptr<RenderedPage> RenderPage(const RenderSettings& settings, PageKind kind) {
    auto page = std::make_unique<RenderedPage>();
    page->kind = kind;
    page->canvas = PageCanvas::Create(settings);
    if (page->canvas == nullptr) return nullptr;
    Layout layout(*page->canvas, kind);
    page->numberBox = layout.NumberBox();
    page->canvas->PaintPaper({0, 0, settings.uprightWidth, settings.uprightHeight});
    if (kind != PageKind::kBlank) layout.DrawDocument();
    return page;
}

void StampPageNumber(RenderedPage& page, int number) {
    if (page.kind == PageKind::kBlank) return;
    PageCanvas& canvas = *page.canvas;
    const PixelRect& box = page.numberBox;
    canvas.PaintPaper(box);
    std::string digits = std::to_string(number);
    int columns = static_cast<int>(digits.size()) * kGlyphAdvance - 1;
    int cell = std::max(
        1, std::min((box.bottom - box.top) / kGlyphRows, (box.right - box.left) / columns));
    int x = box.right - columns * cell;
    int y = box.top + (box.bottom - box.top - kGlyphRows * cell) / 2;
    Layout(canvas, page.kind).Text(x, y, cell, digits, kNumberInk);
}

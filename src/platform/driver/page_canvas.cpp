#include "platform/driver/page_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

namespace {

constexpr int kNoisePeriod = 4096;  // a power of two
constexpr int kNoiseRowStep = 1237;
constexpr int kNoiseLevels = 7;          // paper is 255 minus 0..6 before toning
constexpr uint32_t kSpeckOdds = 0xFFFF;  // about one black dot in 65536 pixels

const std::array<uint8_t, kNoisePeriod>& NoiseTable() {
    static const std::array<uint8_t, kNoisePeriod> table = [] {
        std::array<uint8_t, kNoisePeriod> values{};
        uint32_t state = 0x2545F491u;
        for (uint8_t& value : values) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            value = static_cast<uint8_t>(state % kNoiseLevels);
        }
        return values;
    }();
    return table;
}

bool IsSpeck(int x, int y) {
    uint32_t hash = static_cast<uint32_t>(x) * 0x9E3779B1u ^ static_cast<uint32_t>(y) * 0x85EBCA77u;
    hash ^= hash >> 15;
    hash *= 0x2C1B3C6Du;
    hash ^= hash >> 12;
    return (hash & kSpeckOdds) == 0;
}

void SetBit(SANE_Byte* row, int x, bool black) {
    auto mask = static_cast<SANE_Byte>(0x80u >> (x & 7));
    if (black)
        row[x >> 3] |= mask;
    else
        row[x >> 3] &= static_cast<SANE_Byte>(~mask);
}

void SetBits(SANE_Byte* row, int left, int right, bool black) {
    int x = left;
    for (; x < right && (x & 7) != 0; ++x)
        SetBit(row, x, black);
    int wholeEnd = right & ~7;
    if (x < wholeEnd) {
        std::memset(row + (x >> 3), black ? 0xFF : 0x00, static_cast<size_t>(wholeEnd - x) >> 3);
        x = wholeEnd;
    }
    for (; x < right; ++x)
        SetBit(row, x, black);
}

}  // namespace

std::array<uint8_t, 256> ToneTable(SANE_Int brightness, SANE_Fixed gamma) {
    std::array<uint8_t, 256> table{};
    double exponent = 1.0 / std::max(SANE_UNFIX(gamma), 0.01);
    double shift = brightness * 128.0 / 100.0;
    for (int v = 0; v < 256; ++v) {
        double toned = 255.0 * std::pow(v / 255.0, exponent) + shift;
        table[v] = static_cast<uint8_t>(std::clamp(std::lround(toned), 0L, 255L));
    }
    return table;
}

std::unique_ptr<PageCanvas> PageCanvas::Create(const RenderSettings& settings) {
    size_t bytes = settings.format.Bytes();
    if (bytes == 0) return nullptr;
    std::unique_ptr<SANE_Byte[]> pixels(new (std::nothrow) SANE_Byte[bytes]);
    if (pixels == nullptr) return nullptr;
    return std::unique_ptr<PageCanvas>(new PageCanvas(settings, std::move(pixels)));
}

PageCanvas::PageCanvas(const RenderSettings& settings, std::unique_ptr<SANE_Byte[]> pixels)
    : settings_(settings),
      tone_(ToneTable(settings.brightness, settings.gamma)),
      pixels_(std::move(pixels)) {}

PixelRect PageCanvas::Turn(const PixelRect& r) const {
    int w = settings_.uprightWidth;
    int h = settings_.uprightHeight;
    PixelRect turned = r;
    switch (settings_.orientation) {
        case kOrientation90:  // clockwise: the upright top edge becomes the right edge
            turned = {h - r.bottom, r.left, h - r.top, r.right};
            break;
        case kOrientation180:
            turned = {w - r.right, h - r.bottom, w - r.left, h - r.top};
            break;
        case kOrientationMinus90:  // counter-clockwise: the top edge becomes the left edge
            turned = {r.top, w - r.right, r.bottom, w - r.left};
            break;
        default:
            break;
    }
    turned.left = std::max(turned.left, 0);
    turned.top = std::max(turned.top, 0);
    turned.right = std::min(turned.right, settings_.format.width);
    turned.bottom = std::min(turned.bottom, settings_.format.height);
    return turned;
}

uint8_t PageCanvas::Luminance(Rgb c) const {
    return tone_[(299 * c.r + 587 * c.g + 114 * c.b + 500) / 1000];
}

void PageCanvas::Fill(const PixelRect& upright, Rgb colour) {
    PixelRect area = Turn(upright);
    if (area.left >= area.right || area.top >= area.bottom) return;
    FillRows(area, colour);
}

void PageCanvas::FillRows(const PixelRect& area, Rgb colour) {
    const PageFormat& format = settings_.format;
    size_t span = static_cast<size_t>(area.right - area.left);
    for (int y = area.top; y < area.bottom; ++y) {
        SANE_Byte* row = pixels_.get() + static_cast<size_t>(y) * format.bytesPerLine;
        if (format.depth == 1) {
            SetBits(row, area.left, area.right, Luminance(colour) < 128);
        } else if (format.frame == SANE_FRAME_GRAY) {
            std::memset(row + area.left, Luminance(colour), span);
        } else {
            SANE_Byte* pixel = row + static_cast<size_t>(area.left) * 3;
            for (size_t i = 0; i < span; ++i, pixel += 3) {
                pixel[0] = tone_[colour.r];
                pixel[1] = tone_[colour.g];
                pixel[2] = tone_[colour.b];
            }
        }
    }
}

void PageCanvas::PaintPaper(const PixelRect& upright) {
    PixelRect area = Turn(upright);
    if (area.left >= area.right || area.top >= area.bottom) return;
    if (settings_.format.depth == 1)
        PaintBlackWhitePaper(area);
    else
        PaintToneNoise(area);
}

void PageCanvas::PaintBlackWhitePaper(const PixelRect& area) {
    FillRows(area, Rgb{255, 255, 255});
    if (settings_.removeSpecks) return;
    for (int y = area.top; y < area.bottom; ++y) {
        SANE_Byte* row = pixels_.get() + static_cast<size_t>(y) * settings_.format.bytesPerLine;
        for (int x = area.left; x < area.right; ++x) {
            if (IsSpeck(x, y)) SetBit(row, x, true);
        }
    }
}

void PageCanvas::PaintToneNoise(const PixelRect& area) {
    const std::array<uint8_t, kNoisePeriod>& noise = NoiseTable();
    uint8_t paper[kNoiseLevels];
    for (int level = 0; level < kNoiseLevels; ++level)
        paper[level] = tone_[255 - level];
    bool rgb = settings_.format.frame == SANE_FRAME_RGB;
    for (int y = area.top; y < area.bottom; ++y) {
        SANE_Byte* row = pixels_.get() + static_cast<size_t>(y) * settings_.format.bytesPerLine;
        size_t phase = static_cast<size_t>(y) * kNoiseRowStep;
        for (int x = area.left; x < area.right; ++x) {
            uint8_t value = paper[noise[(phase + x) & (kNoisePeriod - 1)]];
            if (rgb) {
                SANE_Byte* pixel = row + static_cast<size_t>(x) * 3;
                pixel[0] = value;
                pixel[1] = value;
                pixel[2] = value;
            } else {
                row[x] = value;
            }
        }
    }
}

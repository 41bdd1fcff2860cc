// A page's pixels in the format the scanner delivers, painted in upright
// paper coordinates: every rectangle is given on the upright page and turned
// by the page's orientation on the way in, and every colour passes through
// the tone curve first (gamma, then brightness, through one 256-entry table).
//
// Grey pages take the colour's luminance; black-and-white pages set a dot
// (1 = black) where that luminance falls below 128. Paper is near white with
// faint noise; on black-and-white pages it is white, with rare isolated
// black dots unless RenderSettings::removeSpecks. The noise is a fixed
// function of the pixel position, so repainting part of a page reproduces
// it exactly.
//
// One thread at a time. The canvas owns its pixels.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/driver/scan_plan.h"

// The tone curve as a 256-entry table: gamma first (out = in ^ (1 / gamma)),
// then brightness (-100..100) shifts by up to half the scale either way.
std::array<uint8_t, 256> ToneTable(SANE_Int brightness, SANE_Fixed gamma);

struct Rgb {
    uint8_t r;
    uint8_t g;
    uint8_t b;
};

// Pixels [left, right) x [top, bottom).
struct PixelRect {
    int left;
    int top;
    int right;
    int bottom;
};

class PageCanvas {
  public:
    // Null when the pixels cannot be allocated.
    static std::unique_ptr<PageCanvas> Create(const RenderSettings& settings);

    const RenderSettings& Settings() const { return settings_; }
    SANE_Byte* Data() { return pixels_.get(); }

    // Paints bare paper over the upright area (clipped to the page).
    void PaintPaper(const PixelRect& upright);
    // Fills the upright area (clipped to the page) with the colour.
    void Fill(const PixelRect& upright, Rgb colour);

  private:
    explicit PageCanvas(const RenderSettings& settings, std::unique_ptr<SANE_Byte[]> pixels);

    // The upright rectangle in delivered coordinates, clipped; empty rectangles
    // come back with left >= right or top >= bottom.
    PixelRect Turn(const PixelRect& upright) const;
    uint8_t Luminance(Rgb colour) const;
    void FillRows(const PixelRect& area, Rgb colour);
    void PaintBlackWhitePaper(const PixelRect& area);
    void PaintToneNoise(const PixelRect& area);

    RenderSettings settings_;
    std::array<uint8_t, 256> tone_;
    std::unique_ptr<SANE_Byte[]> pixels_;
};

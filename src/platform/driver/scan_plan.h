// What one scan of the virtual scanner produces, worked out at start from the
// scanner's option values and the [virtual] scan settings: the format and
// look of every page (RenderSettings), and the order in which the feeder
// yields fronts, backs and blank pages (PageSequence).
//
// Plain values, no threads: the scan thread owns its plan and sequence.
//
// Geometry: the paper is W x H millimetres upright ("匹配原始尺寸" and "A4"
// 210 x 297, "A3" 297 x 420, "A5" 148 x 210, "B5" 176 x 250, "Letter"
// 216 x 279); a side of L mm is round(L * dpi / 25.4) pixels, halves rounded
// up. "90°" and "-90°" turn the content a quarter turn clockwise and counter-
// clockwise, so the page's width and height swap; "180°" turns it upside down.
// Rows are packed: bytes_per_line is 3 * width (RGB), width (grey) or
// (width + 7) / 8 (black and white).
#pragma once

#include <cstddef>
#include <set>

#include "platform/driver/driver_config.h"
#include "platform/driver/sane_qnsane.h"
#include "platform/driver/virtual_options.h"

struct PageFormat {
    SANE_Frame frame = SANE_FRAME_RGB;
    SANE_Int depth = 8;
    SANE_Int width = 0;  // pixels per line, as delivered (after turning)
    SANE_Int height = 0;
    SANE_Int bytesPerLine = 0;

    size_t Bytes() const { return static_cast<size_t>(bytesPerLine) * static_cast<size_t>(height); }
    SANE_Parameters Parameters() const;
    bool operator==(const PageFormat&) const = default;
};

// Everything besides the page's content that decides its pixels.
struct RenderSettings {
    PageFormat format;
    SANE_Int dpi = 200;
    Orientation orientation = kOrientation0;
    SANE_Int uprightWidth = 0;  // the paper in pixels before turning
    SANE_Int uprightHeight = 0;
    SANE_Int brightness = 0;  // -100..100
    SANE_Fixed gamma = SANE_FIX(1.0);
    bool removeSpecks = true;  // black-and-white pages without isolated dots
    bool operator==(const RenderSettings&) const = default;
};

enum class PageKind { kFront, kBack, kBlank };

struct ScanPlan {
    RenderSettings render;
    int sheets = 0;
    int sidesPerSheet = 1;
    bool skipBlank = false;
    std::set<int> blankPages;  // 1-based positions in the feeder's page order
    int pageDelayMs = 0;
    int jamAfter = 0;
};

int MillimetresToPixels(int millimetres, int dpi);
ScanPlan MakeScanPlan(const VirtualOptionValues& options, const VirtualScanConfig& config);

// The pages the feeder yields in order: sheet 1 front, sheet 1 back (two-
// sided modes), sheet 2 front, ... Position p (1-based) comes out blank when
// p is in blankPages; in the skip-blank modes such a page is scanned but not
// delivered.
class PageSequence {
  public:
    struct Page {
        int position = 0;
        PageKind kind = PageKind::kFront;
        bool skipped = false;
    };

    explicit PageSequence(const ScanPlan& plan);
    // The next scanned page; false when the feeder is empty.
    bool Next(Page* page);

  private:
    const ScanPlan& plan_;
    long long total_;
    long long position_ = 0;
};

// KXImgProc_ImageBlankCheck: a page is blank when, outside a narrow band
// along its edges, nothing darker than the paper by a clear margin covers
// more than a few square millimetres once scanner specks, punch holes, edge
// shadows and scanner background past the sheet's edge are set aside.
//
// The check runs on a reduced copy of about 75 dpi that reads a quarter of
// the pixels of a 300-dpi page. The paper level is the median grey, the
// noise the spread of the bright (ink-free) half of the histogram, so slight
// grey paper and noisy sensors move the ink threshold with them.
#include <algorithm>
#include <cmath>

#include "platform/base/guarded_call.h"
#include "platform/image/proc/components.h"
#include "platform/image/proc/gray_histogram.h"
#include "platform/image/proc/kx_imgproc.h"

namespace kximgproc {
namespace {

constexpr KXBlankCheckParams kDefaultParams{6, 40, 25};
constexpr double kAnalysisDpi = 75.0;
constexpr double kA4ShortSideInches = 210.0 / 25.4;
constexpr double kSpeckMm2 = 0.4;          // smaller marks are dust or sensor noise
constexpr double kHoleMinMm = 3.5;         // punch-hole diameters ...
constexpr double kHoleMaxMm = 9.0;         // ... of common office punches
constexpr double kHoleEdgeMm = 25.0;       // hole centres lie this close to an edge
constexpr double kEdgeLineMinShare = 0.3;  // edge marks run along this share of a side
constexpr double kEdgeLineMaxMm = 4.0;     // and are thinner than this (shadows) ...
constexpr double kEdgeBandMaxMm = 25.0;    // ... or solid up to this (background)
constexpr double kEdgeBandMinFill = 0.45;  // solid: a band, or a wedge of a skewed sheet

struct Analysis {
    GrayImage gray;
    double mmPerPixel = 0;
};

double PageDpi(KXImage image, const ImageView& view) {
    uint32_t dpi = ImageResolution(image);
    if (dpi != 0) {
        return dpi;
    }
    int32_t shortSide = std::min(view.RoiWidth(), view.RoiHeight());
    return std::clamp(shortSide / kA4ShortSideInches, 50.0, 1200.0);
}

bool Reduce(KXImage image, const ImageView& view, Analysis* analysis) {
    double dpi = PageDpi(image, view);
    auto factor = std::max<int32_t>(1, std::lround(dpi / kAnalysisDpi));
    if (!ReduceToGray(view, factor, factor >= 4 ? 2 : 1, &analysis->gray)) {
        factor = 1;
        if (!ReduceToGray(view, 1, 1, &analysis->gray)) {
            return false;
        }
    }
    analysis->mmPerPixel = 25.4 * factor / dpi;
    return true;
}

struct Inner {
    int32_t left, top, right, bottom;
};

class InkJudge {
  public:
    InkJudge(const Analysis& analysis, const Inner& inner) : a_(analysis), inner_(inner) {}

    // The ink area in mm² that counts as content.
    double CountedInk(const Component& c) const {
        double mm2 = c.area * a_.mmPerPixel * a_.mmPerPixel;
        if (mm2 < kSpeckMm2 || IsPunchHole(c) || IsEdgeArtefact(c)) {
            return 0;
        }
        return mm2;
    }

  private:
    bool IsPunchHole(const Component& c) const {
        double w = c.Width() * a_.mmPerPixel;
        double h = c.Height() * a_.mmPerPixel;
        if (w < kHoleMinMm || h < kHoleMinMm || w > kHoleMaxMm || h > kHoleMaxMm) {
            return false;
        }
        double fill = static_cast<double>(c.area) / (int64_t{c.Width()} * c.Height());
        if (std::abs(w - h) > 0.35 * std::max(w, h) || fill < 0.6) {
            return false;
        }
        double cx = (c.left + c.right) / 2.0 * a_.mmPerPixel;
        double cy = (c.top + c.bottom) / 2.0 * a_.mmPerPixel;
        double pageW = a_.gray.width * a_.mmPerPixel;
        double pageH = a_.gray.height * a_.mmPerPixel;
        double edgeDistance = std::min({cx, cy, pageW - cx, pageH - cy});
        return edgeDistance <= kHoleEdgeMm;
    }

    // Shadows of the sheet's edge, and scanner background showing past a
    // sheet that is smaller or skewed: long marks against the ignored band
    // that are either thin or solid bands and wedges.
    bool IsEdgeArtefact(const Component& c) const {
        double fill = static_cast<double>(c.area) / (int64_t{c.Width()} * c.Height());
        auto edgeLike = [&](int32_t thickness, int32_t length, int32_t side) {
            double thicknessMm = thickness * a_.mmPerPixel;
            bool thin = thicknessMm <= kEdgeLineMaxMm;
            bool solid = thicknessMm <= kEdgeBandMaxMm && fill >= kEdgeBandMinFill;
            return length >= kEdgeLineMinShare * side && (thin || solid);
        };
        bool alongSide = (c.left == inner_.left || c.right == inner_.right) &&
                         edgeLike(c.Width(), c.Height(), inner_.bottom - inner_.top);
        bool alongTop = (c.top == inner_.top || c.bottom == inner_.bottom) &&
                        edgeLike(c.Height(), c.Width(), inner_.right - inner_.left);
        return alongSide || alongTop;
    }

    const Analysis& a_;
    Inner inner_;
};

bool IsBlank(const Analysis& a, const KXBlankCheckParams& params) {
    auto border = static_cast<int32_t>(std::ceil(params.borderMm / a.mmPerPixel));
    border = std::clamp(border, 0, std::min(a.gray.width, a.gray.height) / 4);
    Inner inner{border, border, a.gray.width - border, a.gray.height - border};

    GrayHistogram histogram;
    for (int32_t y = inner.top; y < inner.bottom; ++y) {
        for (int32_t x = inner.left; x < inner.right; ++x) {
            histogram.Add(a.gray.At(x, y));
        }
    }
    int32_t paper = histogram.Percentile(0.5);
    int32_t noise = histogram.Percentile(0.84) - paper;
    int32_t contrast = std::clamp(5 * noise, params.minContrast, std::max(params.minContrast, 100));
    int32_t inkBelow = paper - contrast;

    std::vector<uint8_t> mask(a.gray.pixels.size(), 0);
    for (int32_t y = inner.top; y < inner.bottom; ++y) {
        for (int32_t x = inner.left; x < inner.right; ++x) {
            size_t at = static_cast<size_t>(y) * a.gray.width + x;
            mask[at] = a.gray.pixels[at] < inkBelow;
        }
    }
    // Counting stops as soon as the page has shown enough ink.
    InkJudge judge(a, inner);
    double enough = params.inkAreaMm2x10 / 10.0;
    double ink = 0;
    VisitComponents(mask, a.gray.width, a.gray.height, [&](const Component& c) {
        ink += judge.CountedInk(c);
        return ink < enough;
    });
    return ink < enough;
}

int BlankCheck(KXImage image, const KXBlankCheckParams* params, int32_t* blank) {
    ImageView view;
    if (blank == nullptr || GetImageView(image, &view) != 0) {
        return KX_ERR_ARGUMENT;
    }
    *blank = 0;
    const KXBlankCheckParams& settings = params != nullptr ? *params : kDefaultParams;
    if (settings.borderMm < 0 || settings.minContrast < 1 || settings.minContrast > 255 ||
        settings.inkAreaMm2x10 < 0) {
        return KX_ERR_ARGUMENT;
    }
    Analysis analysis;
    if (!Reduce(image, view, &analysis)) {
        return KX_ERR_ARGUMENT;
    }
    *blank = IsBlank(analysis, settings) ? 1 : 0;
    return KX_OK;
}

}  // namespace
}  // namespace kximgproc

int KXImgProc_ImageBlankCheck(KXImage image, const KXBlankCheckParams* params, int32_t* blank) {
    return GuardedCall(__func__, [&] { return kximgproc::BlankCheck(image, params, blank); });
}

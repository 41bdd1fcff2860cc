// KXImgProc_ImageTextDirectOCR: Tesseract's orientation detection on a
// reduced, binarised copy of the page.
//
// The classifier needs body text at about 150 dpi to be sure of itself, so
// the page is reduced by the largest integer factor that keeps that
// resolution (a 300-dpi page is halved); an unknown resolution is estimated
// from the page's width, taken as A4. Binarising with a threshold well below
// the paper level removes scanner noise, which would otherwise feed the
// classifier thousands of false blobs; a page with almost no ink is
// reported upright without asking it.
//
// Tesseract reports the clockwise rotation the page has undergone (0, 90,
// 180 or 270 degrees). A page turned 90 degrees clockwise must be turned
// left to be upright (code 2), one turned 270 degrees clockwise, that is 90
// counter-clockwise, must be turned right (code 3), one turned 180 degrees
// needs code 4.
#include <tesseract/baseapi.h>

#include <algorithm>

#include "platform/base/guarded_call.h"
#include "platform/image/proc/gray_histogram.h"
#include "platform/image/proc/kx_imgproc.h"
#include "platform/image/proc/ocr_manager.h"

namespace kximgproc {
namespace {

constexpr double kAnalysisDpi = 150.0;
constexpr int32_t kMaxAnalysisSide = 2400;
constexpr double kA4ShortSideInches = 210.0 / 25.4;
// Ink darker than the paper by less than this is noise or shading.
constexpr int32_t kMinInkContrast = 40;
// Pages with less ink than this share of their area hold no text to judge.
constexpr double kMinInkShare = 0.0005;
// Classifying a character in four orientations is the expensive part, and
// Tesseract samples up to five times "min_characters_to_try" of them. A
// quick pass on up to 100 characters settles most text pages; only a page
// it leaves unsure gets the full pass on up to 250.
struct Pass {
    const char* minCharacters;
    float minConfidence;  // below this the answer is a guess
};
constexpr Pass kPasses[] = {{"20", 5.0f}, {"50", 5.0f}};

int32_t CodeForRotation(int degreesClockwise) {
    switch (degreesClockwise) {
        case 90:
            return KX_DIRECTION_ROTATE_LEFT;
        case 180:
            return KX_DIRECTION_ROTATE_180;
        case 270:
            return KX_DIRECTION_ROTATE_RIGHT;
        default:
            return KX_DIRECTION_UPRIGHT;
    }
}

double PageDpi(KXImage image, const ImageView& view) {
    uint32_t dpi = ImageResolution(image);
    if (dpi != 0) {
        return dpi;
    }
    return std::min(view.RoiWidth(), view.RoiHeight()) / kA4ShortSideInches;
}

int32_t AnalysisFactor(double dpi, const ImageView& view) {
    auto factor = std::max<int32_t>(1, static_cast<int32_t>(dpi / kAnalysisDpi));
    return std::max(factor, FactorForMaxSide(view, kMaxAnalysisSide));
}

// The level below which grey is ink: clearly darker than the paper (the
// median), and halfway to the darkest percent when that is darker still.
int32_t InkThreshold(const GrayHistogram& histogram) {
    int32_t paper = histogram.Percentile(0.5);
    return std::max(1, std::min(paper - kMinInkContrast, (paper + histogram.Percentile(0.01)) / 2));
}

// One orientation pass; true when it was sure, with *direction set.
bool RunPass(tesseract::TessBaseAPI* engine, PIX* page, int32_t dpi, const Pass& pass,
             int32_t* direction) {
    engine->SetPageSegMode(tesseract::PSM_OSD_ONLY);
    engine->SetVariable("min_characters_to_try", pass.minCharacters);
    engine->SetImage(page);
    engine->SetSourceResolution(dpi);
    int degrees = 0;
    float confidence = 0;
    const char* script = nullptr;
    float scriptConfidence = 0;
    bool detected =
        engine->DetectOrientationScript(&degrees, &confidence, &script, &scriptConfidence);
    engine->Clear();
    if (!detected || confidence < pass.minConfidence) {
        return false;
    }
    *direction = CodeForRotation(degrees);
    return true;
}

int DetectDirection(KXOcrMgr manager, KXImage image, int32_t* direction) {
    ImageView view;
    if (manager == nullptr || GetImageView(image, &view) != 0) {
        return KX_ERR_ARGUMENT;
    }
    tesseract::TessBaseAPI* engine = manager->OrientationEngine();
    if (engine == nullptr) {
        return KX_ERR_STATE;
    }
    double dpi = PageDpi(image, view);
    int32_t factor = AnalysisFactor(dpi, view);
    GrayImage gray;
    if (!ReduceToGray(view, factor, 1, &gray)) {
        return KX_ERR_ARGUMENT;
    }
    GrayHistogram histogram = HistogramOf(gray);
    int32_t threshold = InkThreshold(histogram);
    if (histogram.CountBelow(threshold) < kMinInkShare * histogram.total) {
        return KX_OK;
    }
    PixPtr pix = Binarize(gray, threshold);
    if (!pix) {
        return KX_ERR_SYSTEM;
    }
    auto reducedDpi = std::max<int32_t>(70, static_cast<int32_t>(dpi / factor));
    pixSetResolution(pix.get(), reducedDpi, reducedDpi);

    for (const Pass& pass : kPasses) {
        if (RunPass(engine, pix.get(), reducedDpi, pass, direction)) {
            break;
        }
    }
    return KX_OK;
}

}  // namespace
}  // namespace kximgproc

int KXImgProc_ImageTextDirectOCR(KXOcrMgr manager, KXImage image, int32_t* direction) {
    if (direction == nullptr) {
        return KX_ERR_ARGUMENT;
    }
    *direction = KX_DIRECTION_UPRIGHT;
    return GuardedCall(__func__,
                       [&] { return kximgproc::DetectDirection(manager, image, direction); });
}

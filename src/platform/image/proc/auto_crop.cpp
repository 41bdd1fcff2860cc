// KXImgProc_ImageAutoCrop: finds the page on a reduced grey copy, measures
// its skew from the page outline (or, with no background visible, from the
// text lines), rotates the full-resolution region with area mapping and cuts
// out the straightened page.
#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "platform/base/guarded_call.h"
#include "platform/image/proc/document_finder.h"
#include "platform/image/proc/gray_histogram.h"
#include "platform/image/proc/kx_imgproc.h"

namespace kximgproc {
namespace {

constexpr int32_t kAnalysisLongSide = 1000;
constexpr int32_t kTextAnalysisLongSide = 2000;
constexpr int32_t kTextInkBelow = 160;
constexpr double kDegree = std::numbers::pi / 180.0;
// Turns smaller than this are left alone: rotating would only blur.
constexpr double kMinTurn = 0.05 * kDegree;

struct CropRequest {
    bool crop = true;
    bool deskew = true;
    bool autoBackground = true;
    int32_t margins[4] = {0, 0, 0, 0};  // left, top, right, bottom
    bool whiteFill = true;
};

// Rotates the page by angle radians (clockwise positive) about its centre.
// With expand the canvas grows so that no corner is lost.
PixPtr Rotate(PIX* page, double angle, bool white, bool expand) {
    int32_t depth = pixGetDepth(page);
    l_int32 type = depth == 1 ? L_ROTATE_SAMPLING : L_ROTATE_AREA_MAP;
    l_int32 fill = white ? L_BRING_IN_WHITE : L_BRING_IN_BLACK;
    int32_t width = expand ? pixGetWidth(page) : 0;
    int32_t height = expand ? pixGetHeight(page) : 0;
    return PixPtr(pixRotate(page, static_cast<l_float32>(angle), type, fill, width, height));
}

// The page's box in the rotated canvas: the outline turned by the same angle
// about the canvas centre, less one analysis pixel on every side so the
// blurred page edge stays out, plus the caller's margins.
struct BoxDeleter {
    void operator()(BOX* box) const { boxDestroy(&box); }
};
using BoxPtr = std::unique_ptr<BOX, BoxDeleter>;

BoxPtr PageBox(const RotatedRect& outline, double scale, double angle, PIX* source, PIX* rotated,
               const CropRequest& request) {
    double cx = outline.centre.x * scale - pixGetWidth(source) / 2.0;
    double cy = outline.centre.y * scale - pixGetHeight(source) / 2.0;
    double c = std::cos(angle), s = std::sin(angle);
    double x = cx * c - cy * s + pixGetWidth(rotated) / 2.0;
    double y = cx * s + cy * c + pixGetHeight(rotated) / 2.0;
    double width = outline.width * scale - 2 * scale;
    double height = outline.height * scale - 2 * scale;
    if (std::abs(outline.angle) > std::numbers::pi / 4 - kDegree && width < height) {
        std::swap(width, height);
    }
    auto left = static_cast<int32_t>(std::lround(x - width / 2)) - request.margins[0];
    auto top = static_cast<int32_t>(std::lround(y - height / 2)) - request.margins[1];
    auto right = static_cast<int32_t>(std::lround(x + width / 2)) + request.margins[2];
    auto bottom = static_cast<int32_t>(std::lround(y + height / 2)) + request.margins[3];
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, pixGetWidth(rotated));
    bottom = std::min(bottom, pixGetHeight(rotated));
    if (right <= left || bottom <= top) {
        return nullptr;
    }
    return BoxPtr(boxCreate(left, top, right - left, bottom - top));
}

// The text-line skew in degrees, measured on a copy that keeps body text
// legible; 0 when the page has too little text to tell.
double TextSkew(const ImageView& view) {
    GrayImage gray;
    if (!ReduceToGray(view, FactorForMaxSide(view, kTextAnalysisLongSide), 1, &gray)) {
        return 0;
    }
    PixPtr binary = Binarize(gray, kTextInkBelow);
    double degrees = 0;
    if (!binary || !TextDeskewDegrees(binary.get(), &degrees)) {
        return 0;
    }
    return degrees;
}

// The turn to apply in radians, clockwise positive: the page outline's,
// else the text lines'.
double TurnFor(FindResult found, const RotatedRect& outline, const ImageView& view,
               const CropRequest& request) {
    if (!request.deskew) {
        return 0;
    }
    double angle = found == FindResult::kFound ? -outline.angle : TextSkew(view) * kDegree;
    return std::abs(angle) < kMinTurn ? 0 : angle;
}

int AutoCrop(KXImage image, const CropRequest& request, KXImage* result) {
    ImageView view;
    if (GetImageView(image, &view) != 0) {
        return KX_ERR_ARGUMENT;
    }
    int32_t factor = FactorForMaxSide(view, kAnalysisLongSide);
    GrayImage gray;
    if (!ReduceToGray(view, factor, 1, &gray)) {
        return KX_ERR_ARGUMENT;
    }
    RotatedRect outline;
    FindResult found = FindDocument(gray, request.autoBackground, &outline);
    if (found == FindResult::kNothing) {
        return KX_ERR_NOT_FOUND;
    }
    double angle = TurnFor(found, outline, view, request);
    bool cropping = request.crop && found == FindResult::kFound;
    PixPtr page = RoiToPix(view);
    if (!page) {
        return KX_ERR_SYSTEM;
    }
    PixPtr output = angle == 0 ? PixPtr(pixClone(page.get()))
                               : Rotate(page.get(), angle, request.whiteFill, cropping);
    if (output && cropping) {
        BoxPtr box = PageBox(outline, factor, angle, page.get(), output.get(), request);
        if (!box) {
            return KX_ERR_NOT_FOUND;
        }
        output.reset(pixClipRectangle(output.get(), box.get(), nullptr));
    }
    ImageHolder made =
        output ? PixToImage(output.get(), view.type, ImageResolution(image)) : nullptr;
    if (!made) {
        return KX_ERR_SYSTEM;
    }
    *result = made.release();
    return KX_OK;
}

}  // namespace
}  // namespace kximgproc

int KXImgProc_ImageAutoCrop(KXImage image, int32_t crop, int32_t deskew, int32_t autoBackground,
                            int32_t marginLeft, int32_t marginTop, int32_t marginRight,
                            int32_t marginBottom, int32_t whiteFill, KXImage* result) {
    using namespace kximgproc;
    if (result == nullptr) {
        return KX_ERR_ARGUMENT;
    }
    *result = nullptr;
    if (marginLeft < 0 || marginTop < 0 || marginRight < 0 || marginBottom < 0) {
        return KX_ERR_ARGUMENT;
    }
    CropRequest request;
    request.crop = crop != 0;
    request.deskew = deskew != 0;
    request.autoBackground = autoBackground != 0;
    request.margins[0] = marginLeft;
    request.margins[1] = marginTop;
    request.margins[2] = marginRight;
    request.margins[3] = marginBottom;
    request.whiteFill = whiteFill != 0;
    return GuardedCall(__func__, [&] { return AutoCrop(image, request, result); });
}

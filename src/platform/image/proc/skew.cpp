#include "platform/image/proc/skew.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "platform/image/proc/image_access.h"

namespace kximgproc {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
// Below this Leptonica confidence the text-line angle is noise.
constexpr l_float32 kMinTextConfidence = 3.0f;
// A coarse sweep on a halved copy, then a fine search at full size: text of
// ordinary size at 150 dpi or less keeps enough contrast between lines.
constexpr l_int32 kSweepReduction = 2;
constexpr l_int32 kSearchReduction = 1;
constexpr l_float32 kSweepRangeDegrees = 7.0f;
constexpr l_float32 kSweepStepDegrees = 1.0f;
constexpr l_float32 kSearchPrecisionDegrees = 0.01f;

struct Extent {
    double uMin, uMax, vMin, vMax;
    double Area() const { return (uMax - uMin) * (vMax - vMin); }
};

// Extent of the points along the axes turned by angle.
Extent ExtentAt(const std::vector<PointF>& points, double angle) {
    double c = std::cos(angle);
    double s = std::sin(angle);
    Extent e{std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
             std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest()};
    for (const PointF& p : points) {
        double u = p.x * c + p.y * s;
        double v = -p.x * s + p.y * c;
        e.uMin = std::min(e.uMin, u);
        e.uMax = std::max(e.uMax, u);
        e.vMin = std::min(e.vMin, v);
        e.vMax = std::max(e.vMax, v);
    }
    return e;
}

double BestAngle(const std::vector<PointF>& points, double from, double to, double step) {
    double best = from;
    double bestArea = std::numeric_limits<double>::max();
    for (double angle = from; angle <= to + step / 2; angle += step) {
        double area = ExtentAt(points, angle).Area();
        if (area < bestArea) {
            bestArea = area;
            best = angle;
        }
    }
    return best;
}

}  // namespace

RotatedRect MinAreaRect(const std::vector<PointF>& points) {
    double coarse = BestAngle(points, -45 * kDegree, 45 * kDegree, 0.5 * kDegree);
    double fine = BestAngle(points, coarse - 0.5 * kDegree, coarse + 0.5 * kDegree, 0.02 * kDegree);
    fine = std::clamp(fine, -45 * kDegree, 45 * kDegree);
    Extent e = ExtentAt(points, fine);
    double cu = (e.uMin + e.uMax) / 2;
    double cv = (e.vMin + e.vMax) / 2;
    double c = std::cos(fine);
    double s = std::sin(fine);
    RotatedRect rect;
    rect.centre = {cu * c - cv * s, cu * s + cv * c};
    rect.width = e.uMax - e.uMin;
    rect.height = e.vMax - e.vMin;
    rect.angle = fine;
    return rect;
}

bool TextDeskewDegrees(PIX* binary, double* degrees) {
    l_float32 angle = 0;
    l_float32 confidence = 0;
    if (pixFindSkewSweepAndSearch(binary, &angle, &confidence, kSweepReduction, kSearchReduction,
                                  kSweepRangeDegrees, kSweepStepDegrees,
                                  kSearchPrecisionDegrees) != 0 ||
        confidence < kMinTextConfidence) {
        return false;
    }
    *degrees = angle;
    return true;
}

}  // namespace kximgproc

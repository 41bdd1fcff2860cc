// The page is told from the background by Otsu's threshold on the whole
// scan. A white page shows no edge against a white scanner lid, so only a
// background darker than the paper is searched for (black, or grey far
// enough below the paper to split from it): most of the scan's outer ring
// must lie below the threshold. The page is the largest connected region above it,
// and its
// outline (the outermost pixel of each row and column) gives the rotated
// rectangle.
#include "platform/image/proc/document_finder.h"

#include <array>
#include <cstdint>
#include <vector>

#include "platform/image/proc/components.h"
#include "platform/image/proc/gray_histogram.h"

namespace kximgproc {
namespace {

constexpr double kRingShare = 0.02;     // outer ring read to judge the background
constexpr double kRingMajority = 0.6;   // share of the ring that must be background
constexpr int32_t kMinContrast = 40;    // grey levels between background and page
constexpr double kMinPageShare = 0.05;  // smallest page, as a share of the scan

// Otsu's threshold and the distance between the two class means.
int32_t OtsuThreshold(const GrayImage& gray, int32_t* separation) {
    GrayHistogram h = HistogramOf(gray);
    const std::array<int64_t, 256>& histogram = h.counts;
    auto total = static_cast<double>(h.total);
    double sumAll = 0;
    for (int32_t i = 0; i < 256; ++i) {
        sumAll += static_cast<double>(i) * histogram[i];
    }
    double weightLow = 0, sumLow = 0, bestScore = -1;
    int32_t best = 128;
    *separation = 0;
    for (int32_t t = 0; t < 255; ++t) {
        weightLow += histogram[t];
        sumLow += static_cast<double>(t) * histogram[t];
        double weightHigh = total - weightLow;
        if (weightLow == 0 || weightHigh == 0) {
            continue;
        }
        double meanLow = sumLow / weightLow;
        double meanHigh = (sumAll - sumLow) / weightHigh;
        double score = weightLow * weightHigh * (meanHigh - meanLow) * (meanHigh - meanLow);
        if (score > bestScore) {
            bestScore = score;
            best = t;
            *separation = static_cast<int32_t>(meanHigh - meanLow);
        }
    }
    return best;
}

// Share of the outer ring at or below the threshold.
double DarkRingShare(const GrayImage& gray, int32_t threshold) {
    int32_t ring =
        std::max(2, static_cast<int32_t>(kRingShare * std::min(gray.width, gray.height)));
    int64_t dark = 0, count = 0;
    for (int32_t y = 0; y < gray.height; ++y) {
        bool rowInRing = y < ring || y >= gray.height - ring;
        for (int32_t x = 0; x < gray.width; ++x) {
            if (rowInRing || x < ring || x >= gray.width - ring) {
                ++count;
                dark += gray.At(x, y) <= threshold;
            }
        }
    }
    return count == 0 ? 0 : static_cast<double>(dark) / count;
}

// Outermost pixels of the component in every row and column.
std::vector<PointF> Outline(const std::vector<int32_t>& labels, int32_t width, const Component& c,
                            int32_t id) {
    std::vector<PointF> points;
    auto label = [&](int32_t x, int32_t y) { return labels[static_cast<size_t>(y) * width + x]; };
    for (int32_t y = c.top; y < c.bottom; ++y) {
        int32_t first = c.left, last = c.right - 1;
        while (first <= last && label(first, y) != id)
            ++first;
        while (last >= first && label(last, y) != id)
            --last;
        if (first <= last) {
            points.push_back({first + 0.0, y + 0.5});
            points.push_back({last + 1.0, y + 0.5});
        }
    }
    for (int32_t x = c.left; x < c.right; ++x) {
        int32_t first = c.top, last = c.bottom - 1;
        while (first <= last && label(x, first) != id)
            ++first;
        while (last >= first && label(x, last) != id)
            --last;
        if (first <= last) {
            points.push_back({x + 0.5, first + 0.0});
            points.push_back({x + 0.5, last + 1.0});
        }
    }
    return points;
}

}  // namespace

FindResult FindDocument(const GrayImage& gray, bool autoBackground, RotatedRect* outline) {
    int32_t separation = 0;
    int32_t threshold = OtsuThreshold(gray, &separation);
    if (separation < kMinContrast) {
        return FindResult::kNoBackground;
    }
    if (autoBackground && DarkRingShare(gray, threshold) < kRingMajority) {
        return FindResult::kNoBackground;
    }
    std::vector<uint8_t> page(gray.pixels.size());
    for (size_t i = 0; i < page.size(); ++i) {
        page[i] = gray.pixels[i] > threshold;
    }
    std::vector<int32_t> labels;
    std::vector<Component> components = FindComponents(page, gray.width, gray.height, &labels);
    int32_t largest = -1;
    for (int32_t i = 0; i < static_cast<int32_t>(components.size()); ++i) {
        if (largest < 0 || components[i].area > components[largest].area) {
            largest = i;
        }
    }
    double scanArea = static_cast<double>(gray.width) * gray.height;
    if (largest < 0 || components[largest].area < kMinPageShare * scanArea) {
        return FindResult::kNothing;
    }
    *outline = MinAreaRect(Outline(labels, gray.width, components[largest], largest + 1));
    return FindResult::kFound;
}

}  // namespace kximgproc

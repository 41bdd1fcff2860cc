#include "platform/image/image_reduce.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/image/pixel_rows.h"

namespace kximage {
namespace {

constexpr uint32_t kWeightBits = 12;
constexpr uint32_t kWeightOne = 1u << kWeightBits;

// The source pixels one destination pixel covers and their weights, which
// add up to kWeightOne.
struct Tap {
    uint32_t first = 0;
    std::vector<uint32_t> weights;
};

std::vector<Tap> MakeTaps(uint32_t from, uint32_t to) {
    std::vector<Tap> taps(to);
    double scale = static_cast<double>(from) / to;
    for (uint32_t i = 0; i < to; ++i) {
        double start = i * scale, end = std::min<double>(from, (i + 1) * scale);
        Tap& tap = taps[i];
        tap.first = static_cast<uint32_t>(start);
        uint32_t last = std::min<uint32_t>(from - 1, static_cast<uint32_t>(std::ceil(end)) - 1);
        uint32_t given = 0;
        for (uint32_t j = tap.first; j <= last; ++j) {
            double overlap = std::min<double>(end, j + 1) - std::max<double>(start, j);
            auto weight = static_cast<uint32_t>(overlap / scale * kWeightOne + 0.5);
            tap.weights.push_back(weight);
            given += weight;
        }
        // Rounding leftovers go to the largest weight so the sum stays exact.
        auto largest = std::max_element(tap.weights.begin(), tap.weights.end());
        *largest = *largest + kWeightOne - given;
    }
    return taps;
}

// Horizontal pass of one source row (as grey or colour bytes).
void ReduceRow(const uint8_t* row, uint32_t channels, const std::vector<Tap>& taps, uint32_t* out) {
    for (const Tap& tap : taps) {
        const uint8_t* in = row + size_t{tap.first} * channels;
        if (channels == 3) {
            uint32_t r = 0, g = 0, b = 0;
            for (uint32_t weight : tap.weights) {
                r += weight * in[0];
                g += weight * in[1];
                b += weight * in[2];
                in += 3;
            }
            out[0] = r;
            out[1] = g;
            out[2] = b;
            out += 3;
        } else {
            uint32_t sum = 0;
            for (uint32_t weight : tap.weights)
                sum += weight * *in++;
            *out++ = sum;
        }
    }
}

}  // namespace

Size PreviewSize(uint32_t width, uint32_t height, uint32_t maxSide) {
    if (maxSide == 0 || (width <= maxSide && height <= maxSide)) return Size{width, height};
    if (width >= height) {
        auto other = static_cast<uint32_t>(static_cast<double>(height) * maxSide / width + 0.5);
        return Size{maxSide, std::max(1u, other)};
    }
    auto other = static_cast<uint32_t>(static_cast<double>(width) * maxSide / height + 0.5);
    return Size{std::max(1u, other), maxSide};
}

uint32_t ReducedDpi(uint32_t dpi, uint32_t fullWidth, uint32_t width) {
    return fullWidth == 0 ? 0 : static_cast<uint32_t>(uint64_t{dpi} * width / fullWidth);
}

std::unique_ptr<KXImageObject> ReduceImage(const KXImageObject& source, Size size) {
    auto target = NewImage(size.width, size.height, source.type);
    if (!target) return nullptr;
    ClearPadding(target.get());
    target->dpi = ReducedDpi(source.dpi, source.width, size.width);
    uint32_t channels = source.type == KX_PIXEL_RGB ? 3 : 1;
    std::vector<Tap> columns = MakeTaps(source.width, size.width);
    std::vector<Tap> rows = MakeTaps(source.height, size.height);
    std::vector<uint8_t> grey(source.type == KX_PIXEL_BW ? source.width : 0);
    // Neighbouring output rows share at most one source row; its horizontal
    // pass is kept for the next output row.
    std::vector<uint32_t> reduced(size_t{size.width} * channels), kept(reduced.size());
    int64_t keptRow = -1;
    std::vector<uint64_t> sums(reduced.size());
    std::vector<uint8_t> outRow(reduced.size());
    for (uint32_t y = 0; y < size.height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        const Tap& tap = rows[y];
        for (size_t k = 0; k < tap.weights.size(); ++k) {
            uint32_t sourceRow = tap.first + static_cast<uint32_t>(k);
            const uint32_t* pass = kept.data();
            if (sourceRow != keptRow) {
                const uint8_t* row = Row(&source, sourceRow);
                if (source.type == KX_PIXEL_BW) {
                    ConvertPixels(row, KX_PIXEL_BW, 0, grey.data(), KX_PIXEL_GRAY, 0, source.width);
                    row = grey.data();
                }
                ReduceRow(row, channels, columns, reduced.data());
                pass = reduced.data();
                if (k + 1 == tap.weights.size()) {
                    kept.swap(reduced);
                    keptRow = sourceRow;
                    pass = kept.data();
                }
            }
            uint64_t weight = tap.weights[k];
            for (size_t i = 0; i < sums.size(); ++i)
                sums[i] += weight * pass[i];
        }
        uint8_t* out = source.type == KX_PIXEL_BW ? outRow.data() : Row(target.get(), y);
        constexpr uint64_t kHalf = uint64_t{1} << (2 * kWeightBits - 1);
        for (size_t i = 0; i < sums.size(); ++i)
            out[i] = static_cast<uint8_t>((sums[i] + kHalf) >> (2 * kWeightBits));
        if (source.type == KX_PIXEL_BW)
            ConvertPixels(out, KX_PIXEL_GRAY, 0, Row(target.get(), y), KX_PIXEL_BW, 0, size.width);
    }
    return target;
}

std::unique_ptr<KXImageObject> ConvertImage(std::unique_ptr<KXImageObject> image, uint32_t type) {
    if (!image || type == KX_PIXEL_KEEP || type == image->type) return image;
    if (EnsurePixels(image.get()) != KX_OK) return nullptr;
    auto converted = NewImage(image->width, image->height, type);
    if (!converted) return nullptr;
    ClearPadding(converted.get());
    converted->dpi = image->dpi;
    for (uint32_t y = 0; y < image->height; ++y)
        ConvertPixels(Row(image.get(), y), image->type, 0, Row(converted.get(), y), type, 0,
                      image->width);
    return converted;
}

}  // namespace kximage

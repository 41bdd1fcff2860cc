// KXImgProc_ResizeImage: separable resampling of a region of interest into
// another. Reduction averages the source area under each target pixel, so
// thumbnails keep thin lines and do not alias; enlargement interpolates
// bilinearly; "nearest" samples the pixel under each target centre.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/base/guarded_call.h"
#include "platform/image/proc/image_access.h"
#include "platform/image/proc/kx_imgproc.h"

namespace kximgproc {
namespace {

struct Tap {
    int32_t index;
    float weight;
};

// For each target index, the source indices it draws from and their weights.
using TapTable = std::vector<std::vector<Tap>>;

TapTable AreaTaps(int32_t srcLen, int32_t dstLen) {
    TapTable table(dstLen);
    double scale = static_cast<double>(srcLen) / dstLen;
    for (int32_t i = 0; i < dstLen; ++i) {
        double begin = i * scale;
        double end = begin + scale;
        for (auto s = static_cast<int32_t>(begin); s < srcLen && s < end; ++s) {
            double overlap = std::min<double>(end, s + 1) - std::max<double>(begin, s);
            if (overlap > 0) {
                table[i].push_back({s, static_cast<float>(overlap / scale)});
            }
        }
    }
    return table;
}

TapTable BilinearTaps(int32_t srcLen, int32_t dstLen) {
    TapTable table(dstLen);
    double scale = static_cast<double>(srcLen) / dstLen;
    for (int32_t i = 0; i < dstLen; ++i) {
        double pos = std::clamp((i + 0.5) * scale - 0.5, 0.0, static_cast<double>(srcLen - 1));
        auto s = static_cast<int32_t>(pos);
        auto frac = static_cast<float>(pos - s);
        table[i].push_back({s, 1.0f - frac});
        if (frac > 0 && s + 1 < srcLen) {
            table[i].push_back({s + 1, frac});
        }
    }
    return table;
}

TapTable NearestTaps(int32_t srcLen, int32_t dstLen) {
    TapTable table(dstLen);
    double scale = static_cast<double>(srcLen) / dstLen;
    for (int32_t i = 0; i < dstLen; ++i) {
        auto s = std::min(static_cast<int32_t>((i + 0.5) * scale), srcLen - 1);
        table[i].push_back({s, 1.0f});
    }
    return table;
}

TapTable MakeTaps(int32_t srcLen, int32_t dstLen, int32_t method) {
    if (method == KX_RESIZE_NEAREST) {
        return NearestTaps(srcLen, dstLen);
    }
    return dstLen < srcLen ? AreaTaps(srcLen, dstLen) : BilinearTaps(srcLen, dstLen);
}

// One source row of the region as samples: 3 per pixel for RGB, else 1.
void ReadRow(const ImageView& view, int32_t y, int32_t channels, float* out) {
    const uint8_t* row = view.Row(y);
    if (channels == 3) {
        std::copy(row + 3 * view.roi.left, row + 3 * view.roi.right, out);
        return;
    }
    for (int32_t x = view.roi.left; x < view.roi.right; ++x) {
        *out++ = GrayAt(row, view.type, x);
    }
}

// Every source row resampled to the target width; one source row is
// converted at a time, so a page is never held as floats.
std::vector<float> ResampleRows(const ImageView& src, int32_t channels, const TapTable& taps) {
    auto dstWidth = static_cast<int32_t>(taps.size());
    int32_t rows = src.RoiHeight();
    std::vector<float> in(static_cast<size_t>(src.RoiWidth()) * channels);
    std::vector<float> dst(static_cast<size_t>(dstWidth) * rows * channels, 0.0f);
    for (int32_t y = 0; y < rows; ++y) {
        ReadRow(src, src.roi.top + y, channels, in.data());
        float* out = dst.data() + static_cast<size_t>(y) * dstWidth * channels;
        for (int32_t x = 0; x < dstWidth; ++x) {
            for (const Tap& tap : taps[x]) {
                for (int32_t c = 0; c < channels; ++c) {
                    out[x * channels + c] += tap.weight * in[tap.index * channels + c];
                }
            }
        }
    }
    return dst;
}

std::vector<float> ResampleColumns(const std::vector<float>& src, int32_t rowLength,
                                   const TapTable& taps) {
    std::vector<float> dst(static_cast<size_t>(rowLength) * taps.size(), 0.0f);
    for (size_t y = 0; y < taps.size(); ++y) {
        float* out = dst.data() + y * rowLength;
        for (const Tap& tap : taps[y]) {
            const float* in = src.data() + static_cast<size_t>(tap.index) * rowLength;
            for (int32_t i = 0; i < rowLength; ++i) {
                out[i] += tap.weight * in[i];
            }
        }
    }
    return dst;
}

uint8_t ToByte(float value) {
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

void WriteSamples(const std::vector<float>& samples, int32_t channels, const ImageView& view) {
    const float* in = samples.data();
    for (int32_t y = view.roi.top; y < view.roi.bottom; ++y) {
        uint8_t* row = view.Row(y);
        for (int32_t x = view.roi.left; x < view.roi.right; ++x, in += channels) {
            uint8_t r = ToByte(in[0]);
            uint8_t g = channels == 3 ? ToByte(in[1]) : r;
            uint8_t b = channels == 3 ? ToByte(in[2]) : r;
            if (view.type == KX_PIXEL_RGB) {
                row[3 * x] = r;
                row[3 * x + 1] = g;
                row[3 * x + 2] = b;
            } else if (view.type == KX_PIXEL_GRAY) {
                row[x] = Luma(r, g, b);
            } else {
                auto mask = static_cast<uint8_t>(0x80 >> (x & 7));
                row[x >> 3] = Luma(r, g, b) < 128 ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask);
            }
        }
    }
}

int Resize(KXImage source, KXImage destination, int32_t method) {
    ImageView src, dst;
    if (GetImageView(source, &src) != 0 || GetImageView(destination, &dst) != 0) {
        return KX_ERR_ARGUMENT;
    }
    if (method != KX_RESIZE_NEAREST && method != KX_RESIZE_SMOOTH) {
        return KX_ERR_ARGUMENT;
    }
    int32_t channels = src.type == KX_PIXEL_RGB ? 3 : 1;
    std::vector<float> rows =
        ResampleRows(src, channels, MakeTaps(src.RoiWidth(), dst.RoiWidth(), method));
    std::vector<float> result = ResampleColumns(rows, dst.RoiWidth() * channels,
                                                MakeTaps(src.RoiHeight(), dst.RoiHeight(), method));
    WriteSamples(result, channels, dst);
    return KX_OK;
}

}  // namespace
}  // namespace kximgproc

int KXImgProc_ResizeImage(KXImage source, KXImage destination, int32_t method) {
    return GuardedCall(__func__, [&] { return kximgproc::Resize(source, destination, method); });
}

#include "platform/driver/sane/page_pixels.h"

#include <algorithm>
#include <cstring>

namespace {

int Channels(const SANE_Parameters& parameters) {
    return parameters.format == SANE_FRAME_RGB ? 3 : 1;
}

// Bytes a row needs at the page's depth.
int64_t RowBytes(const SANE_Parameters& parameters) {
    int64_t samples = static_cast<int64_t>(parameters.pixels_per_line) * Channels(parameters);
    return (samples * parameters.depth + 7) / 8;
}

// A 16-bit sample (host order) to 8 bits: the high byte, rounded.
uint8_t EightOfSixteen(const SANE_Byte* sample) {
    uint16_t value = 0;
    std::memcpy(&value, sample, sizeof value);
    return static_cast<uint8_t>(std::min(255, (value + 128) >> 8));
}

void PackRow(const SANE_Byte* in, int depth, int samples, bool greyBits, SANE_Byte* out) {
    if (depth == 8 || greyBits) {
        std::memcpy(out, in, static_cast<size_t>(depth == 8 ? samples : (samples + 7) / 8));
    } else if (depth == 16) {
        for (int i = 0; i < samples; ++i)
            out[i] = EightOfSixteen(in + 2 * i);
    } else {  // RGB at one bit per sample: a set bit is the full channel
        for (int i = 0; i < samples; ++i)
            out[i] = (in[i >> 3] & (0x80 >> (i & 7))) ? 255 : 0;
    }
}

}  // namespace

SANE_Status PackPage(SanePage page, SanePage* packed) {
    const SANE_Parameters& in = page.parameters;
    bool knownFormat = in.format == SANE_FRAME_GRAY || in.format == SANE_FRAME_RGB;
    bool knownDepth = in.depth == 1 || in.depth == 8 || in.depth == 16;
    if (!knownFormat || !knownDepth || in.pixels_per_line <= 0 || in.bytes_per_line < RowBytes(in))
        return SANE_STATUS_INVAL;
    int64_t available = static_cast<int64_t>(page.data.size()) / in.bytes_per_line;
    int64_t lines = in.lines > 0 ? in.lines : available;
    if (lines <= 0 || lines > available) return SANE_STATUS_INVAL;

    bool greyBits = in.format == SANE_FRAME_GRAY && in.depth == 1;
    SANE_Parameters out = in;
    out.depth = greyBits ? 1 : 8;
    out.lines = static_cast<SANE_Int>(lines);
    out.last_frame = SANE_TRUE;
    out.bytes_per_line = static_cast<SANE_Int>(RowBytes(out));
    packed->parameters = out;
    packed->resolution = page.resolution;
    const size_t packedSize = static_cast<size_t>(out.bytes_per_line) * static_cast<size_t>(lines);
    bool samplesKept = in.depth == 8 || greyBits;
    if (samplesKept && in.bytes_per_line == out.bytes_per_line) {
        // The rows are already tight: the read itself is the packed page.
        page.data.resize(packedSize);
        packed->data = std::move(page.data);
        return SANE_STATUS_GOOD;
    }
    packed->data.resize(packedSize);
    int samples = in.pixels_per_line * Channels(in);
    for (int64_t y = 0; y < lines; ++y)
        PackRow(page.data.data() + y * in.bytes_per_line, in.depth, samples, greyBits,
                packed->data.data() + y * out.bytes_per_line);
    return SANE_STATUS_GOOD;
}

void ApplyToneTable(SanePage* page, const std::array<uint8_t, 256>& table) {
    for (SANE_Byte& sample : page->data)
        sample = table[sample];
}

void SharpenPage(SanePage* page) {
    const int width = page->parameters.pixels_per_line;
    const int height = page->parameters.lines;
    const int channels = Channels(page->parameters);
    const auto stride = static_cast<size_t>(page->parameters.bytes_per_line);
    const std::vector<SANE_Byte> source = page->data;
    auto row = [&](int y) { return source.data() + static_cast<size_t>(y) * stride; };
    for (int y = 0; y < height; ++y) {
        const SANE_Byte* rows[3] = {row(std::max(y - 1, 0)), row(y),
                                    row(std::min(y + 1, height - 1))};
        SANE_Byte* out = page->data.data() + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            int columns[3] = {std::max(x - 1, 0), x, std::min(x + 1, width - 1)};
            for (int c = 0; c < channels; ++c) {
                int sum = 0;
                for (const SANE_Byte* near : rows)
                    for (int column : columns)
                        sum += near[column * channels + c];
                int centre = rows[1][x * channels + c];
                int sharpened = 2 * centre - (sum + 4) / 9;
                out[x * channels + c] = static_cast<SANE_Byte>(std::clamp(sharpened, 0, 255));
            }
        }
    }
}

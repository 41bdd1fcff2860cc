#include "platform/driver/sane/page_assembler.h"

#include <utility>

namespace {

// Bytes one row of a frame needs at least.
int64_t MinimumRowBytes(const SANE_Parameters& p, int samples) {
    return (static_cast<int64_t>(p.pixels_per_line) * samples * p.depth + 7) / 8;
}

bool Sensible(const SANE_Parameters& p, int samples) {
    return (p.depth == 1 || p.depth == 8 || p.depth == 16) && p.pixels_per_line > 0 &&
           p.bytes_per_line > 0 && p.bytes_per_line >= MinimumRowBytes(p, samples);
}

// Keeps the whole rows of data; *lines becomes their count.
void KeepWholeRows(const SANE_Parameters& p, std::vector<uint8_t>* data, SANE_Int* lines) {
    int64_t rows = static_cast<int64_t>(data->size()) / p.bytes_per_line;
    if (p.lines >= 0 && p.lines < rows) rows = p.lines;
    *lines = static_cast<SANE_Int>(rows);
    data->resize(static_cast<size_t>(rows) * static_cast<size_t>(p.bytes_per_line));
}

// One sample of a colour plane at x as eight or sixteen bits; a 1-bit
// colour sample is full intensity when set.
void CopySample(const uint8_t* row, int x, int depth, uint8_t* out) {
    if (depth == 16) {
        out[0] = row[2 * x];
        out[1] = row[2 * x + 1];
    } else if (depth == 8) {
        out[0] = row[x];
    } else {
        out[0] = (row[x / 8] & (0x80 >> (x % 8))) != 0 ? 255 : 0;
    }
}

}  // namespace

SANE_Status PageAssembler::AddFrame(const SANE_Parameters& parameters, std::vector<uint8_t> data) {
    if (complete_) return SANE_STATUS_INVAL;
    if (parameters.format == SANE_FRAME_GRAY || parameters.format == SANE_FRAME_RGB) {
        if (!Sensible(parameters, parameters.format == SANE_FRAME_RGB ? 3 : 1))
            return SANE_STATUS_INVAL;
        page_.parameters = parameters;
        page_.parameters.last_frame = SANE_TRUE;
        KeepWholeRows(parameters, &data, &page_.parameters.lines);
        page_.data = std::move(data);
        complete_ = true;
        return SANE_STATUS_GOOD;
    }
    int plane = parameters.format - SANE_FRAME_RED;
    if (plane < 0 || plane > 2 || havePlane_[plane] || !Sensible(parameters, 1))
        return SANE_STATUS_INVAL;
    bool first = !havePlane_[0] && !havePlane_[1] && !havePlane_[2];
    if (!first && (parameters.pixels_per_line != planeParameters_.pixels_per_line ||
                   parameters.depth != planeParameters_.depth ||
                   parameters.bytes_per_line != planeParameters_.bytes_per_line)) {
        return SANE_STATUS_INVAL;
    }
    SANE_Int lines = 0;
    KeepWholeRows(parameters, &data, &lines);
    if (first || lines < planeParameters_.lines) {
        planeParameters_ = parameters;
        planeParameters_.lines = lines;
    }
    planes_[plane] = std::move(data);
    havePlane_[plane] = true;
    if (!parameters.last_frame) return SANE_STATUS_GOOD;
    return JoinPlanes();
}

SANE_Status PageAssembler::JoinPlanes() {
    if (!havePlane_[0] || !havePlane_[1] || !havePlane_[2]) return SANE_STATUS_INVAL;
    const SANE_Parameters& p = planeParameters_;
    int depth = p.depth == 16 ? 16 : 8;
    int sampleBytes = depth / 8;
    SANE_Parameters& out = page_.parameters;
    out.format = SANE_FRAME_RGB;
    out.last_frame = SANE_TRUE;
    out.depth = depth;
    out.pixels_per_line = p.pixels_per_line;
    out.bytes_per_line = p.pixels_per_line * 3 * sampleBytes;
    out.lines = p.lines;
    page_.data.assign(static_cast<size_t>(out.bytes_per_line) * static_cast<size_t>(out.lines), 0);
    for (int y = 0; y < out.lines; ++y) {
        uint8_t* row = page_.data.data() + static_cast<size_t>(y) * out.bytes_per_line;
        for (int c = 0; c < 3; ++c) {
            const uint8_t* source = planes_[c].data() + static_cast<size_t>(y) * p.bytes_per_line;
            for (int x = 0; x < p.pixels_per_line; ++x)
                CopySample(source, x, p.depth, row + (3 * x + c) * sampleBytes);
        }
    }
    complete_ = true;
    return SANE_STATUS_GOOD;
}

SanePage PageAssembler::Take(int resolution) {
    page_.resolution = resolution;
    return std::move(page_);
}

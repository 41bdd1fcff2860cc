#include "platform/image/jpeg_strips.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kximage {
namespace {

uint32_t ReadBigEndian16(const uint8_t* p) {
    return (uint32_t{p[0]} << 8) | p[1];
}

struct Frame {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t components = 0;
    uint32_t hMax = 1;
    uint32_t vMax = 1;
};

// The frame header after its length field: 8-bit samples, a size, and grey
// 1x1 or three components with only the first subsampled (by 1 or 2).
bool ReadFrame(const uint8_t* body, size_t length, Frame* frame) {
    if (length < 6 || body[0] != 8) return false;
    frame->height = ReadBigEndian16(body + 1);
    frame->width = ReadBigEndian16(body + 3);
    frame->components = body[5];
    if (frame->width == 0 || frame->height == 0) return false;
    if (length != 6 + 3 * size_t{frame->components}) return false;
    const uint8_t* sampling = body + 7;  // every third byte from here
    if (frame->components == 1) return sampling[0] == 0x11;
    if (frame->components != 3 || sampling[3] != 0x11 || sampling[6] != 0x11) return false;
    frame->hMax = sampling[0] >> 4;
    frame->vMax = sampling[0] & 0x0F;
    return frame->hMax >= 1 && frame->hMax <= 2 && frame->vMax >= 1 && frame->vMax <= 2;
}

// A sequential scan of all components of the frame.
bool IsWholeSequentialScan(const uint8_t* body, size_t length, uint32_t components) {
    if (length < 1 || body[0] != components || length != 4 + 2 * size_t{components}) return false;
    const uint8_t* spectral = body + 1 + 2 * components;
    return spectral[0] == 0 && spectral[1] == 63 && spectral[2] == 0;
}

bool IsOtherFrameKind(uint8_t marker) {
    // Progressive, lossless, hierarchical and arithmetic-coded frames, and
    // arithmetic-coding conditioning tables.
    return (marker >= 0xC2 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8);
}

// Walks the marker segments from SOI to the start of the scan, which must be
// the only scan of a frame that qualifies. Stray bytes between segments, which
// a decoder skips with a warning, disqualify the stream.
bool ReadHeaders(const uint8_t* bytes, size_t size, Frame* frame, uint32_t* restartInterval,
                 JpegRestartLayout* layout) {
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
    bool frameSeen = false;
    *restartInterval = 0;
    size_t i = 2;
    while (i < size) {
        if (bytes[i] != 0xFF) return false;
        while (i < size && bytes[i] == 0xFF)
            ++i;
        if (i + 3 > size) return false;
        uint8_t marker = bytes[i++];
        size_t length = ReadBigEndian16(bytes + i);
        if (marker == 0x01 || marker == 0x00 || (marker >= 0xD0 && marker <= 0xD9)) return false;
        if (length < 2 || i + length > size) return false;
        const uint8_t* body = bytes + i + 2;
        size_t bodyLength = length - 2;
        if (marker == 0xC0 || marker == 0xC1) {
            if (frameSeen || !ReadFrame(body, bodyLength, frame)) return false;
            frameSeen = true;
            layout->heightField = i + 3;
        } else if (IsOtherFrameKind(marker)) {
            return false;
        } else if (marker == 0xDD) {
            if (bodyLength != 2 || layout->restartSegment != 0) return false;
            *restartInterval = ReadBigEndian16(body);
            layout->restartSegment = i - 2;
        } else if (marker == 0xDA) {
            if (!frameSeen || !IsWholeSequentialScan(body, bodyLength, frame->components))
                return false;
            layout->scanData = i + length;
            return true;
        }
        i += length;
    }
    return false;
}

// Records every restart marker of the coded data, which must come numbered
// 0, 1, ... 7, 0, ... and end at the EOI marker. Within coded data a 0xFF byte
// is followed by a stuffed 0x00, by fill 0xFF bytes or by a marker.
bool FindRestarts(const uint8_t* bytes, size_t size, JpegRestartLayout* layout) {
    size_t i = layout->scanData;
    while (i < size) {
        const void* found = std::memchr(bytes + i, 0xFF, size - i);
        if (found == nullptr) return false;
        size_t at = static_cast<size_t>(static_cast<const uint8_t*>(found) - bytes);
        while (at + 1 < size && bytes[at + 1] == 0xFF)
            ++at;
        if (at + 1 >= size) return false;
        uint8_t next = bytes[at + 1];
        i = at + 2;
        if (next == 0x00) continue;
        if (next == 0xD9) {
            layout->scanEnd = at;
            return true;
        }
        if (next < 0xD0 || next > 0xD7 || next - 0xD0u != layout->restarts.size() % 8) return false;
        layout->restarts.push_back(at);
    }
    return false;
}

uint32_t DivideRoundingUp(uint32_t value, uint32_t divisor) {
    return (value + divisor - 1) / divisor;
}

}  // namespace

bool ReadRestartLayout(const uint8_t* bytes, size_t size, JpegRestartLayout* layout) {
    *layout = JpegRestartLayout{};
    Frame frame;
    uint32_t restartInterval = 0;
    if (!ReadHeaders(bytes, size, &frame, &restartInterval, layout)) return false;
    if (uint64_t{frame.width} * frame.height < kMinStripPixels || restartInterval == 0)
        return false;
    uint32_t mcusPerRow = DivideRoundingUp(frame.width, 8 * frame.hMax);
    if (restartInterval % mcusPerRow != 0) return false;
    layout->width = frame.width;
    layout->height = frame.height;
    layout->mcuHeight = 8 * frame.vMax;
    layout->rowsPerInterval = restartInterval / mcusPerRow;
    uint32_t mcuRows = DivideRoundingUp(frame.height, layout->mcuHeight);
    uint32_t intervals = DivideRoundingUp(mcuRows, layout->rowsPerInterval);
    if (intervals < 4) return false;
    layout->restarts.reserve(intervals - 1);
    return FindRestarts(bytes, size, layout) && layout->Intervals() == intervals;
}

uint32_t JpegRestartLayout::RowOf(uint32_t interval) const {
    uint64_t row = uint64_t{interval} * rowsPerInterval * mcuHeight;
    return static_cast<uint32_t>(std::min<uint64_t>(row, height));
}

uint32_t EncoderRestartRows(uint32_t width, uint32_t height, uint32_t mcuWidth,
                            uint32_t mcuHeight) {
    if (uint64_t{width} * height < kMinStripPixels) return 0;
    uint32_t mcuRows = DivideRoundingUp(height, mcuHeight);
    uint32_t rows = DivideRoundingUp(mcuRows, kEncoderRestartIntervals);
    // The interval is written as a 16-bit count of MCUs.
    uint32_t most = 65535 / DivideRoundingUp(width, mcuWidth);
    return std::min(rows, most);
}

void PlanJpegStrips(const JpegRestartLayout& layout, uint32_t pixelsPerByte, bool contextRows,
                    JpegStrip* top, JpegStrip* bottom) {
    auto costAbove = [&](uint32_t interval) {
        uint64_t pixels = uint64_t{layout.RowOf(interval)} * layout.width;
        size_t bytes = layout.DataBegin(interval) - layout.scanData;
        return static_cast<int64_t>(bytes + pixels / pixelsPerByte);
    };
    uint32_t intervals = layout.Intervals();
    int64_t total = static_cast<int64_t>(layout.scanEnd - layout.scanData +
                                         uint64_t{layout.height} * layout.width / pixelsPerByte);
    auto imbalance = [&](uint32_t seam) { return std::abs(2 * costAbove(seam) - total); };
    uint32_t seam = 2;
    for (uint32_t candidate = 3; candidate + 2 <= intervals; ++candidate)
        if (imbalance(candidate) < imbalance(seam)) seam = candidate;
    uint32_t overlap = contextRows ? 1 : 0;
    uint32_t seamRow = layout.RowOf(seam);
    *top = JpegStrip{0, seam + overlap, 0, seamRow};
    *bottom = JpegStrip{seam - overlap, intervals, seamRow, layout.height};
}

}  // namespace kximage

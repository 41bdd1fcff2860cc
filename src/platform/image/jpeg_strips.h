// Splitting one JPEG stream into horizontal strips that decode on their own.
//
// A sequential Huffman-coded stream whose restart markers fall on whole MCU
// rows can be cut at any restart marker: the coder's state (the DC
// predictions, the bit buffer) starts afresh after each marker. A strip is
// then the file's own headers with the frame height changed to the strip's
// rows, followed by a slice of the coded data; nothing of the coded data is
// copied or changed (the decoder renumbers the restart markers as it reads).
// A slice of a single interval is a stream without restart markers, which
// libjpeg-turbo decodes faster: it gives up its fast Huffman decoder for any
// stream with a restart interval.
//
// Only streams of the simple, common kind are split: 8-bit baseline or
// extended sequential Huffman coding in one interleaved scan, grey (1x1) or
// three components with the first sampled 1x1, 2x1, 1x2 or 2x2 and the others
// 1x1, a restart interval of whole MCU rows, every restart marker present and
// numbered in sequence, and at least kMinStripPixels pixels. Anything else
// (progressive or arithmetic coding, no restart interval, a missing or
// misnumbered marker, odd sampling, small images) is left to the whole-stream
// decode. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kximage {

// Images smaller than this gain nothing from a second thread; the encoder
// writes restart markers only from this size on.
constexpr uint64_t kMinStripPixels = uint64_t{1} << 18;

// The encoder cuts an image into about this many restart intervals: enough to
// place the seam within a few percent of the middle of the work, few enough
// that decoding each interval as a stream of its own costs little.
constexpr uint32_t kEncoderRestartIntervals = 32;

// The restart interval, in MCU rows, that the encoder writes for an image of
// this size whose MCU rows are mcuHeight pixels high; 0 for none.
uint32_t EncoderRestartRows(uint32_t width, uint32_t height, uint32_t mcuWidth, uint32_t mcuHeight);

// Where the parts of a splittable stream lie. Interval i covers image rows
// [RowOf(i), RowOf(i + 1)) and coded bytes [DataBegin(i), DataEnd(i)).
struct JpegRestartLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t mcuHeight = 0;        // pixel rows of one MCU row: 8 or 16
    uint32_t rowsPerInterval = 0;  // MCU rows between two restart markers
    size_t heightField = 0;        // offset of the frame height (2 bytes, big-endian)
    size_t restartSegment = 0;     // offset of the DRI segment (6 bytes)
    size_t scanData = 0;           // first byte of the coded data
    size_t scanEnd = 0;            // the marker that ends the coded data (EOI)
    std::vector<size_t> restarts;  // offset of each restart marker (its 0xFF 0xDn)

    uint32_t Intervals() const { return static_cast<uint32_t>(restarts.size() + 1); }
    // The first image row of an interval; the height for Intervals().
    uint32_t RowOf(uint32_t interval) const;
    size_t DataBegin(uint32_t interval) const {
        return interval == 0 ? scanData : restarts[interval - 1] + 2;
    }
    size_t DataEnd(uint32_t interval) const {
        return interval + 1 == Intervals() ? scanEnd : restarts[interval];
    }
};

// Fills layout and returns true when bytes (one complete JPEG stream) can be
// split as described above.
bool ReadRestartLayout(const uint8_t* bytes, size_t size, JpegRestartLayout* layout);

// One strip: the intervals [firstInterval, endInterval) it decodes, of which
// image rows [keepBegin, keepEnd) are its share of the picture.
struct JpegStrip {
    uint32_t firstInterval = 0;
    uint32_t endInterval = 0;
    uint32_t keepBegin = 0;
    uint32_t keepEnd = 0;
};

// Cuts a stream into two strips of about equal work: entropy decoding costs
// in proportion to the coded bytes, the rest (inverse DCT, upsampling, colour
// conversion) in proportion to the pixels, weighed as one byte for every
// pixelsPerByte pixels (about 16 for 1/8-scale decodes, 4 for full size).
// With contextRows (the decoder smooths chroma between neighbouring rows),
// each strip also decodes one restart interval beyond its share on the seam
// side, so that the rows next to the seam see the same neighbours as in a
// whole-stream decode.
void PlanJpegStrips(const JpegRestartLayout& layout, uint32_t pixelsPerByte, bool contextRows,
                    JpegStrip* top, JpegStrip* bottom);

}  // namespace kximage

// The inside of an image handle, shared by the files of the image layer.
//
// An image holds its pixels in one block of height rows, widthStep bytes
// apart (rows padded to 4 bytes). An image loaded from a JPEG file may hold
// no pixels yet: it keeps the file's bytes (its "pristine" JPEG) and decodes
// them the first time something needs pixels. Any call that may change the
// pixels drops the pristine bytes, so a pristine image always shows exactly
// what its JPEG bytes decode to.
//
// Thread rule and ownership as for the public handle: one thread at a time per
// image; the pristine bytes are immutable and may be shared by clones that live
// on different threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/image/kx_image.h"

namespace kximage {

// The encoded bytes of a JPEG file and what its header says about them.
struct JpegSource {
    std::vector<uint8_t> bytes;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t components = 0;  // 1 grey, 3 colour, 4 CMYK
    uint32_t dpi = 0;         // from the JFIF density; 0 = unknown
    // Baseline or progressive Huffman coding of grey or YCbCr colour: a PDF or
    // OFD page may carry these bytes as they are.
    bool embeddable = false;
};

// Largest image the layer creates: each side and the pixel block in bytes.
constexpr uint32_t kMaxCreateSide = 1u << 20;
constexpr uint64_t kMaxCreateBytes = uint64_t{1} << 32;

bool IsPixelType(uint32_t type);
// Bytes of pixel data in one row of width pixels, without padding.
uint64_t PackedRowBytes(uint32_t width, uint32_t type);
// The row stride the layer gives its own images (4-byte aligned).
uint64_t AlignedRowBytes(uint32_t width, uint32_t type);

}  // namespace kximage

struct KXImageObject {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t type = 0;
    uint32_t widthStep = 0;
    uint32_t dpi = 0;
    bool hasRoi = false;
    KXRect roi{};
    // Null while a pristine JPEG has not been decoded.
    std::unique_ptr<uint8_t[]> pixels;
    std::shared_ptr<const kximage::JpegSource> jpeg;
};

struct KXBufferObject {
    std::vector<uint8_t> bytes;
};

namespace kximage {

// A new image with an allocated but unset pixel block; null when the size or
// type is not allowed or the memory is not available.
std::unique_ptr<KXImageObject> NewImage(uint32_t width, uint32_t height, uint32_t type);
// A new image of the given type that decodes source on first use; null when
// the type is not allowed.
std::unique_ptr<KXImageObject> NewLazyJpegImage(std::shared_ptr<const JpegSource> source,
                                                uint32_t type);
// Zeroes the bytes past the last pixel of every row (decoders write pixels
// only).
void ClearPadding(KXImageObject* image);
// Decodes a pending pristine JPEG; 0 when the pixels are present afterwards.
int EnsurePixels(KXImageObject* image);
// Row y of an image whose pixels are present.
inline uint8_t* Row(KXImageObject* image, uint32_t y) {
    return image->pixels.get() + static_cast<size_t>(y) * image->widthStep;
}
inline const uint8_t* Row(const KXImageObject* image, uint32_t y) {
    return image->pixels.get() + static_cast<size_t>(y) * image->widthStep;
}
// The region of interest, or the whole image.
KXRect EffectiveRoi(const KXImageObject* image);
// Hands out a new buffer holding bytes.
KXBuffer NewBuffer(std::vector<uint8_t> bytes);

}  // namespace kximage

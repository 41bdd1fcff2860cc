// TIFF pages on libtiff.
//
// Reading (LoadTiff in image_loader.h) takes the first directory of the file.
// Strips of 1-bit black-and-white (min-is-white or min-is-black), 8-bit grey,
// 8-bit RGB, palette images and JPEG-compressed YCbCr are read row by row;
// anything else libtiff's RGBA reader understands (tiles, planar data, 16-bit
// samples, CMYK, other orientations) goes through that reader; the rest is
// refused.
//
// Writing: one page per directory, with the compression rules of
// kx_imgfmt.h. CCITT fax helpers serve PDF pages, whose CCITT streams are the
// bare strip data of a TIFF page.
// Any thread; no shared state.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/image/image_object.h"

namespace kximage {

// Appends the image as a new directory of an open TIFF. Unknown compression
// codes are taken as LZW; quality is used for JPEG compression.
int WriteTiffPage(TIFF* tiff, const KXImageObject& image, uint32_t compression,
                  uint32_t jpegQuality);

// CCITT G4 data of the image (thresholded to black and white first), coding
// 1 bits of our rows (black) as black runs.
int EncodeG4(const KXImageObject& image, std::vector<uint8_t>* out);

// Decodes CCITT G4 data of the given size; blackRunsAreBlack says whether the
// black runs of the code show as black (else the picture is inverted).
std::unique_ptr<KXImageObject> DecodeG4(const uint8_t* data, size_t size, uint32_t width,
                                        uint32_t height, bool blackRunsAreBlack);

}  // namespace kximage

// The image-file library: format detection, loading and saving of single
// images, multi-page document writers and JPEG encoding into a buffer.
//
// Formats (codes): 1 JPEG "jpg", 2 BMP "bmp", 3 PNG "png", 4 TIFF "tif",
// 5 PDF "pdf", 6 OFD "ofd"; 0 = not recognised, or as an argument "let the
// library decide" (by content in loads, by the path's extension in saves and
// writers; extensions match without regard to case, "jpeg" and "tiff" too).
//
// Loading:
//  - The format is judged from the content, never from the extension.
//  - Multi-page files give their first page: the first TIFF directory, the
//    first PDF page, the first OFD page's image.
//  - A PDF page that shows nothing but one image covering the page (invisible
//    text, as in searchable scans, may lie over it) is read back as that
//    image without rendering, when the image is JPEG, Flate-compressed or
//    uncompressed grey, colour or 1-bit, or CCITT G4; any other page is
//    rendered with poppler at 200 dpi (less for pages beyond 2^26 pixels).
//  - Loads fill the image resolution from the file (JFIF density, TIFF and BMP
//    resolution, PNG pHYs, PDF and OFD page size); 0 when the file has none.
//  - An image loaded from a JPEG file (or a PDF or OFD page that is a JPEG) in
//    its own pixel type (or a grey JPEG as colour) keeps the file's bytes and
//    decodes them only when pixels are needed; as long as it is not modified,
//    PDF and OFD writers embed those bytes unchanged and a JPEG save writes
//    them unchanged, whatever quality is asked for (only the JFIF density is
//    rewritten when the image's resolution was changed).
//  - Large baseline JPEG files with restart markers on MCU rows (as saved by
//    this library) are decoded in two strips on two threads, with the same
//    pixels as a decode in one piece.
//  - Bad input (empty, truncated or corrupt files, sizes beyond 65535 pixels a
//    side or 2^28 pixels, sizes the file's length cannot justify, a ZIP that is
//    not an OFD) gives a non-zero status and no image.
//
// Saving: the whole image is written, whatever its region of interest.
//  - JPEG: baseline, quality from ImageSaveInfo (80 without one; values above
//    100 are taken as 100). Black-and-white images are written as grey.
//    Images of 2^18 pixels or more carry restart markers every few MCU rows
//    (about 32 intervals), so that loads can decode them on two threads.
//  - BMP: 24-bit colour, 8-bit grey palette, or 1-bit.
//  - PNG: 24-bit colour, 8-bit grey, or 1-bit.
//  - TIFF: compression from ImageSaveInfo (LZW without one; an unknown code is
//    taken as LZW): none 1, LZW 5 (with horizontal prediction for grey and
//    colour), JPEG 7 (grey and colour; black-and-white is written as grey)
//    with the JPEG-in-TIFF quality, CCITT G4 4 (black and white only: grey and
//    colour images are thresholded first).
//  - PDF: one page per image, page size from the pixel size and resolution
//    (200 dpi when unknown); grey and colour pages are JPEG (DCT) images at
//    the JPEG quality, black-and-white pages CCITT G4 images.
//  - OFD: as described in ofd_package.h (JPEG pages, 1-bit PNG for black and
//    white).
// A failed save leaves no file at the path.
//
// Writers hold one document open; pages are added one at a time and the file
// is complete after the close call, which also releases the writer (whatever
// it returns). A writer closed without pages leaves no file and returns
// non-zero. TIFF writers write each page as it comes; PDF and OFD writers keep
// each page's encoded image (never its pixels) until the close.
//
// Every call returns 0 for success. Handles belong to their creator. Calls on
// different images and writers may run on different threads at once; one
// image or writer is used by one thread at a time.
#pragma once

#include <cstdint>

#include "platform/image/kx_image.h"

enum KXImageFormat : uint32_t {
    KX_FORMAT_UNKNOWN = 0,
    KX_FORMAT_JPEG = 1,
    KX_FORMAT_BMP = 2,
    KX_FORMAT_PNG = 3,
    KX_FORMAT_TIFF = 4,
    KX_FORMAT_PDF = 5,
    KX_FORMAT_OFD = 6,
};

// Values of the TIFF "Compression" tag used in ImageSaveInfo.
enum KXTiffCompression : uint32_t {
    KX_TIFF_NONE = 1,
    KX_TIFF_CCITT_G4 = 4,
    KX_TIFF_LZW = 5,
    KX_TIFF_JPEG = 7,
};

struct ImageFileInfo {
    uint32_t width;
    uint32_t height;
    uint32_t type;    // pixel type as stored (1, 2 or 4)
    uint32_t format;  // KXImageFormat
    uint32_t dpi;     // 0 = unknown
};

struct ImageSaveInfo {
    uint32_t jpegQuality;      // 0..100
    uint32_t tiffCompression;  // KXTiffCompression
    uint32_t tiffJpegQuality;  // 0..100
};

struct KXImgWriterObject;
using KXImgWriter = KXImgWriterObject*;

// *format = the format of the file's content; 0 (and status 0) when the file
// is readable but not a recognised image or document.
int KXImgFmt_GetImgFmtType(const char* path, uint32_t* format);

// Full load (image not null): a new image in the requested pixel type
// (0 = as stored) and origin (0 or 1); info, when not null, is filled too.
// Information-only load (image null, info not null): fills info without
// decoding pixels.
int KXImgFmt_LoadImage(const char* path, uint32_t format, ImageFileInfo* info, uint32_t type,
                       uint32_t origin, KXImage* image);

// A load for previews: an image whose long side is at most maxSide pixels,
// reduced with the same rounding as the thumbnails (the long side becomes
// maxSide, the other side max(1, round(side * maxSide / longSide))); smaller
// images come at their own size. JPEG files are decoded with libjpeg-turbo's
// DCT scaling, so a large page is never decoded at full size; PDF pages are
// rendered at the reduced size. The result is never pristine.
int KXImgFmt_LoadImageScaled(const char* path, uint32_t format, uint32_t maxSide, uint32_t type,
                             uint32_t origin, KXImage* image);

// format 0: by the path's extension. info may be null.
int KXImgFmt_SaveImage(KXImage image, uint32_t format, const ImageSaveInfo* info, const char* path);

// JPEG file bytes of the image in a new buffer (quality from info, 80 when
// info is null).
int KXImgFmt_SaveJpegImageToBuffer(KXImage image, const ImageSaveInfo* info, KXBuffer* buffer);

// Generic multi-page writer: format 0 = by the extension ("tif", "pdf" or
// "ofd"), or 4, 5, 6.
int KXImgFmt_OpenImageWriter(const char* path, uint32_t format, KXImgWriter* writer);
int KXImgFmt_SaveImageToWriter(KXImgWriter writer, KXImage image, const ImageSaveInfo* info);
int KXImgFmt_CloseImageWriter(KXImgWriter writer);

// First-generation writers. The TIFF writer follows the TIFF rules above; the
// PDF and OFD writers make every page a JPEG image (black-and-white images are
// written as grey JPEG). info may be null.
int KXImgFmt_OpenTiffWriter(const char* path, KXImgWriter* writer);
int KXImgFmt_SaveImageToTiffWriter(KXImgWriter writer, KXImage image, const ImageSaveInfo* info);
int KXImgFmt_CloseTiffWriter(KXImgWriter writer);

int KXImgFmt_OpenPdfImageWriter(const char* path, KXImgWriter* writer);
int KXImgFmt_SaveJpegImageToPdfImageWriter(KXImgWriter writer, KXImage image,
                                           const ImageSaveInfo* info);
int KXImgFmt_ClosePdfImageWriter(KXImgWriter writer);

int KXImgFmt_OpenOfdImageWriter(const char* path, KXImgWriter* writer);
int KXImgFmt_SaveJpegImageToOfdImageWriter(KXImgWriter writer, KXImage image,
                                           const ImageSaveInfo* info);
int KXImgFmt_CloseOfdImageWriter(KXImgWriter writer);

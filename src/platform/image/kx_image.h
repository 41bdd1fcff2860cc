// Image objects and byte buffers of the base platform library.
//
// An image is a block of pixels with a description, at most one region of
// interest (ROI) and an optional resolution. Pixel types: 1 black-and-white
// (1 bit per pixel, packed most significant bit first, 1 = black, rows padded
// to whole bytes), 2 grey (8 bits), 4 RGB (8 bits per channel, R, G, B in that
// order). Origin 1: row 0 is the top row. Rectangles are left, top, right,
// bottom with right and bottom exclusive.
//
// Handles are owned by whoever created, loaded or cloned them and released
// with KXBase_DestroyImage / KXBase_DestroyBuffer. An image may be used by one
// thread at a time; different images may be used on different threads.
// Every call returns 0 for success.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/base/kx_status.h"

struct KXImageObject;
struct KXBufferObject;
using KXImage = KXImageObject*;
using KXBuffer = KXBufferObject*;

enum KXPixelType : uint32_t {
    KX_PIXEL_KEEP = 0,  // in a load: as stored; in a clone: the source's type
    KX_PIXEL_BW = 1,
    KX_PIXEL_GRAY = 2,
    KX_PIXEL_RGB = 4,
};

constexpr uint32_t KX_ORIGIN_TOP_LEFT = 1;

struct KXImageInfo {
    uint32_t width;
    uint32_t height;
    uint32_t type;       // KXPixelType
    uint32_t widthStep;  // bytes per row
    uint32_t origin;
};

struct KXRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// A white image (all bits 0 for type 1).
int KXBase_CreateImage(uint32_t width, uint32_t height, uint32_t type, uint32_t origin,
                       KXImage* image);
// Copies pixels described by info (width, height, type, widthStep, origin)
// into a new image of the requested type (0 = info's type), converting
// between types. reserved must be null.
int KXBase_CreateImageFromData(const void* pixels, const KXImageInfo* info, void* reserved,
                               uint32_t type, uint32_t origin, KXImage* image);
int KXBase_GetImageInfo(KXImage image, KXImageInfo* info);
// *data = the first byte of row 0; rows are widthStep bytes apart. The
// pointer is valid until the image is changed or destroyed.
int KXBase_GetImageData(KXImage image, uint8_t** data);
// Copies the source's ROI into the destination's ROI, converting the pixel
// type; when the sizes differ, the overlapping top-left part is copied.
int KXBase_CopyImage(KXImage source, KXImage destination);
// A new image of the source's ROI, in the requested type and origin (0 = the
// source's).
int KXBase_CloneImage(KXImage source, uint32_t type, uint32_t origin, KXImage* image);
// Rotations of the source into a destination already created with the
// rotated size and the same type.
int KXBase_ImageRotateLeft(KXImage source, KXImage destination);
int KXBase_ImageRotateRight(KXImage source, KXImage destination);
int KXBase_ImageRotate180(KXImage source, KXImage destination);
// Fails (changing nothing) unless 0 <= left < right <= width and
// 0 <= top < bottom <= height.
int KXBase_SetImageROI(KXImage image, const KXRect* rect);
// The ROI, or the whole image when none is set.
int KXBase_GetImageROI(KXImage image, KXRect* rect);
int KXBase_ResetImageROI(KXImage image);
int KXBase_DestroyImage(KXImage image);

// Resolution in dots per inch; 0 = unknown (writers then assume 200).
int KXBase_SetImageResolution(KXImage image, uint32_t dpi);
int KXBase_GetImageResolution(KXImage image, uint32_t* dpi);

// A byte buffer filled by the image-file library.
const uint8_t* KXBase_GetBufferData(KXBuffer buffer);
size_t KXBase_GetBufferSize(KXBuffer buffer);
int KXBase_DestroyBuffer(KXBuffer buffer);

// The decoders of the image-file library and what they share. Each decoder
// reads a file held in memory, fills the file information, and (unless only
// the information is asked for) makes an image in the type it stores; the
// common finishing step then reduces it for previews and converts it to the
// requested pixel type. Decoders check every size against the load limits
// before allocating. Any thread; no shared state.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/image/image_object.h"
#include "platform/image/kx_imgfmt.h"

namespace kximage {

struct LoadRequest {
    uint32_t type = KX_PIXEL_KEEP;  // pixel type wanted, 0 = as stored
    uint32_t maxSide = 0;           // preview loads: the long side at most; 0 = full size
    bool infoOnly = false;
};

struct LoadResult {
    ImageFileInfo info{};
    std::unique_ptr<KXImageObject> image;
};

int LoadJpeg(std::vector<uint8_t> bytes, const LoadRequest& request, LoadResult* result);
int LoadBmp(const std::vector<uint8_t>& bytes, const LoadRequest& request, LoadResult* result);
int LoadPng(const std::vector<uint8_t>& bytes, const LoadRequest& request, LoadResult* result);
int LoadTiff(const std::vector<uint8_t>& bytes, const LoadRequest& request, LoadResult* result);
int LoadPdf(std::vector<uint8_t> bytes, const LoadRequest& request, LoadResult* result);
int LoadOfd(const char* path, const LoadRequest& request, LoadResult* result);

// Loads an image file held in memory (JPEG, BMP, PNG or TIFF; format 0 =
// judge by content) and finishes it for the request.
int LoadImageBytes(std::vector<uint8_t> bytes, uint32_t format, const LoadRequest& request,
                   LoadResult* result);

// Reduces a loaded image for a preview request and converts it to the
// requested type.
int FinishLoad(const LoadRequest& request, LoadResult* result);

}  // namespace kximage

// Format detection and loading: the KXImgFmt_ load calls and the steps every
// decoder shares.
#include "platform/image/image_loader.h"

#include <cstring>

#include "platform/base/guarded_call.h"
#include "platform/base/kx_log.h"
#include "platform/image/bmp_codec.h"
#include "platform/image/file_io.h"
#include "platform/image/format_detect.h"
#include "platform/image/image_reduce.h"
#include "platform/image/jpeg_decoder.h"
#include "platform/image/kx_imgfmt.h"
#include "platform/image/png_codec.h"

namespace kximage {

int LoadJpeg(std::vector<uint8_t> bytes, const LoadRequest& request, LoadResult* result) {
    std::shared_ptr<JpegSource> source = ParseJpeg(std::move(bytes));
    if (!source) return KX_ERR_DATA;
    uint32_t stored = NativeJpegType(*source);
    result->info =
        ImageFileInfo{source->width, source->height, stored, KX_FORMAT_JPEG, source->dpi};
    if (request.infoOnly) return KX_OK;
    uint32_t type = request.type == KX_PIXEL_KEEP ? stored : request.type;
    if (request.maxSide != 0) {
        Size size = PreviewSize(source->width, source->height, request.maxSide);
        result->image = DecodeJpegScaled(*source, std::max(size.width, size.height), type);
        return result->image ? KX_OK : KX_ERR_DATA;
    }
    // Pixels the file holds as they are stay undecoded until needed, so that
    // documents can carry the file's own bytes.
    bool asStored = type == stored || (stored == KX_PIXEL_GRAY && type == KX_PIXEL_RGB);
    if (source->embeddable && asStored) {
        result->image = NewLazyJpegImage(std::move(source), type);
        return result->image ? KX_OK : KX_ERR_SYSTEM;
    }
    result->image = DecodeJpegScaled(*source, UINT32_MAX, type);
    return result->image ? KX_OK : KX_ERR_DATA;
}

int FinishLoad(const LoadRequest& request, LoadResult* result) {
    if (!result->image) return KX_OK;
    if (request.maxSide != 0) {
        Size size = PreviewSize(result->info.width, result->info.height, request.maxSide);
        if (size.width != result->image->width || size.height != result->image->height) {
            if (EnsurePixels(result->image.get()) != KX_OK) return KX_ERR_DATA;
            result->image = ReduceImage(*result->image, size);
            if (!result->image) return KX_ERR_SYSTEM;
        }
        // Taken from the file's resolution in one step: a decoder that reduced
        // already and the reduction above would each round it down.
        result->image->dpi = ReducedDpi(result->info.dpi, result->info.width, result->image->width);
    }
    result->image = ConvertImage(std::move(result->image), request.type);
    return result->image ? KX_OK : KX_ERR_SYSTEM;
}

int LoadImageBytes(std::vector<uint8_t> bytes, uint32_t format, const LoadRequest& request,
                   LoadResult* result) {
    if (format == KX_FORMAT_UNKNOWN) format = FormatOfContent(bytes.data(), bytes.size(), false);
    int status;
    switch (format) {
        case KX_FORMAT_JPEG:
            status = LoadJpeg(std::move(bytes), request, result);
            break;
        case KX_FORMAT_BMP:
            status = LoadBmp(bytes, request, result);
            break;
        case KX_FORMAT_PNG:
            status = LoadPng(bytes, request, result);
            break;
        case KX_FORMAT_TIFF:
            status = LoadTiff(bytes, request, result);
            break;
        case KX_FORMAT_PDF:
            status = LoadPdf(std::move(bytes), request, result);
            break;
        default:
            return KX_ERR_DATA;
    }
    if (status != KX_OK) {
        result->image.reset();
        return status;
    }
    return FinishLoad(request, result);
}

}  // namespace kximage

using namespace kximage;

namespace {

bool IsRequestType(uint32_t type) {
    return type == KX_PIXEL_KEEP || IsPixelType(type);
}

int LoadFile(const char* path, uint32_t format, const LoadRequest& request, LoadResult* result) {
    if (!IsReadableFile(path)) return KX_ERR_NOT_FOUND;
    if (format == KX_FORMAT_UNKNOWN) {
        int status = DetectFileFormat(path, &format);
        if (status != KX_OK) return status;
    }
    if (format == KX_FORMAT_OFD) {
        int status = LoadOfd(path, request, result);
        return status == KX_OK ? FinishLoad(request, result) : status;
    }
    if (format < KX_FORMAT_JPEG || format > KX_FORMAT_PDF) return KX_ERR_DATA;
    std::vector<uint8_t> bytes;
    int status = ReadWholeFile(path, &bytes);
    if (status != KX_OK) return status;
    return LoadImageBytes(std::move(bytes), format, request, result);
}

int HandOut(const char* path, int status, LoadResult* result, ImageFileInfo* info, KXImage* image) {
    if (status != KX_OK) {
        KXBase_WriteInfo(KX_LOG_INFO, "image load failed (%d): %s", status, path);
        return status;
    }
    if (info != nullptr) *info = result->info;
    if (image != nullptr) *image = result->image.release();
    return KX_OK;
}

}  // namespace

int KXImgFmt_GetImgFmtType(const char* path, uint32_t* format) {
    if (path == nullptr || format == nullptr) return KX_ERR_ARGUMENT;
    return GuardedCall("KXImgFmt_GetImgFmtType", [&] { return DetectFileFormat(path, format); });
}

int KXImgFmt_LoadImage(const char* path, uint32_t format, ImageFileInfo* info, uint32_t type,
                       uint32_t origin, KXImage* image) {
    if (image != nullptr) *image = nullptr;
    if (path == nullptr || (image == nullptr && info == nullptr) || !IsRequestType(type) ||
        origin > KX_ORIGIN_TOP_LEFT)
        return KX_ERR_ARGUMENT;
    return GuardedCall("KXImgFmt_LoadImage", [&]() -> int {
        LoadRequest request;
        request.type = type;
        request.infoOnly = image == nullptr;
        LoadResult result;
        int status = LoadFile(path, format, request, &result);
        return HandOut(path, status, &result, info, image);
    });
}

int KXImgFmt_LoadImageScaled(const char* path, uint32_t format, uint32_t maxSide, uint32_t type,
                             uint32_t origin, KXImage* image) {
    if (image == nullptr) return KX_ERR_ARGUMENT;
    *image = nullptr;
    if (path == nullptr || maxSide == 0 || !IsRequestType(type) || origin > KX_ORIGIN_TOP_LEFT)
        return KX_ERR_ARGUMENT;
    return GuardedCall("KXImgFmt_LoadImageScaled", [&]() -> int {
        LoadRequest request;
        request.type = type;
        request.maxSide = maxSide;
        LoadResult result;
        int status = LoadFile(path, format, request, &result);
        if (status == KX_OK && result.image)
            result.image->jpeg.reset();  // a reduced image is never the file's picture
        return HandOut(path, status, &result, nullptr, image);
    });
}

// The image handle calls: creation, information, pixel access, copies,
// clones and the region of interest.
#include "platform/image/kx_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/image/image_internal.h"
#include "platform/image/image_object.h"
#include "platform/image/jpeg_decoder.h"
#include "platform/image/pixel_rows.h"

namespace kximage {

bool IsPixelType(uint32_t type) {
    return type == KX_PIXEL_BW || type == KX_PIXEL_GRAY || type == KX_PIXEL_RGB;
}

uint64_t PackedRowBytes(uint32_t width, uint32_t type) {
    if (type == KX_PIXEL_BW) return (uint64_t{width} + 7) / 8;
    return uint64_t{width} * BytesPerPixel(type);
}

uint64_t AlignedRowBytes(uint32_t width, uint32_t type) {
    return (PackedRowBytes(width, type) + 3) & ~uint64_t{3};
}

std::unique_ptr<KXImageObject> NewImage(uint32_t width, uint32_t height, uint32_t type) {
    if (!IsPixelType(type) || width == 0 || height == 0 || width > kMaxCreateSide ||
        height > kMaxCreateSide)
        return nullptr;
    uint64_t step = AlignedRowBytes(width, type);
    if (step * height > kMaxCreateBytes) return nullptr;
    std::unique_ptr<KXImageObject> image(new (std::nothrow) KXImageObject);
    if (!image) return nullptr;
    image->width = width;
    image->height = height;
    image->type = type;
    image->widthStep = static_cast<uint32_t>(step);
    image->pixels.reset(new (std::nothrow) uint8_t[step * height]);
    if (!image->pixels) return nullptr;
    return image;
}

std::unique_ptr<KXImageObject> NewLazyJpegImage(std::shared_ptr<const JpegSource> source,
                                                uint32_t type) {
    if (!IsPixelType(type) || source == nullptr) return nullptr;
    std::unique_ptr<KXImageObject> image(new (std::nothrow) KXImageObject);
    if (!image) return nullptr;
    image->width = source->width;
    image->height = source->height;
    image->type = type;
    image->widthStep = static_cast<uint32_t>(AlignedRowBytes(source->width, type));
    image->dpi = source->dpi;
    image->jpeg = std::move(source);
    return image;
}

void ClearPadding(KXImageObject* image) {
    if (image->type == KX_PIXEL_BW) {
        std::memset(image->pixels.get(), 0, size_t{image->widthStep} * image->height);
        return;
    }
    size_t used = PackedRowBytes(image->width, image->type);
    for (uint32_t y = 0; y < image->height; ++y)
        std::memset(Row(image, y) + used, 0, image->widthStep - used);
}

int EnsurePixels(KXImageObject* image) {
    if (image->pixels) return KX_OK;
    if (!image->jpeg) return KX_ERR_STATE;
    return DecodeJpegPixels(*image->jpeg, image);
}

KXRect EffectiveRoi(const KXImageObject* image) {
    if (image->hasRoi) return image->roi;
    return KXRect{0, 0, static_cast<int32_t>(image->width), static_cast<int32_t>(image->height)};
}

KXBuffer NewBuffer(std::vector<uint8_t> bytes) {
    auto* buffer = new (std::nothrow) KXBufferObject;
    if (buffer != nullptr) buffer->bytes = std::move(bytes);
    return buffer;
}

}  // namespace kximage

using namespace kximage;

namespace {

void FillWhite(KXImageObject* image) {
    uint8_t value = image->type == KX_PIXEL_BW ? 0 : 255;
    std::memset(image->pixels.get(), value, static_cast<size_t>(image->widthStep) * image->height);
}

bool IsOrigin(uint32_t origin) {
    return origin == 0 || origin == KX_ORIGIN_TOP_LEFT;
}

// Copies the overlapping top-left part of the source rectangle into the
// destination rectangle, converting the pixel type.
void CopyRect(const KXImageObject* source, const KXRect& from, KXImageObject* destination,
              const KXRect& to) {
    uint32_t width = static_cast<uint32_t>(std::min(from.right - from.left, to.right - to.left));
    uint32_t height = static_cast<uint32_t>(std::min(from.bottom - from.top, to.bottom - to.top));
    for (uint32_t y = 0; y < height; ++y) {
        ConvertPixels(Row(source, static_cast<uint32_t>(from.top) + y), source->type,
                      static_cast<uint32_t>(from.left),
                      Row(destination, static_cast<uint32_t>(to.top) + y), destination->type,
                      static_cast<uint32_t>(to.left), width);
    }
}

}  // namespace

int KXBase_CreateImage(uint32_t width, uint32_t height, uint32_t type, uint32_t origin,
                       KXImage* image) {
    if (image == nullptr) return KX_ERR_ARGUMENT;
    *image = nullptr;
    if (!IsOrigin(origin)) return KX_ERR_ARGUMENT;
    auto made = NewImage(width, height, type);
    if (!made) return KX_ERR_ARGUMENT;
    FillWhite(made.get());
    *image = made.release();
    return KX_OK;
}

int KXBase_CreateImageFromData(const void* pixels, const KXImageInfo* info, void* reserved,
                               uint32_t type, uint32_t origin, KXImage* image) {
    if (image == nullptr) return KX_ERR_ARGUMENT;
    *image = nullptr;
    if (pixels == nullptr || info == nullptr || reserved != nullptr || !IsOrigin(origin) ||
        !IsOrigin(info->origin) || !IsPixelType(info->type))
        return KX_ERR_ARGUMENT;
    if (info->widthStep < PackedRowBytes(info->width, info->type)) return KX_ERR_ARGUMENT;
    uint32_t target = type == KX_PIXEL_KEEP ? info->type : type;
    auto made = NewImage(info->width, info->height, target);
    if (!made) return KX_ERR_ARGUMENT;
    const auto* source = static_cast<const uint8_t*>(pixels);
    for (uint32_t y = 0; y < info->height; ++y) {
        uint8_t* row = Row(made.get(), y);
        std::memset(row, 0, made->widthStep);
        ConvertPixels(source + static_cast<size_t>(y) * info->widthStep, info->type, 0, row, target,
                      0, info->width);
    }
    *image = made.release();
    return KX_OK;
}

int KXBase_GetImageInfo(KXImage image, KXImageInfo* info) {
    if (image == nullptr || info == nullptr) return KX_ERR_ARGUMENT;
    *info =
        KXImageInfo{image->width, image->height, image->type, image->widthStep, KX_ORIGIN_TOP_LEFT};
    return KX_OK;
}

int KXBase_GetImageData(KXImage image, uint8_t** data) {
    if (data == nullptr) return KX_ERR_ARGUMENT;
    *data = nullptr;
    if (image == nullptr) return KX_ERR_ARGUMENT;
    int status = EnsurePixels(image);
    if (status != KX_OK) return status;
    image->jpeg.reset();  // the caller may write through the pointer
    *data = image->pixels.get();
    return KX_OK;
}

int KXBase_CopyImage(KXImage source, KXImage destination) {
    if (source == nullptr || destination == nullptr || source == destination)
        return KX_ERR_ARGUMENT;
    int status = EnsurePixels(source);
    if (status == KX_OK) status = EnsurePixels(destination);
    if (status != KX_OK) return status;
    destination->jpeg.reset();
    CopyRect(source, EffectiveRoi(source), destination, EffectiveRoi(destination));
    return KX_OK;
}

int KXBase_CloneImage(KXImage source, uint32_t type, uint32_t origin, KXImage* image) {
    if (image == nullptr) return KX_ERR_ARGUMENT;
    *image = nullptr;
    if (source == nullptr || !IsOrigin(origin) || (type != KX_PIXEL_KEEP && !IsPixelType(type)))
        return KX_ERR_ARGUMENT;
    uint32_t target = type == KX_PIXEL_KEEP ? source->type : type;
    KXRect roi = EffectiveRoi(source);
    bool whole = !source->hasRoi || (roi.left == 0 && roi.top == 0 &&
                                     roi.right == static_cast<int32_t>(source->width) &&
                                     roi.bottom == static_cast<int32_t>(source->height));
    if (whole && target == source->type && source->jpeg && !source->pixels) {
        // An unchanged copy of a pristine image stays pristine and undecoded.
        auto clone = NewLazyJpegImage(source->jpeg, target);
        if (!clone) return KX_ERR_ARGUMENT;
        clone->dpi = source->dpi;
        *image = clone.release();
        return KX_OK;
    }
    int status = EnsurePixels(source);
    if (status != KX_OK) return status;
    auto clone = NewImage(static_cast<uint32_t>(roi.right - roi.left),
                          static_cast<uint32_t>(roi.bottom - roi.top), target);
    if (!clone) return KX_ERR_ARGUMENT;
    FillWhite(clone.get());
    CopyRect(source, roi, clone.get(), EffectiveRoi(clone.get()));
    clone->dpi = source->dpi;
    if (whole && target == source->type) clone->jpeg = source->jpeg;
    *image = clone.release();
    return KX_OK;
}

int KXBase_SetImageROI(KXImage image, const KXRect* rect) {
    if (image == nullptr || rect == nullptr) return KX_ERR_ARGUMENT;
    if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
        static_cast<uint32_t>(rect->right) > image->width ||
        static_cast<uint32_t>(rect->bottom) > image->height)
        return KX_ERR_ARGUMENT;
    image->roi = *rect;
    image->hasRoi = true;
    return KX_OK;
}

int KXBase_GetImageROI(KXImage image, KXRect* rect) {
    if (image == nullptr || rect == nullptr) return KX_ERR_ARGUMENT;
    *rect = EffectiveRoi(image);
    return KX_OK;
}

int KXBase_ResetImageROI(KXImage image) {
    if (image == nullptr) return KX_ERR_ARGUMENT;
    image->hasRoi = false;
    return KX_OK;
}

int KXBase_DestroyImage(KXImage image) {
    if (image == nullptr) return KX_ERR_ARGUMENT;
    delete image;
    return KX_OK;
}

int KXBase_SetImageResolution(KXImage image, uint32_t dpi) {
    if (image == nullptr) return KX_ERR_ARGUMENT;
    image->dpi = dpi;
    return KX_OK;
}

int KXBase_GetImageResolution(KXImage image, uint32_t* dpi) {
    if (image == nullptr || dpi == nullptr) return KX_ERR_ARGUMENT;
    *dpi = image->dpi;
    return KX_OK;
}

const uint8_t* KXBase_GetBufferData(KXBuffer buffer) {
    return buffer == nullptr ? nullptr : buffer->bytes.data();
}

size_t KXBase_GetBufferSize(KXBuffer buffer) {
    return buffer == nullptr ? 0 : buffer->bytes.size();
}

int KXBase_DestroyBuffer(KXBuffer buffer) {
    if (buffer == nullptr) return KX_ERR_ARGUMENT;
    delete buffer;
    return KX_OK;
}

int KXImage_GetConstData(KXImage image, const uint8_t** data) {
    if (data == nullptr) return KX_ERR_ARGUMENT;
    *data = nullptr;
    if (image == nullptr) return KX_ERR_ARGUMENT;
    int status = EnsurePixels(image);
    if (status != KX_OK) return status;
    *data = image->pixels.get();
    return KX_OK;
}

bool KXImage_PristineJpeg(KXImage image, const uint8_t** bytes, size_t* size) {
    if (image == nullptr || !image->jpeg || bytes == nullptr || size == nullptr) return false;
    *bytes = image->jpeg->bytes.data();
    *size = image->jpeg->bytes.size();
    return true;
}

#include "platform/image/page_image.h"

#include <vector>

#include "platform/image/jpeg_encoder.h"
#include "platform/image/png_codec.h"
#include "platform/image/tiff_codec.h"

namespace kximage {

int MakePageImage(KXImageObject* image, PagePictures pictures, uint32_t jpegQuality,
                  PageImage* page) {
    *page = PageImage{};
    page->width = image->width;
    page->height = image->height;
    page->dpi = image->dpi != 0 ? image->dpi : kDefaultPageDpi;
    if (image->jpeg && image->jpeg->embeddable) {
        page->owner = image->jpeg;
        page->data = image->jpeg->bytes.data();
        page->size = image->jpeg->bytes.size();
        page->components = image->jpeg->components;
        return KX_OK;
    }
    int status = EnsurePixels(image);
    if (status != KX_OK) return status;
    auto encoded = std::make_shared<std::vector<uint8_t>>();
    page->components = image->type == KX_PIXEL_RGB ? 3 : 1;
    bool blackAndWhite = image->type == KX_PIXEL_BW;
    if (blackAndWhite && pictures.blackAndWhite == BlackAndWhiteAs::kCcittG4) {
        page->kind = PageImageKind::kCcittG4;
        status = EncodeG4(*image, encoded.get());
    } else if (blackAndWhite ? pictures.blackAndWhite == BlackAndWhiteAs::kPng
                             : pictures.greyAndColour == GreyAndColourAs::kPng) {
        page->kind = PageImageKind::kPng;
        status = EncodePng(*image, encoded.get());
    } else {
        page->kind = PageImageKind::kJpeg;
        status = EncodeJpeg(image, jpegQuality, encoded.get());
    }
    if (status != KX_OK) return status;
    page->bilevel = blackAndWhite && page->kind != PageImageKind::kJpeg;
    page->data = encoded->data();
    page->size = encoded->size();
    page->owner = std::move(encoded);
    return KX_OK;
}

}  // namespace kximage

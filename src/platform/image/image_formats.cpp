#include "platform/image/image_formats.h"

#include <strings.h>

#include <array>
#include <string>

#include "platform/image/kx_imgfmt.h"

namespace {

constexpr std::array<ImageFormatName, 6> kFormats = {{
    {KX_FORMAT_JPEG, "jpg", "jpeg", "data:image/jpeg;base64,", false},
    {KX_FORMAT_BMP, "bmp", "", "data:image/bmp;base64,", false},
    {KX_FORMAT_PNG, "png", "", "data:image/png;base64,", false},
    {KX_FORMAT_TIFF, "tif", "tiff", "data:image/tiff;base64,", true},
    {KX_FORMAT_PDF, "pdf", "", "data:image/pdf;base64,", true},
    {KX_FORMAT_OFD, "ofd", "", "data:image/ofd;base64,", true},
}};

bool SameLetters(std::string_view text, const char* name) {
    std::string_view other(name);
    return !other.empty() && text.size() == other.size() &&
           strncasecmp(text.data(), name, text.size()) == 0;
}

}  // namespace

std::span<const ImageFormatName> ImageFormatNames() {
    return kFormats;
}

const ImageFormatName* FindImageFormat(uint32_t code) {
    for (const ImageFormatName& format : kFormats)
        if (format.code == code) return &format;
    return nullptr;
}

const ImageFormatName* FindImageFormatByExtension(std::string_view extension) {
    for (const ImageFormatName& format : kFormats)
        if (extension == format.extension) return &format;
    return nullptr;
}

const ImageFormatName* FindImageFormatByFileExtension(std::string_view extension) {
    for (const ImageFormatName& format : kFormats)
        if (SameLetters(extension, format.extension) || SameLetters(extension, format.alias))
            return &format;
    return nullptr;
}

const ImageFormatName* FindImageFormatByDataUrlPrefix(std::string_view prefix) {
    for (const ImageFormatName& format : kFormats)
        if (prefix == format.dataUrlPrefix) return &format;
    return nullptr;
}

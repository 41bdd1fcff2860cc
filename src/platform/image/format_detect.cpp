#include "platform/image/format_detect.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/base/kx_status.h"
#include "platform/image/file_io.h"
#include "platform/image/image_formats.h"
#include "platform/image/kx_imgfmt.h"
#include "platform/image/zip_reader.h"

namespace kximage {
namespace {

bool StartsWith(const uint8_t* head, size_t size, const char* magic, size_t length) {
    return size >= length && std::memcmp(head, magic, length) == 0;
}

}  // namespace

bool IsZipHead(const uint8_t* head, size_t size) {
    return StartsWith(head, size, "PK\x03\x04", 4);
}

uint32_t FormatOfContent(const uint8_t* head, size_t size, bool isOfdZip) {
    if (StartsWith(head, size, "\xFF\xD8\xFF", 3)) return KX_FORMAT_JPEG;
    if (StartsWith(head, size, "BM", 2)) return KX_FORMAT_BMP;
    if (StartsWith(head, size, "\x89PNG\r\n\x1A\n", 8)) return KX_FORMAT_PNG;
    if (StartsWith(head, size, "II*\0", 4) || StartsWith(head, size, "MM\0*", 4) ||
        StartsWith(head, size, "II+\0", 4) || StartsWith(head, size, "MM\0+", 4))
        return KX_FORMAT_TIFF;
    if (StartsWith(head, size, "%PDF-", 5)) return KX_FORMAT_PDF;
    if (IsZipHead(head, size) && isOfdZip) return KX_FORMAT_OFD;
    return KX_FORMAT_UNKNOWN;
}

int DetectFileFormat(const char* path, uint32_t* format) {
    *format = KX_FORMAT_UNKNOWN;
    if (!IsReadableFile(path)) return KX_ERR_NOT_FOUND;
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return KX_ERR_NOT_FOUND;
    uint8_t head[8];
    ssize_t got = read(fd, head, sizeof head);
    close(fd);
    if (got < 0) return KX_ERR_NOT_FOUND;
    auto size = static_cast<size_t>(got);
    bool isOfdZip = false;
    if (IsZipHead(head, size)) {
        std::unique_ptr<ZipReader> zip = ZipReader::Open(path);
        isOfdZip = zip && zip->Has("OFD.xml");
    }
    *format = FormatOfContent(head, size, isOfdZip);
    return KX_OK;
}

uint32_t FormatOfExtension(const char* path) {
    const char* slash = std::strrchr(path, '/');
    const char* name = slash == nullptr ? path : slash + 1;
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr) return KX_FORMAT_UNKNOWN;
    const ImageFormatName* format = FindImageFormatByFileExtension(dot + 1);
    return format != nullptr ? format->code : KX_FORMAT_UNKNOWN;
}

}  // namespace kximage

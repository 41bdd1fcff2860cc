// Independent readers for what the service produces: JPEG through libjpeg,
// PDF through poppler, TIFF through libtiff, ZIP and OFD through libzip.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace testing_support {

struct ImageSize {
    uint32_t width = 0;
    uint32_t height = 0;
    bool operator==(const ImageSize&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const ImageSize& size) {
    return out << size.width << "x" << size.height;
}

struct DecodedJpeg {
    ImageSize size;
    int components = 0;
    std::vector<uint8_t> pixels;  // rows of width * components bytes
};

// Decodes JPEG bytes; size 0 x 0 when they are not a JPEG image.
DecodedJpeg DecodeJpeg(const std::string& bytes);
ImageSize JpegFileSize(const std::string& path);
// The size of the JPEG image in a "data:image/jpeg;base64," URL.
ImageSize JpegDataUrlSize(const std::string& dataUrl);
std::string DecodeBase64Text(const std::string& text);

// Page counts; -1 when the bytes are not such a document.
int PdfPageCount(const std::string& bytes);
int TiffPageCount(const std::string& bytes);
// Entry names of a ZIP archive (an OFD is one); empty when unreadable.
std::vector<std::string> ZipEntries(const std::string& bytes);

}  // namespace testing_support

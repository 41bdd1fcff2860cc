// PDF documents of image pages, written with qpdf. Each page shows one image
// filling the page; the page measures the image's pixel size at its
// resolution (200 dpi when unknown). JPEG pictures are DCT streams (the
// original bytes of unmodified JPEG images), black-and-white pictures CCITT G4
// streams unless every page must be JPEG.
//
// Pages keep their encoded picture until Write. One thread at a time; the
// writer owns what it keeps.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/image/page_image.h"

namespace kximage {

class PdfDocumentWriter {
  public:
    explicit PdfDocumentWriter(bool jpegPagesOnly) : jpegPagesOnly_(jpegPagesOnly) {}

    // 0 when the page was added; the image is not changed (a pending JPEG
    // may be decoded).
    int AddPage(KXImageObject* image, uint32_t jpegQuality);
    size_t PageCount() const { return pages_.size(); }
    // Writes all pages to path; on failure no file remains. Fails without
    // pages.
    int Write(const char* path) const;

  private:
    bool jpegPagesOnly_;
    std::vector<PageImage> pages_;
};

}  // namespace kximage

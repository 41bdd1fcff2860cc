// PDF documents of image pages, written with qpdf. Each page shows one image
// filling the page; the page measures the image's pixel size at its
// resolution (200 dpi when unknown). JPEG pictures are DCT streams (the
// original bytes of unmodified JPEG images), black-and-white pictures CCITT G4
// streams, PNG pictures Flate streams of the PNG's own compressed rows, as
// the writer's PagePictures ask.
//
// A page may carry a text layer: the first page of another PDF (invisible
// text, as an OCR engine makes it) drawn over the picture, scaled to the
// page, which makes the page searchable.
//
// Pages keep their encoded picture until Write. One thread at a time; the
// writer owns what it keeps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/image/page_image.h"

namespace kximage {

class PdfDocumentWriter {
  public:
    explicit PdfDocumentWriter(PagePictures pictures = {}) : pictures_(pictures) {}

    // 0 when the page was added; the image is not changed (a pending JPEG
    // may be decoded). textLayer: the bytes of a PDF whose first page is
    // drawn over the picture, or empty.
    int AddPage(KXImageObject* image, uint32_t jpegQuality, std::string textLayer = {});
    size_t PageCount() const { return pages_.size(); }
    // Writes all pages to path, replacing what is there; on failure path
    // keeps what it held. Fails without pages.
    int Write(const char* path) const;

  private:
    struct Page {
        PageImage picture;
        std::string textLayer;
    };
    void WriteDocument(const char* path) const;

    PagePictures pictures_;
    std::vector<Page> pages_;
};

}  // namespace kximage

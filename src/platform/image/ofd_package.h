// Builds an OFD document (GB/T 33190): a ZIP container holding OFD.xml,
// Doc_0/Document.xml, Doc_0/PublicRes.xml, Doc_0/DocumentRes.xml, one
// Doc_0/Pages/Page_N/Content.xml per page and the page images under
// Doc_0/Res/. Each page shows one image (an ImageObject filling the page) and,
// optionally, invisible text objects over it, which make the document
// searchable and let a reader select the text.
//
// Page size: the image's pixel size at its resolution (200 dpi when the image
// has none), in millimetres. Page images: an unmodified image loaded from a
// JPEG file is stored with its own bytes; other images are encoded as the
// package's PagePictures ask: by default grey and colour images as JPEG at
// the given quality and black-and-white images as 1-bit PNG. The whole image
// is used, whatever its region of interest.
//
// The package keeps each page's encoded image (never its pixels) until Write.
// One thread at a time; the caller owns the package and the images it passes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/image/kx_image.h"
#include "platform/image/page_image.h"

namespace kximage {

// A piece of text placed over a page image, for search and selection.
struct OfdTextItem {
    std::string text;  // UTF-8
    KXRect box;        // in pixels of the page image; right and bottom exclusive
    double fontSize;   // in pixels of the page image; 0 = the box height
};

class OfdPackage {
  public:
    static constexpr PagePictures kDefaultPictures{BlackAndWhiteAs::kPng, GreyAndColourAs::kJpeg};

    explicit OfdPackage(PagePictures pictures = kDefaultPictures);
    ~OfdPackage();
    OfdPackage(const OfdPackage&) = delete;
    OfdPackage& operator=(const OfdPackage&) = delete;

    // Appends a page; jpegQuality 0..100 (larger is taken as 100) is used
    // when the image has to be encoded. Boxes are clipped to the image; items
    // with empty text or an empty box are left out. 0 on success; on failure
    // the package is unchanged.
    int AddPage(KXImage image, uint32_t jpegQuality, const std::vector<OfdTextItem>& texts = {});

    size_t PageCount() const;

    // Writes the document to path, replacing what is there. Fails without
    // pages. On failure path keeps what it held. 0 on success.
    int Write(const std::string& path) const;

  private:
    struct Page;
    PagePictures pictures_;
    std::vector<std::unique_ptr<Page>> pages_;
};

}  // namespace kximage

// The XML files of an OFD package built by OfdPackage. Pure functions; any
// thread.
#pragma once

#include <string>
#include <vector>

#include "platform/image/ofd_package.h"
#include "platform/image/page_image.h"

namespace kximage {

struct OfdPageContent {
    const PageImage* image;
    const std::vector<OfdTextItem>* texts;
};

struct OfdXml {
    std::string ofd;          // OFD.xml
    std::string document;     // Doc_0/Document.xml
    std::string publicRes;    // Doc_0/PublicRes.xml (the font of the text layer)
    std::string documentRes;  // Doc_0/DocumentRes.xml (the page images)
    std::vector<std::string> pages;
};

OfdXml BuildOfdXml(const std::vector<OfdPageContent>& pages, const std::string& documentId,
                   const std::string& date);

// "Doc_0/Pages/Page_<index>/Content.xml"
std::string OfdPageContentPath(size_t index);
// "Image_<index>.jpg" or ".png", under Doc_0/Res/.
std::string OfdImageFileName(size_t index, const PageImage& image);

}  // namespace kximage

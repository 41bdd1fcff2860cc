#include "platform/image/ofd_package.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "platform/base/kx_log.h"
#include "platform/base/kx_system.h"
#include "platform/base/kx_zip_writer.h"
#include "platform/image/image_object.h"
#include "platform/image/ofd_xml.h"
#include "platform/image/page_image.h"

namespace kximage {

struct OfdPackage::Page {
    PageImage image;
    std::vector<OfdTextItem> texts;
};

OfdPackage::OfdPackage(PagePictures pictures) : pictures_(pictures) {}
OfdPackage::~OfdPackage() = default;

size_t OfdPackage::PageCount() const {
    return pages_.size();
}

int OfdPackage::AddPage(KXImage image, uint32_t jpegQuality,
                        const std::vector<OfdTextItem>& texts) {
    if (image == nullptr) return KX_ERR_ARGUMENT;
    try {
        auto page = std::make_unique<Page>();
        int status = MakePageImage(image, pictures_, jpegQuality, &page->image);
        if (status != KX_OK) return status;
        for (const OfdTextItem& item : texts) {
            KXRect box{std::max(item.box.left, 0), std::max(item.box.top, 0),
                       std::min(item.box.right, static_cast<int32_t>(image->width)),
                       std::min(item.box.bottom, static_cast<int32_t>(image->height))};
            if (item.text.empty() || box.right <= box.left || box.bottom <= box.top) continue;
            page->texts.push_back(OfdTextItem{item.text, box, item.fontSize});
        }
        pages_.push_back(std::move(page));
    } catch (const std::exception&) {
        return KX_ERR_SYSTEM;
    }
    return KX_OK;
}

namespace {

std::string DocumentId() {
    char uuid[64] = {};
    KXBase_GetUuid(uuid, sizeof uuid);
    std::string id;
    for (const char* p = uuid; *p != '\0'; ++p)
        if (*p != '-') id.push_back(*p);
    return id;
}

std::string Today() {
    KXLocalTime now{};
    KXBase_GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", now.year, now.month, now.day);
    return text;
}

}  // namespace

int OfdPackage::Write(const std::string& path) const {
    if (pages_.empty()) return KX_ERR_STATE;
    try {
        std::vector<OfdPageContent> contents;
        for (const auto& page : pages_)
            contents.push_back(OfdPageContent{&page->image, &page->texts});
        OfdXml xml = BuildOfdXml(contents, DocumentId(), Today());
        KXZipWriter zip(path);
        if (!zip.IsOpen()) return KX_ERR_SYSTEM;
        bool ok = zip.AddText("OFD.xml", std::move(xml.ofd)) &&
                  zip.AddText("Doc_0/Document.xml", std::move(xml.document)) &&
                  zip.AddText("Doc_0/PublicRes.xml", std::move(xml.publicRes)) &&
                  zip.AddText("Doc_0/DocumentRes.xml", std::move(xml.documentRes));
        for (size_t i = 0; ok && i < pages_.size(); ++i) {
            const PageImage& image = pages_[i]->image;
            ok = zip.AddText(OfdPageContentPath(i), std::move(xml.pages[i])) &&
                 zip.AddBorrowed("Doc_0/Res/" + OfdImageFileName(i, image), image.data, image.size);
        }
        if (!ok || zip.Close() != KX_OK) return KX_ERR_SYSTEM;
    } catch (const std::exception& error) {
        KXBase_WriteInfo(KX_LOG_INFO, "ofd write %s: %s", path.c_str(), error.what());
        return KX_ERR_SYSTEM;
    }
    return KX_OK;
}

}  // namespace kximage

#include "platform/image/ofd_package.h"

#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <exception>
#include <string>

#include "platform/base/kx_log.h"
#include "platform/base/kx_system.h"
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

// Entries are added from memory that must stay put until zip_close.
class ZipWriter {
  public:
    explicit ZipWriter(const std::string& path) : path_(path) {
        int error = 0;
        archive_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    }
    ~ZipWriter() {
        if (archive_ != nullptr) zip_discard(archive_);
    }
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    bool IsOpen() const { return archive_ != nullptr; }

    bool AddText(const std::string& name, std::string text) {
        texts_.push_back(std::move(text));
        const std::string& kept = texts_.back();
        return Add(name, kept.data(), kept.size(), true);
    }

    bool Add(const std::string& name, const void* data, size_t size, bool compress) {
        zip_source_t* source = zip_source_buffer(archive_, data, size, 0);
        if (source == nullptr) return false;
        zip_int64_t index = zip_file_add(archive_, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            return false;
        }
        // Images are already compressed; storing them saves the work.
        zip_int32_t method = compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
        return zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), method, 0) == 0;
    }

    bool Close() {
        if (zip_close(archive_) != 0) {
            KXBase_WriteInfo(KX_LOG_INFO, "ofd write %s: %s", path_.c_str(),
                             zip_strerror(archive_));
            return false;
        }
        archive_ = nullptr;
        return true;
    }

  private:
    std::string path_;
    zip_t* archive_ = nullptr;
    std::deque<std::string> texts_;
};

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
        ZipWriter zip(path);
        if (!zip.IsOpen()) return KX_ERR_SYSTEM;
        bool ok = zip.AddText("OFD.xml", std::move(xml.ofd)) &&
                  zip.AddText("Doc_0/Document.xml", std::move(xml.document)) &&
                  zip.AddText("Doc_0/PublicRes.xml", std::move(xml.publicRes)) &&
                  zip.AddText("Doc_0/DocumentRes.xml", std::move(xml.documentRes));
        for (size_t i = 0; ok && i < pages_.size(); ++i) {
            const PageImage& image = pages_[i]->image;
            ok = zip.AddText(OfdPageContentPath(i), std::move(xml.pages[i])) &&
                 zip.Add("Doc_0/Res/" + OfdImageFileName(i, image), image.data, image.size, false);
        }
        if (!ok || !zip.Close()) {
            std::remove(path.c_str());
            return KX_ERR_SYSTEM;
        }
    } catch (const std::exception& error) {
        KXBase_WriteInfo(KX_LOG_INFO, "ofd write %s: %s", path.c_str(), error.what());
        return KX_ERR_SYSTEM;
    }
    return KX_OK;
}

}  // namespace kximage

// Loading an OFD document: the image of its first page's first ImageObject.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/image/image_loader.h"
#include "platform/image/image_reduce.h"
#include "platform/image/zip_reader.h"

namespace kximage {
namespace {

constexpr uint64_t kMaxXmlBytes = uint64_t{16} << 20;
constexpr uint64_t kMaxImageBytes = uint64_t{512} << 20;

struct XmlFree {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using XmlDocument = std::unique_ptr<xmlDoc, XmlFree>;

XmlDocument ReadXml(const ZipReader& zip, const std::string& name) {
    std::vector<uint8_t> bytes;
    if (zip.Read(name, kMaxXmlBytes, &bytes) != KX_OK) return nullptr;
    // No network, no messages on standard error, and no document type
    // declarations, so no entities that could expand without bound.
    XmlDocument document(xmlReadMemory(reinterpret_cast<const char*>(bytes.data()),
                                       static_cast<int>(bytes.size()), name.c_str(), nullptr,
                                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (document && (document->intSubset != nullptr || document->extSubset != nullptr))
        return nullptr;
    return document;
}

bool Named(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// The first element named name at or below node, in document order.
const xmlNode* Find(const xmlNode* node, const char* name) {
    for (; node != nullptr; node = node->next) {
        if (Named(node, name)) return node;
        if (const xmlNode* found = Find(node->children, name)) return found;
    }
    return nullptr;
}

void ForEach(const xmlNode* node, const char* name,
             const std::function<bool(const xmlNode*)>& visit) {
    for (; node != nullptr; node = node->next) {
        if (Named(node, name) && !visit(node)) return;
        ForEach(node->children, name, visit);
    }
}

std::string Text(const xmlNode* node) {
    if (node == nullptr) return {};
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content == nullptr ? "" : reinterpret_cast<const char*>(content);
    xmlFree(content);
    size_t start = text.find_first_not_of(" \t\r\n");
    size_t end = text.find_last_not_of(" \t\r\n");
    return start == std::string::npos ? "" : text.substr(start, end - start + 1);
}

std::string Attribute(const xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string text = value == nullptr ? "" : reinterpret_cast<const char*>(value);
    xmlFree(value);
    return text;
}

const xmlNode* Root(const XmlDocument& document) {
    return xmlDocGetRootElement(document.get());
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// A location inside the package: absolute ("/Doc_0/...") or relative to
// folder, with "." and ".." resolved.
std::string Resolve(const std::string& folder, const std::string& location) {
    std::string joined = !location.empty() && location[0] == '/' ? location : folder + location;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t end = joined.find('/', start);
        if (end == std::string::npos) end = joined.size();
        std::string part = joined.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string path;
    for (const std::string& part : parts)
        path += (path.empty() ? "" : "/") + part;
    return path;
}

// The media file of resource id in one resource file; empty when absent.
std::string FindMedia(const ZipReader& zip, const std::string& resPath, const std::string& id) {
    XmlDocument res = ReadXml(zip, resPath);
    if (!res) return {};
    const xmlNode* root = Root(res);
    std::string base = Resolve(FolderOf(resPath), Attribute(root, "BaseLoc"));
    std::string file;
    ForEach(root, "MultiMedia", [&](const xmlNode* node) {
        if (Attribute(node, "ID") != id) return true;
        file = Text(Find(node->children, "MediaFile"));
        return false;
    });
    if (file.empty()) return {};
    return Resolve(base.empty() ? "" : base + "/", file);
}

struct PageImageRef {
    std::string media;         // package path of the image file
    double boundaryWidth = 0;  // millimetres
};

bool LocateFirstImage(const ZipReader& zip, PageImageRef* ref) {
    XmlDocument ofd = ReadXml(zip, "OFD.xml");
    if (!ofd) return false;
    std::string documentPath = Resolve("", Text(Find(Root(ofd), "DocRoot")));
    XmlDocument document = documentPath.empty() ? nullptr : ReadXml(zip, documentPath);
    if (!document) return false;
    std::string folder = FolderOf(documentPath);
    const xmlNode* pages = Find(Root(document), "Pages");
    const xmlNode* page = pages == nullptr ? nullptr : Find(pages->children, "Page");
    if (page == nullptr) return false;
    XmlDocument content = ReadXml(zip, Resolve(folder, Attribute(page, "BaseLoc")));
    const xmlNode* image = content ? Find(Root(content), "ImageObject") : nullptr;
    if (image == nullptr) return false;
    std::string id = Attribute(image, "ResourceID");
    std::string boundary = Attribute(image, "Boundary");
    double x = 0, y = 0, width = 0, height = 0;
    if (std::sscanf(boundary.c_str(), "%lf %lf %lf %lf", &x, &y, &width, &height) == 4)
        ref->boundaryWidth = width;
    std::vector<std::string> resources;
    ForEach(Root(document), "DocumentRes", [&](const xmlNode* node) {
        resources.push_back(Resolve(folder, Text(node)));
        return true;
    });
    ForEach(Root(document), "PublicRes", [&](const xmlNode* node) {
        resources.push_back(Resolve(folder, Text(node)));
        return true;
    });
    for (const std::string& res : resources) {
        ref->media = FindMedia(zip, res, id);
        if (!ref->media.empty()) return true;
    }
    return false;
}

}  // namespace

int LoadOfd(const char* path, const LoadRequest& request, LoadResult* result) {
    std::unique_ptr<ZipReader> zip = ZipReader::Open(path);
    if (!zip || !zip->Has("OFD.xml")) return KX_ERR_DATA;
    PageImageRef ref;
    if (!LocateFirstImage(*zip, &ref)) return KX_ERR_DATA;
    std::vector<uint8_t> bytes;
    if (zip->Read(ref.media, kMaxImageBytes, &bytes) != KX_OK) return KX_ERR_DATA;
    zip.reset();
    int status = LoadImageBytes(std::move(bytes), KX_FORMAT_UNKNOWN, request, result);
    if (status != KX_OK) return status;
    result->info.format = KX_FORMAT_OFD;
    if (ref.boundaryWidth > 0) {
        auto dpi =
            static_cast<uint32_t>(std::lround(result->info.width * 25.4 / ref.boundaryWidth));
        result->info.dpi = dpi;
        if (result->image)
            result->image->dpi = ReducedDpi(dpi, result->info.width, result->image->width);
    }
    return KX_OK;
}

}  // namespace kximage

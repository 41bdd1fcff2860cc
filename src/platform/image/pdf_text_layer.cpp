#include "platform/image/pdf_text_layer.h"

#include <cstdio>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <stdexcept>
#include <vector>

#include "platform/image/pdf_page_scan.h"

namespace kximage {
namespace {

using Handle = QPDFObjectHandle;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

// The layer's page content as one block of bytes.
std::string ContentOf(QPDFPageObjectHelper& page) {
    Pl_Buffer buffer("text layer content");
    page.pipeContents(&buffer);
    std::unique_ptr<Buffer> bytes(buffer.getBuffer());
    return std::string(reinterpret_cast<const char*>(bytes->getBuffer()), bytes->getSize());
}

// Copies each named resource of every kind but images into ours; the layer's
// images are never drawn over a picture.
void CopyResources(QPDF* pdf, QPDF& source, Handle from, Handle to) {
    if (!from.isDictionary()) return;
    for (const std::string& kind : from.getKeys()) {
        Handle entries = from.getKey(kind);
        if (kind == "/XObject" || !entries.isDictionary()) continue;
        Handle copies = to.getKey(kind);
        if (!copies.isDictionary()) {
            copies = Handle::newDictionary();
            to.replaceKey(kind, copies);
        }
        for (const std::string& name : entries.getKeys()) {
            Handle entry = entries.getKey(name);
            // Only indirect objects can be copied between documents.
            if (!entry.isIndirect()) entry = source.makeIndirectObject(entry);
            copies.replaceKey(name, pdf->copyForeignObject(entry));
        }
    }
}

}  // namespace

void AddTextLayer(QPDF* pdf, const std::string& layer, double width, double height,
                  std::string* content, QPDFObjectHandle resources) {
    QPDF source;
    source.processMemoryFile("text layer", layer.data(), layer.size());
    // Copied streams take their bytes now, so the layer need not outlive us.
    source.setImmediateCopyFrom(true);
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(source).getAllPages();
    if (pages.empty()) throw std::runtime_error("text layer without a page");
    QPDFPageObjectHelper page = pages.front();
    PageBox box = PageBoxOf(page);
    if (box.width <= 0 || box.height <= 0) throw std::runtime_error("text layer page is empty");
    double scaleX = width / box.width, scaleY = height / box.height;
    *content += "q " + Number(scaleX) + " 0 0 " + Number(scaleY) + " " +
                Number(-box.left * scaleX) + " " + Number(-box.bottom * scaleY) + " cm\n" +
                ContentOf(page) + "\nQ\n";
    CopyResources(pdf, source, page.getAttribute("/Resources", false), resources);
}

}  // namespace kximage

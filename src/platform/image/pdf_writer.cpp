#include "platform/image/pdf_writer.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <string>

#include "platform/base/kx_log.h"
#include "platform/image/file_io.h"

namespace kximage {
namespace {

using Handle = QPDFObjectHandle;

// Readers refuse or blank pages with a side under 3 units (points).
constexpr double kMinPageSidePoints = 3.0;

struct PagePoints {
    double width;
    double height;
};

// The page's size in points from its pixels and resolution. A page too thin
// for readers (a strip of one pixel, say) is enlarged as a whole, keeping
// the picture's aspect, until its shorter side is the minimum.
PagePoints PageSize(const PageImage& page) {
    PagePoints size{page.WidthInches() * 72.0, page.HeightInches() * 72.0};
    double shorter = std::min(size.width, size.height);
    if (shorter < kMinPageSidePoints) {
        double enlarge = kMinPageSidePoints / shorter;
        size.width = std::max(kMinPageSidePoints, size.width * enlarge);
        size.height = std::max(kMinPageSidePoints, size.height * enlarge);
    }
    return size;
}

// Page sizes in points with four decimals, as in the page's content stream.
std::string Points(double points) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", points);
    return text;
}

Handle ImageStream(QPDF* pdf, const PageImage& page) {
    // The page's bytes are lent to qpdf, which reads them when it writes.
    auto data = std::make_shared<Buffer>(const_cast<uint8_t*>(page.data), page.size);
    Handle stream = pdf->newStream();
    Handle parameters = Handle::newNull();
    const char* filter = "/DCTDecode";
    if (page.kind == PageImageKind::kCcittG4) {
        filter = "/CCITTFaxDecode";
        parameters = Handle::newDictionary();
        parameters.replaceKey("/K", Handle::newInteger(-1));
        parameters.replaceKey("/Columns", Handle::newInteger(page.width));
        parameters.replaceKey("/Rows", Handle::newInteger(page.height));
    }
    stream.replaceStreamData(data, Handle::newName(filter), parameters);
    Handle dictionary = stream.getDict();
    dictionary.replaceKey("/Type", Handle::newName("/XObject"));
    dictionary.replaceKey("/Subtype", Handle::newName("/Image"));
    dictionary.replaceKey("/Width", Handle::newInteger(page.width));
    dictionary.replaceKey("/Height", Handle::newInteger(page.height));
    dictionary.replaceKey("/ColorSpace",
                          Handle::newName(page.components == 3 ? "/DeviceRGB" : "/DeviceGray"));
    dictionary.replaceKey("/BitsPerComponent",
                          Handle::newInteger(page.kind == PageImageKind::kCcittG4 ? 1 : 8));
    return stream;
}

Handle PageObject(QPDF* pdf, const PageImage& page) {
    PagePoints size = PageSize(page);
    std::string width = Points(size.width), height = Points(size.height);
    Handle content = pdf->newStream("q " + width + " 0 0 " + height + " 0 0 cm /Im0 Do Q\n");
    Handle images = Handle::newDictionary();
    images.replaceKey("/Im0", ImageStream(pdf, page));
    Handle resources = Handle::newDictionary();
    resources.replaceKey("/XObject", images);
    Handle box = Handle::newArray();
    box.appendItem(Handle::newInteger(0));
    box.appendItem(Handle::newInteger(0));
    box.appendItem(Handle::parse(width));
    box.appendItem(Handle::parse(height));
    Handle object = Handle::newDictionary();
    object.replaceKey("/Type", Handle::newName("/Page"));
    object.replaceKey("/MediaBox", box);
    object.replaceKey("/Resources", resources);
    object.replaceKey("/Contents", content);
    return pdf->makeIndirectObject(object);
}

void WriteDocument(const std::vector<PageImage>& pages, const char* path) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper document(pdf);
    for (const PageImage& page : pages)
        document.addPage(PageObject(&pdf, page), false);
    QPDFWriter writer(pdf, path);
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setMinimumPDFVersion("1.4");
    writer.write();
}

}  // namespace

int PdfDocumentWriter::AddPage(KXImageObject* image, uint32_t jpegQuality) {
    PageImage page;
    BlackAndWhiteAs blackAndWhite =
        jpegPagesOnly_ ? BlackAndWhiteAs::kJpeg : BlackAndWhiteAs::kCcittG4;
    int status = MakePageImage(image, blackAndWhite, jpegQuality, &page);
    if (status != KX_OK) return status;
    try {
        pages_.push_back(std::move(page));
    } catch (const std::exception&) {
        return KX_ERR_SYSTEM;
    }
    return KX_OK;
}

int PdfDocumentWriter::Write(const char* path) const {
    if (pages_.empty()) return KX_ERR_STATE;
    RemoveOnFailure guard(path);
    try {
        WriteDocument(pages_, path);
    } catch (const std::exception& error) {
        KXBase_WriteInfo(KX_LOG_INFO, "pdf write %s: %s", path, error.what());
        return KX_ERR_SYSTEM;
    }
    guard.Keep();
    return KX_OK;
}

}  // namespace kximage

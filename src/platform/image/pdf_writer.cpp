#include "platform/image/pdf_writer.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <stdexcept>
#include <string>

#include "platform/base/kx_files.h"
#include "platform/base/kx_log.h"
#include "platform/image/file_io.h"
#include "platform/image/pdf_text_layer.h"
#include "platform/image/png_codec.h"

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

uint32_t BitsPerComponent(const PageImage& page) {
    return page.bilevel ? 1 : 8;
}

// Page sizes in points with four decimals, as in the page's content stream.
std::string Points(double points) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", points);
    return text;
}

// The picture's stream data: the page's own bytes, lent to qpdf (which reads
// them when it writes), or the compressed rows of a PNG picture.
std::shared_ptr<Buffer> PictureData(const PageImage& page) {
    if (page.kind != PageImageKind::kPng)
        return std::make_shared<Buffer>(const_cast<uint8_t*>(page.data), page.size);
    std::vector<uint8_t> rows;
    if (!PngCompressedRows(page.data, page.size, &rows))
        throw std::runtime_error("page picture is not a plain PNG");
    auto data = std::make_shared<Buffer>(rows.size());
    std::copy(rows.begin(), rows.end(), data->getBuffer());
    return data;
}

Handle PictureParameters(const PageImage& page) {
    Handle parameters = Handle::newDictionary();
    if (page.kind == PageImageKind::kCcittG4) {
        parameters.replaceKey("/K", Handle::newInteger(-1));
        parameters.replaceKey("/Columns", Handle::newInteger(page.width));
        parameters.replaceKey("/Rows", Handle::newInteger(page.height));
    } else if (page.kind == PageImageKind::kPng) {
        // Each row starts with the PNG filter byte of its own choosing.
        parameters.replaceKey("/Predictor", Handle::newInteger(15));
        parameters.replaceKey("/Colors", Handle::newInteger(page.components));
        parameters.replaceKey("/BitsPerComponent", Handle::newInteger(BitsPerComponent(page)));
        parameters.replaceKey("/Columns", Handle::newInteger(page.width));
    } else {
        return Handle::newNull();
    }
    return parameters;
}

const char* PictureFilter(PageImageKind kind) {
    switch (kind) {
        case PageImageKind::kCcittG4:
            return "/CCITTFaxDecode";
        case PageImageKind::kPng:
            return "/FlateDecode";
        case PageImageKind::kJpeg:
            break;
    }
    return "/DCTDecode";
}

Handle ImageStream(QPDF* pdf, const PageImage& page) {
    Handle stream = pdf->newStream();
    stream.replaceStreamData(PictureData(page), Handle::newName(PictureFilter(page.kind)),
                             PictureParameters(page));
    Handle dictionary = stream.getDict();
    dictionary.replaceKey("/Type", Handle::newName("/XObject"));
    dictionary.replaceKey("/Subtype", Handle::newName("/Image"));
    dictionary.replaceKey("/Width", Handle::newInteger(page.width));
    dictionary.replaceKey("/Height", Handle::newInteger(page.height));
    dictionary.replaceKey("/ColorSpace",
                          Handle::newName(page.components == 3 ? "/DeviceRGB" : "/DeviceGray"));
    dictionary.replaceKey("/BitsPerComponent", Handle::newInteger(BitsPerComponent(page)));
    return stream;
}

Handle PageObject(QPDF* pdf, const PageImage& page, const std::string& textLayer) {
    PagePoints size = PageSize(page);
    std::string width = Points(size.width), height = Points(size.height);
    std::string drawing = "q " + width + " 0 0 " + height + " 0 0 cm /Im0 Do Q\n";
    Handle images = Handle::newDictionary();
    images.replaceKey("/Im0", ImageStream(pdf, page));
    Handle resources = Handle::newDictionary();
    resources.replaceKey("/XObject", images);
    if (!textLayer.empty())
        AddTextLayer(pdf, textLayer, size.width, size.height, &drawing, resources);
    Handle content = pdf->newStream(drawing);
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

// qpdf's output stage that writes into a file replacement; a failed write
// ends the document write by an exception, as qpdf's own stages do.
class ReplacementPipeline : public Pipeline {
  public:
    explicit ReplacementPipeline(KXFileReplacement* file)
        : Pipeline("file", nullptr), file_(file) {}
    void write(unsigned char const* data, size_t size) override {
        if (!file_->Append(data, size)) throw std::runtime_error("the file could not be written");
    }
    void finish() override {}

  private:
    KXFileReplacement* file_;
};

}  // namespace

void PdfDocumentWriter::WriteDocument(const char* path) const {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper document(pdf);
    for (const Page& page : pages_)
        document.addPage(PageObject(&pdf, page.picture, page.textLayer), false);
    KXFileReplacement file(path, KX_REPLACE_DURABLE);
    ReplacementPipeline output(&file);
    QPDFWriter writer(pdf);
    writer.setOutputPipeline(&output);
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setMinimumPDFVersion("1.4");
    writer.write();
    if (file.Commit() != KX_OK) throw std::runtime_error("the file could not be replaced");
}

int PdfDocumentWriter::AddPage(KXImageObject* image, uint32_t jpegQuality, std::string textLayer) {
    Page page;
    int status = MakePageImage(image, pictures_, jpegQuality, &page.picture);
    if (status != KX_OK) return status;
    page.textLayer = std::move(textLayer);
    try {
        pages_.push_back(std::move(page));
    } catch (const std::exception&) {
        return KX_ERR_SYSTEM;
    }
    return KX_OK;
}

int PdfDocumentWriter::Write(const char* path) const {
    if (pages_.empty()) return KX_ERR_STATE;
    try {
        WriteDocument(path);
    } catch (const std::exception& error) {
        KXBase_WriteInfo(KX_LOG_INFO, "pdf write %s: %s", path, error.what());
        return KX_ERR_SYSTEM;
    }
    return KX_OK;
}

}  // namespace kximage

// Loading the first page of a PDF: its sole image when it has one (read back
// with qpdf, no rendering), else a rendering of the page with poppler.
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <stdexcept>

#include "platform/base/kx_log.h"
#include "platform/image/image_loader.h"
#include "platform/image/image_reduce.h"
#include "platform/image/load_limits.h"
#include "platform/image/page_image.h"
#include "platform/image/pdf_page_scan.h"
#include "platform/image/pixel_rows.h"
#include "platform/image/tiff_codec.h"

namespace kximage {
namespace {

using Handle = QPDFObjectHandle;

// Rendered pages are at most this many pixels (an A0 page at 200 dpi).
constexpr double kMaxRenderPixels = double(1 << 26);

// What the sole image of a page is and how to read it.
enum class Coding { kNone, kRaw, kDct, kFlate, kFax };

struct SoleImage {
    Coding coding = Coding::kNone;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t components = 0;
    uint32_t bits = 0;
    bool inverted = false;  // Decode [1 0]
    Handle stream;
};

uint32_t ComponentsOf(Handle space) {
    if (space.isName()) {
        std::string name = space.getName();
        if (name == "/DeviceGray" || name == "/CalGray") return 1;
        return name == "/DeviceRGB" || name == "/CalRGB" ? 3 : 0;
    }
    if (!space.isArray() || space.getArrayNItems() != 2 || !space.getArrayItem(0).isName())
        return 0;
    std::string family = space.getArrayItem(0).getName();
    if (family == "/CalGray") return 1;
    if (family == "/CalRGB") return 3;
    if (family != "/ICCBased" || !space.getArrayItem(1).isStream()) return 0;
    Handle count = space.getArrayItem(1).getDict().getKey("/N");
    return count.isInteger() && (count.getIntValue() == 1 || count.getIntValue() == 3)
               ? static_cast<uint32_t>(count.getIntValue())
               : 0;
}

Handle SingleItem(Handle value) {
    if (value.isArray())
        return value.getArrayNItems() == 1 ? value.getArrayItem(0) : Handle::newNull();
    return value;
}

Coding CodingOf(Handle dictionary) {
    Handle filter = dictionary.getKey("/Filter");
    if (filter.isNull() || (filter.isArray() && filter.getArrayNItems() == 0)) return Coding::kRaw;
    filter = SingleItem(filter);
    if (!filter.isName()) return Coding::kNone;
    std::string name = filter.getName();
    if (name == "/DCTDecode") return Coding::kDct;
    if (name == "/FlateDecode") return Coding::kFlate;
    return name == "/CCITTFaxDecode" ? Coding::kFax : Coding::kNone;
}

// Decode arrays other than [0 1 ...] and [1 0] (1-bit) are left to the renderer.
bool ReadDecode(Handle dictionary, SoleImage* image) {
    Handle decode = dictionary.getKey("/Decode");
    if (decode.isNull()) return true;
    if (image->bits == 1 && decode.isArray() && decode.getArrayNItems() == 2 &&
        decode.getArrayItem(0).isNumber() && decode.getArrayItem(1).isNumber()) {
        double low = decode.getArrayItem(0).getNumericValue();
        double high = decode.getArrayItem(1).getNumericValue();
        image->inverted = low == 1 && high == 0;
        return image->inverted || (low == 0 && high == 1);
    }
    return false;
}

bool FaxParametersFit(Handle dictionary, const SoleImage& image, bool* blackIs1) {
    Handle parameters = SingleItem(dictionary.getKey("/DecodeParms"));
    if (!parameters.isDictionary()) return false;
    Handle k = parameters.getKey("/K"), columns = parameters.getKey("/Columns");
    Handle align = parameters.getKey("/EncodedByteAlign"), black = parameters.getKey("/BlackIs1");
    *blackIs1 = black.isBool() && black.getBoolValue();
    return k.isInteger() && k.getIntValue() < 0 && columns.isInteger() &&
           columns.getIntValue() == image.width && !(align.isBool() && align.getBoolValue());
}

// Fills image when the stream is an image we read directly.
bool Describe(Handle stream, SoleImage* image) {
    Handle dictionary = stream.getDict();
    Handle width = dictionary.getKey("/Width"), height = dictionary.getKey("/Height");
    Handle bits = dictionary.getKey("/BitsPerComponent"), mask = dictionary.getKey("/ImageMask");
    if (!width.isInteger() || !height.isInteger() || !bits.isInteger() ||
        (mask.isBool() && mask.getBoolValue()) || dictionary.hasKey("/SMask") ||
        dictionary.hasKey("/Mask") || width.getIntValue() <= 0 || height.getIntValue() <= 0 ||
        width.getIntValue() > kMaxLoadSide || height.getIntValue() > kMaxLoadSide)
        return false;
    image->width = static_cast<uint32_t>(width.getIntValue());
    image->height = static_cast<uint32_t>(height.getIntValue());
    image->bits = static_cast<uint32_t>(bits.getIntValue());
    image->components = ComponentsOf(dictionary.getKey("/ColorSpace"));
    image->coding = CodingOf(dictionary);
    image->stream = stream;
    if (image->components == 0 || !ReadDecode(dictionary, image)) return false;
    switch (image->coding) {
        case Coding::kDct:
            return image->bits == 8 && !dictionary.hasKey("/DecodeParms");
        case Coding::kRaw:
        case Coding::kFlate:
            return image->bits == 8 || (image->bits == 1 && image->components == 1);
        case Coding::kFax:
            return image->bits == 1 && image->components == 1;
        case Coding::kNone:
            return false;
    }
    return false;
}

uint32_t StoredTypeOf(const SoleImage& image) {
    if (image.bits == 1) return KX_PIXEL_BW;
    return image.components == 3 ? KX_PIXEL_RGB : KX_PIXEL_GRAY;
}

// Collects decoded stream data up to an expected size; more is an error, so
// a small stream cannot inflate into a large allocation.
class CappedCollector : public Pipeline {
  public:
    explicit CappedCollector(size_t expected) : Pipeline("capped collector", nullptr) {
        data_.reserve(expected);
        expected_ = expected;
    }
    void write(unsigned char const* data, size_t length) override {
        if (length > expected_ - data_.size())
            throw std::length_error("image data larger than its size");
        data_.insert(data_.end(), data, data + length);
    }
    void finish() override {}
    std::vector<uint8_t>& data() { return data_; }

  private:
    std::vector<uint8_t> data_;
    size_t expected_ = 0;
};

// Flate-compressed or uncompressed rows.
int ReadPixelImage(const SoleImage& image, uint64_t fileSize, LoadResult* result) {
    if (!SizeJustified(image.width, image.height, fileSize, kDeflatePixelsPerByte))
        return KX_ERR_DATA;
    uint32_t type = StoredTypeOf(image);
    size_t rowBytes =
        image.bits == 1 ? (image.width + 7) / 8 : size_t{image.width} * image.components;
    CappedCollector collector(rowBytes * image.height);
    Handle stream = image.stream;
    if (!stream.pipeStreamData(&collector, 0, qpdf_dl_generalized, true, false) ||
        collector.data().size() != rowBytes * image.height)
        return KX_ERR_NOT_FOUND;  // let the renderer make what it can of it
    auto pixels = NewImage(image.width, image.height, type);
    if (!pixels) return KX_ERR_SYSTEM;
    ClearPadding(pixels.get());
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = collector.data().data() + y * rowBytes;
        if (type == KX_PIXEL_BW && !image.inverted)
            InvertBytes(row, Row(pixels.get(), y),
                        static_cast<uint32_t>(rowBytes));  // PDF: 0 = black
        else
            std::memcpy(Row(pixels.get(), y), row, rowBytes);
    }
    result->image = std::move(pixels);
    return KX_OK;
}

int ReadFaxImage(const SoleImage& image, uint64_t fileSize, LoadResult* result) {
    bool blackIs1 = false;
    Handle stream = image.stream;
    if (!FaxParametersFit(stream.getDict(), image, &blackIs1)) return KX_ERR_NOT_FOUND;
    if (!SizeJustified(image.width, image.height, fileSize, kFaxPixelsPerByte)) return KX_ERR_DATA;
    std::shared_ptr<Buffer> raw = stream.getRawStreamData();
    result->image = DecodeG4(raw->getBuffer(), raw->getSize(), image.width, image.height,
                             blackIs1 == image.inverted);
    return result->image ? KX_OK : KX_ERR_DATA;
}

int ReadDctImage(const SoleImage& image, const LoadRequest& request, LoadResult* result) {
    Handle stream = image.stream;
    std::shared_ptr<Buffer> raw = stream.getRawStreamData();
    std::vector<uint8_t> bytes(raw->getBuffer(), raw->getBuffer() + raw->getSize());
    raw.reset();
    LoadResult jpeg;
    int status = LoadJpeg(std::move(bytes), request, &jpeg);
    if (status != KX_OK || jpeg.info.width != image.width || jpeg.info.height != image.height)
        return KX_ERR_NOT_FOUND;
    result->image = std::move(jpeg.image);
    return KX_OK;
}

// KX_ERR_NOT_FOUND: the page must be rendered instead.
int ReadSoleImage(const SoleImage& image, const PageBox& box, uint64_t fileSize,
                  const LoadRequest& request, LoadResult* result) {
    uint32_t dpi = static_cast<uint32_t>(std::lround(image.width * 72.0 / box.width));
    result->info =
        ImageFileInfo{image.width, image.height, StoredTypeOf(image), KX_FORMAT_PDF, dpi};
    if (request.infoOnly)
        return SizeJustified(
                   image.width, image.height, fileSize,
                   image.coding == Coding::kFax ? kFaxPixelsPerByte : kDeflatePixelsPerByte)
                   ? KX_OK
                   : KX_ERR_DATA;
    int status = image.coding == Coding::kDct   ? ReadDctImage(image, request, result)
                 : image.coding == Coding::kFax ? ReadFaxImage(image, fileSize, result)
                                                : ReadPixelImage(image, fileSize, result);
    // A preview load may have decoded the picture reduced already; its
    // resolution then shrinks with it, so the page keeps its size.
    if (status == KX_OK) result->image->dpi = ReducedDpi(dpi, image.width, result->image->width);
    return status;
}

// KX_OK with the image, KX_ERR_NOT_FOUND when the page has to be rendered.
int TryDirectImage(const std::vector<uint8_t>& bytes, const LoadRequest& request,
                   LoadResult* result) {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processMemoryFile("document", reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    if (pages.empty()) return KX_ERR_DATA;
    PageBox box = PageBoxOf(pages[0]);
    if (!(box.width > 0 && box.height > 0)) return KX_ERR_DATA;
    Handle stream = SoleImageOfPage(pages[0], box);
    SoleImage image;
    if (stream.isNull() || !Describe(stream, &image)) return KX_ERR_NOT_FOUND;
    return ReadSoleImage(image, box, bytes.size(), request, result);
}

void DropPopplerMessage(const std::string&, void*) {}

struct PopplerDocument {
    std::unique_ptr<poppler::document> document;
    std::unique_ptr<poppler::page> page;
    double widthPoints = 0;
    double heightPoints = 0;
};

bool OpenWithPoppler(const std::vector<uint8_t>& bytes, PopplerDocument* opened) {
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function(DropPopplerMessage, nullptr); });
    if (bytes.size() > 0x7FFFFFFF) return false;
    opened->document.reset(poppler::document::load_from_raw_data(
        reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())));
    if (!opened->document || opened->document->is_locked() || opened->document->pages() < 1)
        return false;
    opened->page.reset(opened->document->create_page(0));
    if (!opened->page) return false;
    poppler::rectf rect = opened->page->page_rect(poppler::crop_box);
    bool turned = opened->page->orientation() == poppler::page::landscape ||
                  opened->page->orientation() == poppler::page::seascape;
    opened->widthPoints = turned ? rect.height() : rect.width();
    opened->heightPoints = turned ? rect.width() : rect.height();
    return opened->widthPoints > 0 && opened->heightPoints > 0;
}

// 200 dpi, less for pages beyond the pixel budget.
double FullDpi(const PopplerDocument& opened) {
    double dpi = kDefaultPageDpi;
    double area = opened.widthPoints * opened.heightPoints / (72.0 * 72.0);
    if (area * dpi * dpi > kMaxRenderPixels) dpi = std::sqrt(kMaxRenderPixels / area);
    double longSide = std::max(opened.widthPoints, opened.heightPoints) / 72.0;
    return std::min(dpi, kMaxLoadSide / longSide);
}

// The size poppler gives a page rendered at dpi.
uint32_t RenderedSide(double points, double dpi) {
    return static_cast<uint32_t>(points * dpi / 72.0 + 0.5);
}

int RenderPage(const std::vector<uint8_t>& bytes, const LoadRequest& request, LoadResult* result) {
    PopplerDocument opened;
    if (!OpenWithPoppler(bytes, &opened)) return KX_ERR_DATA;
    double dpi = FullDpi(opened);
    uint32_t width = RenderedSide(opened.widthPoints, dpi);
    uint32_t height = RenderedSide(opened.heightPoints, dpi);
    if (width == 0 || height == 0) return KX_ERR_DATA;
    result->info = ImageFileInfo{width, height, KX_PIXEL_RGB, KX_FORMAT_PDF,
                                 static_cast<uint32_t>(std::lround(dpi))};
    if (request.infoOnly) return KX_OK;
    // A preview is rendered a little larger than asked and then reduced.
    double longSide = std::max(opened.widthPoints, opened.heightPoints) / 72.0;
    if (request.maxSide != 0) dpi = std::min(dpi, (request.maxSide + 1) / longSide);
    bool grey = request.type == KX_PIXEL_GRAY || request.type == KX_PIXEL_BW;
    poppler::page_renderer renderer;
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    renderer.set_image_format(grey ? poppler::image::format_gray8 : poppler::image::format_rgb24);
    poppler::image rendered = renderer.render_page(opened.page.get(), dpi, dpi);
    if (!rendered.is_valid() || rendered.width() <= 0 || rendered.height() <= 0) return KX_ERR_DATA;
    auto image =
        NewImage(static_cast<uint32_t>(rendered.width()), static_cast<uint32_t>(rendered.height()),
                 grey ? KX_PIXEL_GRAY : KX_PIXEL_RGB);
    if (!image) return KX_ERR_SYSTEM;
    ClearPadding(image.get());
    image->dpi = static_cast<uint32_t>(std::lround(dpi));
    size_t rowBytes = PackedRowBytes(image->width, image->type);
    for (uint32_t y = 0; y < image->height; ++y)
        std::memcpy(Row(image.get(), y),
                    rendered.const_data() + size_t{y} * rendered.bytes_per_row(), rowBytes);
    result->image = std::move(image);
    return KX_OK;
}

}  // namespace

int LoadPdf(std::vector<uint8_t> bytes, const LoadRequest& request, LoadResult* result) {
    int status = KX_ERR_NOT_FOUND;
    try {
        status = TryDirectImage(bytes, request, result);
    } catch (const std::exception& error) {
        KXBase_WriteInfo(KX_LOG_INFO, "pdf: %s", error.what());
        status = KX_ERR_NOT_FOUND;  // poppler may still read what qpdf could not
    }
    if (status != KX_ERR_NOT_FOUND) return status;
    *result = LoadResult{};
    try {
        return RenderPage(bytes, request, result);
    } catch (const std::exception& error) {
        KXBase_WriteInfo(KX_LOG_INFO, "pdf render: %s", error.what());
        return KX_ERR_DATA;
    }
}

}  // namespace kximage

// KXImgProc_ImageOCRToFile: recognises the region of interest with the
// manager's text engine and writes a searchable PDF or OFD: the region's
// picture under an invisible text layer. The picture is kept as the source
// has it (a JPEG file's own bytes, other pictures lossless) or, for scanned
// pages, encoded as the plain document formats encode it.
#include <tesseract/baseapi.h>
#include <tesseract/renderer.h>
#include <tesseract/resultiterator.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/guarded_call.h"
#include "platform/image/file_io.h"
#include "platform/image/pdf_writer.h"
#include "platform/image/proc/kx_imgproc.h"
#include "platform/image/proc/ocr_manager.h"
#include "platform/image/proc/ocr_page.h"

namespace kximgproc {
namespace {

enum class DocumentKind { kNone, kPdf, kOfd };

DocumentKind KindOfPath(std::string_view path) {
    if (path.size() < 3) {
        return DocumentKind::kNone;
    }
    std::string tail(path.substr(path.size() - 3));
    for (char& c : tail) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return tail == "pdf"   ? DocumentKind::kPdf
           : tail == "ofd" ? DocumentKind::kOfd
                           : DocumentKind::kNone;
}

bool CoversWholeImage(const ImageView& view) {
    return view.roi.left == 0 && view.roi.top == 0 &&
           static_cast<uint32_t>(view.roi.right) == view.width &&
           static_cast<uint32_t>(view.roi.bottom) == view.height;
}

// The image the page shows: the image itself, or a copy of its region of
// interest held in region (the document writers take whole images).
KXImage PageOfView(KXImage image, const ImageView& view, ImageHolder* region) {
    if (CoversWholeImage(view)) return image;
    KXImage clone = nullptr;
    if (KXBase_CloneImage(image, KX_PIXEL_KEEP, 0, &clone) != 0 || clone == nullptr) {
        return nullptr;
    }
    region->reset(clone);
    return clone;
}

// The text layer the engine makes of the recognised page: a PDF of the
// page's size holding only the invisible words. Empty on failure.
std::string TextLayerPdf(tesseract::TessBaseAPI* engine, const std::string& path) {
    // The renderer appends ".pdf" to the name it is given.
    std::string base = path + ".text";
    std::string written = base + ".pdf";
    bool rendered;
    {
        tesseract::TessPDFRenderer renderer(base.c_str(), engine->GetDatapath(), true);
        rendered = renderer.happy() && renderer.BeginDocument("") && renderer.AddImage(engine) &&
                   renderer.EndDocument();
    }
    std::vector<uint8_t> bytes;
    bool read = rendered && kximage::ReadWholeFile(written.c_str(), &bytes) == KX_OK;
    std::remove(written.c_str());
    return read ? std::string(bytes.begin(), bytes.end()) : std::string();
}

// The page picture the flags ask for; false for flags not known here.
bool PictureOfFlags(int32_t flags, PagePictureChoice* picture) {
    if (flags == 0) {
        *picture = kLosslessPage;
        return true;
    }
    int32_t quality = flags & KX_OCR_JPEG_QUALITY_MASK;
    if ((flags & ~KX_OCR_JPEG_QUALITY_MASK) != KX_OCR_SCAN_PICTURE || quality > 100) {
        return false;
    }
    *picture = ScannedPage(static_cast<uint32_t>(quality));
    return true;
}

int OcrToFile(KXOcrMgr manager, KXImage image, int32_t flags, const char* path) {
    ImageView view;
    PagePictureChoice picture;
    if (manager == nullptr || path == nullptr || !PictureOfFlags(flags, &picture) ||
        GetReadOnlyImageView(image, &view) != 0) {
        return KX_ERR_ARGUMENT;
    }
    DocumentKind kind = KindOfPath(path);
    if (kind == DocumentKind::kNone) {
        return KX_ERR_ARGUMENT;
    }
    tesseract::TessBaseAPI* engine = manager->TextEngine();
    if (engine == nullptr) {
        return KX_ERR_STATE;
    }
    PixPtr page = RoiToPix(view);
    if (!page) {
        return KX_ERR_SYSTEM;
    }
    uint32_t dpi = ImageResolution(image);
    dpi = dpi != 0 ? dpi : kOcrDefaultDpi;
    pixSetResolution(page.get(), dpi, dpi);
    if (!RecognizePage(engine, page.get(), dpi)) {
        engine->Clear();
        return KX_ERR_SYSTEM;
    }
    ImageHolder region;
    KXImage pageImage = PageOfView(image, view, &region);
    bool written = pageImage != nullptr &&
                   (kind == DocumentKind::kPdf
                        ? WriteSearchablePdf(pageImage, picture, TextLayerPdf(engine, path), path)
                        : WriteSearchableOfd(pageImage, picture, RecognizedWords(engine), path));
    engine->Clear();
    return written ? KX_OK : KX_ERR_SYSTEM;
}

}  // namespace

bool RecognizePage(tesseract::TessBaseAPI* engine, PIX* page, uint32_t dpi) {
    engine->SetPageSegMode(tesseract::PSM_AUTO);
    engine->SetImage(page);
    engine->SetSourceResolution(static_cast<int>(dpi));
    return engine->Recognize(nullptr) == 0;
}

std::vector<OcrWord> RecognizedWords(tesseract::TessBaseAPI* engine) {
    std::vector<OcrWord> words;
    std::unique_ptr<tesseract::ResultIterator> it(engine->GetIterator());
    if (!it || it->Empty(tesseract::RIL_WORD)) {
        return words;
    }
    do {
        std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
        OcrWord word;
        if (text == nullptr || text[0] == '\0' ||
            !it->BoundingBox(tesseract::RIL_WORD, &word.left, &word.top, &word.right,
                             &word.bottom)) {
            continue;
        }
        word.text = text.get();
        words.push_back(std::move(word));
    } while (it->Next(tesseract::RIL_WORD));
    return words;
}

bool WriteSearchablePdf(KXImage image, PagePictureChoice picture, std::string textLayer,
                        const std::string& path) {
    if (textLayer.empty()) return false;
    kximage::PdfDocumentWriter writer(picture.pictures);
    std::string partial = path + ".part";
    if (writer.AddPage(image, picture.jpegQuality, std::move(textLayer)) != KX_OK ||
        writer.Write(partial.c_str()) != KX_OK) {
        return false;
    }
    if (std::rename(partial.c_str(), path.c_str()) == 0) return true;
    std::remove(partial.c_str());
    return false;
}

}  // namespace kximgproc

int KXImgProc_ImageOCRToFile(KXOcrMgr manager, KXImage image, int32_t flags, const char* path) {
    return GuardedCall(__func__, [&] { return kximgproc::OcrToFile(manager, image, flags, path); });
}

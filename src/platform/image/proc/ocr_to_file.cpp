// KXImgProc_ImageOCRToFile: recognises the region of interest with the
// manager's text engine and writes a searchable PDF or OFD.
#include <tesseract/baseapi.h>
#include <tesseract/renderer.h>
#include <tesseract/resultiterator.h>

#include <cstdio>
#include <memory>
#include <string_view>

#include "platform/image/proc/guarded.h"
#include "platform/image/proc/kx_imgproc.h"
#include "platform/image/proc/ocr_manager.h"
#include "platform/image/proc/ocr_page.h"

namespace kx_imgproc {
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

int OcrToFile(KXOcrMgr manager, KXImage image, int32_t flags, const char* path) {
    ImageView view;
    if (manager == nullptr || path == nullptr || flags != 0 || GetImageView(image, &view) != 0) {
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
    bool written = kind == DocumentKind::kPdf
                       ? WriteSearchablePdf(engine, path)
                       : WriteSearchableOfd(image, view, RecognizedWords(engine), path);
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

bool WriteSearchablePdf(tesseract::TessBaseAPI* engine, const std::string& path) {
    // The renderer appends ".pdf" to the name it is given.
    std::string base = path + ".part";
    std::string written = base + ".pdf";
    bool ok;
    {
        tesseract::TessPDFRenderer renderer(base.c_str(), engine->GetDatapath(), false);
        ok = renderer.happy() && renderer.BeginDocument("") && renderer.AddImage(engine) &&
             renderer.EndDocument();
    }
    if (ok && std::rename(written.c_str(), path.c_str()) == 0) {
        return true;
    }
    std::remove(written.c_str());
    return false;
}

}  // namespace kx_imgproc

int KXImgProc_ImageOCRToFile(KXOcrMgr manager, KXImage image, int32_t flags, const char* path) {
    return kx_imgproc::Guarded([&] { return kx_imgproc::OcrToFile(manager, image, flags, path); });
}

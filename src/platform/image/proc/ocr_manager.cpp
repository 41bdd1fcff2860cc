#include "platform/image/proc/ocr_manager.h"

#include <tesseract/baseapi.h>

#include "platform/image/proc/guarded.h"
#include "platform/image/proc/kx_imgproc.h"
#include "platform/image/proc/tessdata.h"

namespace {

// Loads one engine; null when Tesseract refuses the data.
std::unique_ptr<tesseract::TessBaseAPI> LoadEngine(const std::string& folder,
                                                   const std::string& languages,
                                                   tesseract::OcrEngineMode mode) {
    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    if (engine->Init(folder.c_str(), languages.c_str(), mode) != 0) {
        return nullptr;
    }
    // Tesseract's progress and diagnostic chatter would flood the service log.
    engine->SetVariable("debug_file", "/dev/null");
    return engine;
}

}  // namespace

std::unique_ptr<KXOcrManagerObject> KXOcrManagerObject::Create() {
    struct Choice {
        const char* languages;
        std::vector<std::string> files;
    };
    const Choice choices[] = {
        {"chi_sim+eng", {"chi_sim", "eng"}}, {"eng", {"eng"}}, {"chi_sim", {"chi_sim"}}};
    for (const Choice& choice : choices) {
        std::string folder = kx_imgproc::FindTessdata(choice.files);
        if (!folder.empty()) {
            return std::unique_ptr<KXOcrManagerObject>(
                new KXOcrManagerObject(folder, choice.languages));
        }
    }
    return nullptr;
}

KXOcrManagerObject::KXOcrManagerObject(std::string textFolder, std::string languages)
    : textFolder_(std::move(textFolder)), languages_(std::move(languages)) {}

KXOcrManagerObject::~KXOcrManagerObject() = default;

tesseract::TessBaseAPI* KXOcrManagerObject::TextEngine() {
    if (!text_ && !textFailed_) {
        text_ = LoadEngine(textFolder_, languages_, tesseract::OEM_LSTM_ONLY);
        textFailed_ = !text_;
    }
    return text_.get();
}

tesseract::TessBaseAPI* KXOcrManagerObject::OrientationEngine() {
    if (!orientation_ && !orientationFailed_) {
        std::string folder = kx_imgproc::FindTessdata({"osd"});
        if (!folder.empty()) {
            orientation_ = LoadEngine(folder, "osd", tesseract::OEM_TESSERACT_ONLY);
        }
        orientationFailed_ = !orientation_;
    }
    return orientation_.get();
}

int KXImgProc_CreateOCRMgr(KXOcrMgr* manager) {
    if (manager == nullptr) {
        return KX_ERR_ARGUMENT;
    }
    *manager = nullptr;
    return kx_imgproc::Guarded([&] {
        std::unique_ptr<KXOcrManagerObject> created = KXOcrManagerObject::Create();
        if (!created) {
            return KX_ERR_NOT_FOUND;
        }
        *manager = created.release();
        return KX_OK;
    });
}

int KXImgProc_DestroyOCRMgr(KXOcrMgr manager) {
    if (manager == nullptr) {
        return KX_ERR_ARGUMENT;
    }
    delete manager;
    return KX_OK;
}

#include "platform/image/proc/ocr_manager.h"

#include <tesseract/baseapi.h>

#include "platform/base/guarded_call.h"
#include "platform/image/proc/engine_shelf.h"
#include "platform/image/proc/kx_imgproc.h"
#include "platform/image/proc/tessdata.h"

std::unique_ptr<KXOcrManagerObject> KXOcrManagerObject::Create() {
    struct Choice {
        const char* languages;
        std::vector<std::string> files;
    };
    const Choice choices[] = {
        {"chi_sim+eng", {"chi_sim", "eng"}}, {"eng", {"eng"}}, {"chi_sim", {"chi_sim"}}};
    for (const Choice& choice : choices) {
        std::string folder = kximgproc::FindTessdata(choice.files);
        if (!folder.empty()) {
            return std::unique_ptr<KXOcrManagerObject>(
                new KXOcrManagerObject(folder, choice.languages));
        }
    }
    return nullptr;
}

KXOcrManagerObject::KXOcrManagerObject(std::string textFolder, std::string languages)
    : textFolder_(std::move(textFolder)), languages_(std::move(languages)) {}

KXOcrManagerObject::~KXOcrManagerObject() {
    kximgproc::ReturnEngine(TextKind(), std::move(text_));
    kximgproc::ReturnEngine(OrientationKind(), std::move(orientation_));
}

kximgproc::EngineKind KXOcrManagerObject::TextKind() const {
    return {textFolder_, languages_, tesseract::OEM_LSTM_ONLY};
}

kximgproc::EngineKind KXOcrManagerObject::OrientationKind() const {
    return {orientationFolder_, "osd", tesseract::OEM_TESSERACT_ONLY};
}

tesseract::TessBaseAPI* KXOcrManagerObject::TextEngine() {
    kximgproc::KeepEngineWorkOnThisThread();
    if (!text_ && !textFailed_) {
        text_ = kximgproc::TakeEngine(TextKind());
        textFailed_ = !text_;
    }
    return text_.get();
}

tesseract::TessBaseAPI* KXOcrManagerObject::OrientationEngine() {
    kximgproc::KeepEngineWorkOnThisThread();
    if (!orientation_ && !orientationFailed_) {
        orientationFolder_ = kximgproc::FindTessdata({"osd"});
        if (!orientationFolder_.empty()) {
            orientation_ = kximgproc::TakeEngine(OrientationKind());
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
    return GuardedCall(__func__, [&] {
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

void KXImgProc_ReleaseIdleEngines() {
    kximgproc::ReleaseShelvedEngines();
}

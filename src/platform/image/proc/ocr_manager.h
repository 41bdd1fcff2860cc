// The OCR manager behind KXOcrMgr: two Tesseract engines, one for text
// ("chi_sim+eng", or whichever of the two is installed) and one for page
// orientation ("osd"). Each is taken the first time it is needed from the
// process-wide engine shelf (loaded there when none is idle) and put back
// when the manager goes, so creating a manager costs nothing and only the
// first manager of the process pays for loading.
//
// A manager is used by one thread at a time (Tesseract engines are not
// reentrant); separate managers may run on separate threads. The manager
// owns its engines while it lives and hands them to the shelf at the end.
#pragma once

#include <memory>
#include <string>

#include "platform/image/proc/engine_shelf.h"

namespace tesseract {
class TessBaseAPI;
}

struct KXOcrManagerObject {
  public:
    // Null when no text language data is installed.
    static std::unique_ptr<KXOcrManagerObject> Create();
    ~KXOcrManagerObject();

    // The engines, loaded on first use; null when loading fails. The
    // calling thread is the one the engine's work stays on.
    tesseract::TessBaseAPI* TextEngine();
    tesseract::TessBaseAPI* OrientationEngine();

  private:
    KXOcrManagerObject(std::string textFolder, std::string languages);
    kximgproc::EngineKind TextKind() const;
    kximgproc::EngineKind OrientationKind() const;

    std::string textFolder_;
    std::string orientationFolder_;
    std::string languages_;
    std::unique_ptr<tesseract::TessBaseAPI> text_;
    std::unique_ptr<tesseract::TessBaseAPI> orientation_;
    bool textFailed_ = false;
    bool orientationFailed_ = false;
};

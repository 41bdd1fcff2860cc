// The OCR manager behind KXOcrMgr: two Tesseract engines, one for text
// ("chi_sim+eng", or whichever of the two is installed) and one for page
// orientation ("osd"). Each is loaded the first time it is needed and kept
// for the manager's lifetime, so a manager is cheap to create and repeated
// calls on one manager pay the loading cost once.
//
// A manager is used by one thread at a time (Tesseract engines are not
// reentrant); separate managers may run on separate threads. The manager
// owns its engines.
#pragma once

#include <memory>
#include <string>

namespace tesseract {
class TessBaseAPI;
}

struct KXOcrManagerObject {
  public:
    // Null when no text language data is installed.
    static std::unique_ptr<KXOcrManagerObject> Create();
    ~KXOcrManagerObject();

    // The engines, loaded on first use; null when loading fails.
    tesseract::TessBaseAPI* TextEngine();
    tesseract::TessBaseAPI* OrientationEngine();

  private:
    KXOcrManagerObject(std::string textFolder, std::string languages);

    std::string textFolder_;
    std::string languages_;
    std::unique_ptr<tesseract::TessBaseAPI> text_;
    std::unique_ptr<tesseract::TessBaseAPI> orientation_;
    bool textFailed_ = false;
    bool orientationFailed_ = false;
};

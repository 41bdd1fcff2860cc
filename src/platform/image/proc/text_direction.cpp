// KXImgProc_ImageTextDirectOCR: Tesseract's orientation detection on a grey
// copy reduced to about 1400 pixels on the long side, which keeps body text
// legible to the classifier and takes a fraction of the time of the full
// page.
//
// Tesseract reports the clockwise rotation the page has undergone (0, 90,
// 180 or 270 degrees). A page turned 90 degrees clockwise must be turned
// left to be upright (code 2), one turned 270 degrees clockwise, that is 90
// counter-clockwise, must be turned right (code 3), one turned 180 degrees
// needs code 4.
#include <tesseract/baseapi.h>

#include <algorithm>

#include "platform/image/proc/gray_reduce.h"
#include "platform/image/proc/kx_imgproc.h"
#include "platform/image/proc/ocr_manager.h"

namespace kx_imgproc {
namespace {

constexpr int32_t kAnalysisLongSide = 1400;
constexpr uint32_t kDefaultDpi = 200;
// Below this orientation confidence the page holds too little text to tell.
constexpr float kMinConfidence = 2.0f;

int32_t CodeForRotation(int degreesClockwise) {
    switch (degreesClockwise) {
        case 90:
            return KX_DIRECTION_ROTATE_LEFT;
        case 180:
            return KX_DIRECTION_ROTATE_180;
        case 270:
            return KX_DIRECTION_ROTATE_RIGHT;
        default:
            return KX_DIRECTION_UPRIGHT;
    }
}

int DetectDirection(KXOcrMgr manager, KXImage image, int32_t* direction) {
    ImageView view;
    if (manager == nullptr || GetImageView(image, &view) != 0) {
        return KX_ERR_ARGUMENT;
    }
    tesseract::TessBaseAPI* engine = manager->OrientationEngine();
    if (engine == nullptr) {
        return KX_ERR_STATE;
    }
    int32_t factor = FactorForMaxSide(view, kAnalysisLongSide);
    PixPtr pix = ReduceToGray(view, factor, 1);
    if (!pix) {
        return KX_ERR_ARGUMENT;
    }
    uint32_t dpi = ImageResolution(image);
    int32_t reducedDpi = std::max<int32_t>(70, (dpi != 0 ? dpi : kDefaultDpi) / factor);
    pixSetResolution(pix.get(), reducedDpi, reducedDpi);

    engine->SetPageSegMode(tesseract::PSM_OSD_ONLY);
    engine->SetImage(pix.get());
    engine->SetSourceResolution(reducedDpi);
    int degrees = 0;
    float confidence = 0;
    const char* script = nullptr;
    float scriptConfidence = 0;
    bool detected =
        engine->DetectOrientationScript(&degrees, &confidence, &script, &scriptConfidence);
    engine->Clear();
    if (detected && confidence >= kMinConfidence) {
        *direction = CodeForRotation(degrees);
    }
    return KX_OK;
}

}  // namespace
}  // namespace kx_imgproc

int KXImgProc_ImageTextDirectOCR(KXOcrMgr manager, KXImage image, int32_t* direction) {
    if (direction == nullptr) {
        return KX_ERR_ARGUMENT;
    }
    *direction = KX_DIRECTION_UPRIGHT;
    try {
        return kx_imgproc::DetectDirection(manager, image, direction);
    } catch (...) {
        return KX_ERR_SYSTEM;
    }
}

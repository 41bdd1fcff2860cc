// DeskewImageFile and CorrectImageFileDirection: a
// page straightened by its edges or text lines, and a page turned so that
// its text reads upright.
#include "platform/base/service_thread.h"
#include "platform/image/proc/kx_imgproc.h"
#include "ver_2/error_info.h"
#include "ver_2/image_operations.h"
#include "ver_2/output_files.h"

namespace ver_2 {

namespace {

struct OcrManagerDeleter {
    void operator()(KXOcrMgr manager) const { KXImgProc_DestroyOCRMgr(manager); }
};
using OcrManagerHolder = std::unique_ptr<KXOcrManagerObject, OcrManagerDeleter>;

// A new image of the given size in the source's pixel type, filled by the
// rotation; null when it cannot be made.
ImageHolder Rotated(KXImage source, const KXImageInfo& info, bool swapSides,
                    int (*rotate)(KXImage, KXImage)) {
    uint32_t width = swapSides ? info.height : info.width;
    uint32_t height = swapSides ? info.width : info.height;
    KXImage created = nullptr;
    if (KXBase_CreateImage(width, height, info.type, info.origin, &created) != 0) return nullptr;
    ImageHolder result(created);
    if (rotate(source, result.get()) != 0) return nullptr;
    uint32_t dpi = 0;
    if (KXBase_GetImageResolution(source, &dpi) == 0) KXBase_SetImageResolution(result.get(), dpi);
    return result;
}

// The image turned as the direction code says; an unchanged copy for codes
// other than the three turns.
ImageHolder Upright(KXImage image, int32_t direction) {
    KXImageInfo info{};
    if (KXBase_GetImageInfo(image, &info) != 0) return nullptr;
    switch (direction) {
        case KX_DIRECTION_ROTATE_LEFT:
            return Rotated(image, info, true, KXBase_ImageRotateLeft);
        case KX_DIRECTION_ROTATE_RIGHT:
            return Rotated(image, info, true, KXBase_ImageRotateRight);
        case KX_DIRECTION_ROTATE_180:
            return Rotated(image, info, false, KXBase_ImageRotate180);
        default: {
            KXImage copy = nullptr;
            if (KXBase_CloneImage(image, info.type, info.origin, &copy) != 0) {
                KXBase_DestroyImage(copy);
                return nullptr;
            }
            return ImageHolder(copy);
        }
    }
}

}  // namespace

int DeskewImageFile(OutputFiles& outputs, const std::string& path, bool temporary,
                    std::string& result, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    result.clear();
    ImageHolder image = LoadInputImage(path, KX_PIXEL_KEEP, error);
    if (!image) return -1;
    KXImage cropped = nullptr;
    KXImgProc_ImageAutoCrop(image.get(), 1, 1, 1, 0, 0, 0, 0, 1, &cropped);
    ImageHolder straight(cropped);
    image.reset();
    if (!straight) return RefuseImageStep(error, "straighten the image");
    return outputs.SaveResultImage(straight.get(), temporary, result, error);
}

int CorrectImageFileDirection(OutputFiles& outputs, const std::string& path, bool temporary,
                              std::string& result, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    result.clear();
    ImageHolder image = LoadInputImage(path, KX_PIXEL_KEEP, error);
    if (!image) return -1;
    KXOcrMgr created = nullptr;
    if (KXImgProc_CreateOCRMgr(&created) != 0 || created == nullptr) {
        return RefuseImageStep(error,
                               "start the text recogniser (are its language data installed?)");
    }
    OcrManagerHolder manager(created);
    int32_t direction = 0;
    KXImgProc_ImageTextDirectOCR(manager.get(), image.get(), &direction);
    manager.reset();
    ImageHolder upright = Upright(image.get(), direction);
    image.reset();
    if (!upright) return RefuseImageStep(error, "turn the image");
    return outputs.SaveResultImage(upright.get(), temporary, result, error);
}

}  // namespace ver_2

// ManagerV2::SplitImageFile and ManagerV2::ClipImageFile: new images cut out
// of one image's rectangles.
#include <cstdint>

#include "platform/base/service_thread.h"
#include "ver_2/image_operations.h"
#include "ver_2/manager_v2.h"
#include "ver_2/texts.h"

namespace ver_2 {

namespace {

// A copy of the image's rectangle, or null when the image does not accept
// the rectangle (empty, or not inside the image).
ImageHolder CloneRect(KXImage image, int64_t left, int64_t top, int64_t right, int64_t bottom) {
    constexpr int64_t kMax = INT32_MAX;
    if (left < 0 || top < 0 || right > kMax || bottom > kMax) return nullptr;
    KXRect rect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                static_cast<int32_t>(bottom)};
    if (KXBase_SetImageROI(image, &rect) != 0) return nullptr;
    KXImage clone = nullptr;
    int status = KXBase_CloneImage(image, KX_PIXEL_KEEP, 0, &clone);
    KXBase_ResetImageROI(image);
    if (status != 0) {
        KXBase_DestroyImage(clone);
        return nullptr;
    }
    return ImageHolder(clone);
}

}  // namespace

int ManagerV2::SplitImageFile(const std::string& path, const std::string& mode, int32_t location,
                              bool temporary, std::vector<std::string>& paths,
                              std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    paths.clear();
    errorText = kErrorText;
    if (path.empty() || location < 0 || (mode != "horz" && mode != "vert")) return -1;
    ImageHolder image = LoadImageFile(path, KX_PIXEL_KEEP);
    KXImageInfo info{};
    if (!image || KXBase_GetImageInfo(image.get(), &info) != 0) return -1;
    int64_t width = info.width;
    int64_t height = info.height;
    // "horz" cuts along x = location, "vert" along y = location; the left or
    // top piece comes first.
    ImageHolder pieces[2];
    if (mode == "horz") {
        pieces[0] = CloneRect(image.get(), 0, 0, location, height);
        pieces[1] = CloneRect(image.get(), location, 0, width, height);
    } else {
        pieces[0] = CloneRect(image.get(), 0, 0, width, location);
        pieces[1] = CloneRect(image.get(), 0, location, width, height);
    }
    image.reset();
    for (ImageHolder& piece : pieces) {
        std::string piecePath;
        if (piece && SaveResultImage(*this, piece.get(), temporary, piecePath) == 0) {
            paths.push_back(piecePath);
        }
        piece.reset();
    }
    if (paths.empty()) return -1;
    errorText.clear();
    return 0;
}

int ManagerV2::ClipImageFile(const std::string& path, int32_t x, int32_t y, int32_t width,
                             int32_t height, bool temporary, std::string& result,
                             std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    result.clear();
    errorText = kErrorText;
    if (path.empty() || x < 0 || y < 0 || width <= 0 || height <= 0) return -1;
    ImageHolder image = LoadImageFile(path, KX_PIXEL_KEEP);
    if (!image) return -1;
    ImageHolder clip = CloneRect(image.get(), x, y, int64_t{x} + width, int64_t{y} + height);
    if (!clip || SaveResultImage(*this, clip.get(), temporary, result) != 0) return -1;
    errorText.clear();
    return 0;
}

}  // namespace ver_2

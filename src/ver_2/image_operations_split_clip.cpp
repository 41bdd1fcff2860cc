// SplitImageFile and ClipImageFile: new images cut out
// of one image's rectangles.
#include <cstdint>

#include "platform/base/service_thread.h"
#include "ver_2/error_info.h"
#include "ver_2/image_operations.h"
#include "ver_2/output_files.h"

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

std::string RectText(int32_t x, int32_t y, int32_t width, int32_t height) {
    return "x " + std::to_string(x) + ", y " + std::to_string(y) + ", width " +
           std::to_string(width) + ", height " + std::to_string(height);
}

std::string SizeText(KXImage image) {
    KXImageInfo info{};
    KXBase_GetImageInfo(image, &info);
    return std::to_string(info.width) + "x" + std::to_string(info.height);
}

}  // namespace

int SplitImageFile(OutputFiles& outputs, const std::string& path, const std::string& mode,
                   int32_t location, bool temporary, std::vector<std::string>& paths,
                   ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    paths.clear();
    if (mode != "horz" && mode != "vert") {
        return Refuse(error, "mode \"" + mode + "\" is not one of horz, vert");
    }
    ImageHolder image = LoadInputImage(path, KX_PIXEL_KEEP, error);
    if (!image) return -1;
    KXImageInfo info{};
    if (KXBase_GetImageInfo(image.get(), &info) != 0)
        return RefuseImageStep(error, "read the image");
    int64_t width = info.width;
    int64_t height = info.height;
    // A cut at an edge gives one piece, the whole image; beyond it none.
    int64_t across = mode == "horz" ? width : height;
    if (location < 0 || location > across) {
        return Refuse(error, OutsideRange("location", location, 0, across) + " for the " +
                                 SizeText(image.get()) + " image");
    }
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
        if (piece && outputs.SaveResultImage(piece.get(), temporary, piecePath, error) == 0) {
            paths.push_back(piecePath);
        }
        piece.reset();
    }
    // error holds the reason of the last piece that could not be saved.
    if (paths.empty()) return error.detail.empty() ? RefuseImageStep(error, "cut the image") : -1;
    return 0;
}

int ClipImageFile(OutputFiles& outputs, const std::string& path, int32_t x, int32_t y,
                  int32_t width, int32_t height, bool temporary, std::string& result,
                  ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    result.clear();
    if (x < 0 || y < 0) return Refuse(error, "x and y must not be negative");
    if (width <= 0 || height <= 0) return Refuse(error, "width and height must be positive");
    ImageHolder image = LoadInputImage(path, KX_PIXEL_KEEP, error);
    if (!image) return -1;
    ImageHolder clip = CloneRect(image.get(), x, y, int64_t{x} + width, int64_t{y} + height);
    if (!clip)
        return Refuse(error, "the rectangle " + RectText(x, y, width, height) +
                                 " is not inside the " + SizeText(image.get()) + " image");
    return outputs.SaveResultImage(clip.get(), temporary, result, error);
}

}  // namespace ver_2

// ManagerV2::WatermarkImageFile and ManagerV2::DecontaminateImageFile: text
// drawn onto a page, and a rectangle (or everything around it) painted over
// with one colour.
#include <cstring>

#include "platform/base/service_thread.h"
#include "platform/image/proc/kx_imgproc.h"
#include "ver_2/image_operations.h"
#include "ver_2/manager_v2.h"
#include "ver_2/texts.h"

namespace ver_2 {

namespace {

bool HasValidWatermarkValues(const WatermarkRequest& request) {
    return !request.text.empty() && !request.color.empty() && request.opacity <= 255 &&
           request.marginLeft >= 0 && request.marginTop >= 0 && request.marginRight >= 0 &&
           request.marginBottom >= 0 && !request.fontName.empty() &&
           request.fontName.size() < sizeof(WatermarkFont::name) && request.fontSize > 0;
}

// The region the text goes into: the image less the margins that the
// position names.
KXRect WatermarkRegion(KXImage image, int32_t position, const WatermarkRequest& request) {
    KXRect region{};
    KXBase_GetImageROI(image, &region);
    bool left = position == KX_WATERMARK_LEFT || position == KX_WATERMARK_LEFT_TOP ||
                position == KX_WATERMARK_LEFT_BOTTOM;
    bool top = position == KX_WATERMARK_TOP || position == KX_WATERMARK_LEFT_TOP ||
               position == KX_WATERMARK_RIGHT_TOP;
    bool right = position == KX_WATERMARK_RIGHT || position == KX_WATERMARK_RIGHT_TOP ||
                 position == KX_WATERMARK_RIGHT_BOTTOM;
    bool bottom = position == KX_WATERMARK_BOTTOM || position == KX_WATERMARK_LEFT_BOTTOM ||
                  position == KX_WATERMARK_RIGHT_BOTTOM;
    // Margins are not negative and the region starts inside the image, so
    // the sums below stay within 32 bits.
    if (left) region.left += request.marginLeft;
    if (top) region.top += request.marginTop;
    if (right) region.right -= request.marginRight;
    if (bottom) region.bottom -= request.marginBottom;
    return region;
}

WatermarkFont FontOf(const WatermarkRequest& request) {
    WatermarkFont font{};
    std::memcpy(font.name, request.fontName.c_str(), request.fontName.size() + 1);
    font.size = request.fontSize;
    font.bold = request.bold ? 1 : 0;
    font.underline = request.underline ? 1 : 0;
    font.italic = request.italic ? 1 : 0;
    font.strikeout = request.strikeout ? 1 : 0;
    return font;
}

}  // namespace

int ManagerV2::WatermarkImageFile(const std::string& path, const WatermarkRequest& request,
                                  bool temporary, std::string& result, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    result.clear();
    errorText = kErrorText;
    int32_t position = WatermarkPositionCode(request.position);
    RgbColor color;
    if (path.empty() || !HasValidWatermarkValues(request) || position == 0 ||
        !ParseHexColor(request.color, color) || KXImgProc_FindFont(request.fontName.c_str()) != 0) {
        return -1;
    }
    ImageHolder image = LoadImageFile(path, KX_PIXEL_KEEP);
    if (!image) return -1;
    KXRect region = WatermarkRegion(image.get(), position, request);
    if (KXBase_SetImageROI(image.get(), &region) != 0) return -1;
    WatermarkFont font = FontOf(request);
    uint32_t word = KXImgProc_MakeColorWord(color.red, color.green, color.blue, request.opacity);
    if (KXImgProc_AddImageWatermark(image.get(), request.text.c_str(), word, position,
                                    request.locationX, request.locationY, &font) != 0) {
        return -1;
    }
    if (SaveResultImage(*this, image.get(), temporary, result) != 0) return -1;
    errorText.clear();
    return 0;
}

int ManagerV2::DecontaminateImageFile(const std::string& path, const std::string& colorText,
                                      int32_t x, int32_t y, int32_t width, int32_t height,
                                      bool temporary, const std::string& area, std::string& result,
                                      std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    result.clear();
    errorText = kErrorText;
    if (path.empty() || area.empty() || colorText.empty() || x < 0 || y < 0 || width <= 0 ||
        height <= 0) {
        return -1;
    }
    int32_t areaCode = DecontaminationAreaCode(area);
    RgbColor color;
    if (areaCode == 0 || !ParseHexColor(colorText, color)) return -1;
    ImageHolder image = LoadImageFile(path, KX_PIXEL_KEEP);
    if (!image) return -1;
    uint32_t word = KXImgProc_MakeColorWord(color.red, color.green, color.blue, 0);
    if (KXImgProc_ImageDecontamination(image.get(), image.get(), areaCode, x, y, width, height,
                                       word) != 0) {
        return -1;
    }
    if (SaveResultImage(*this, image.get(), temporary, result) != 0) return -1;
    errorText.clear();
    return 0;
}

}  // namespace ver_2

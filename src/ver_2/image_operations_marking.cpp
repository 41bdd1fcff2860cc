// WatermarkImageFile and DecontaminateImageFile: text
// drawn onto a page, and a rectangle (or everything around it) painted over
// with one colour.
#include <cstring>

#include "platform/base/encoding.h"
#include "platform/base/service_thread.h"
#include "platform/image/proc/kx_imgproc.h"
#include "ver_2/error_info.h"
#include "ver_2/image_operations.h"
#include "ver_2/output_files.h"

namespace ver_2 {

namespace {

// Why the request's values cannot be drawn; empty when they can.
std::string WatermarkRefusal(const WatermarkRequest& request) {
    if (request.text.empty()) return "text is missing or empty";
    if (WatermarkPositionCode(request.position) == 0) {
        return "text_pos \"" + request.position +
               "\" is not one of left, top, right, bottom, left_top, right_top, left_bottom, "
               "right_bottom, center, location";
    }
    RgbColor color;
    if (!ParseHexColor(request.color, color)) {
        return "text_color \"" + request.color + "\" is not a colour of the form #RRGGBB";
    }
    if (request.opacity > 255) {
        return OutsideRange("text_opacity", static_cast<int32_t>(request.opacity), 0, 255);
    }
    if (request.marginLeft < 0 || request.marginTop < 0 || request.marginRight < 0 ||
        request.marginBottom < 0) {
        return "margins must not be negative";
    }
    if (request.fontSize <= 0) {
        return "font_size " + std::to_string(request.fontSize) + " is not positive";
    }
    if (request.fontName.empty() || request.fontName.size() >= sizeof(WatermarkFont::name) ||
        KXImgProc_FindFont(request.fontName.c_str()) != 0) {
        return "no font named \"" + AnsiToUtf8(request.fontName) + "\" is installed";
    }
    return {};
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

int WatermarkImageFile(OutputFiles& outputs, const std::string& path,
                       const WatermarkRequest& request, bool temporary, std::string& result,
                       ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    result.clear();
    std::string refusal = WatermarkRefusal(request);
    if (!refusal.empty()) return Refuse(error, refusal);
    int32_t position = WatermarkPositionCode(request.position);
    RgbColor color;
    ParseHexColor(request.color, color);
    ImageHolder image = LoadInputImage(path, KX_PIXEL_KEEP, error);
    if (!image) return -1;
    KXRect region = WatermarkRegion(image.get(), position, request);
    if (KXBase_SetImageROI(image.get(), &region) != 0) {
        return Refuse(error, "the margins leave no room for the text in the image");
    }
    WatermarkFont font = FontOf(request);
    uint32_t word = KXImgProc_MakeColorWord(color.red, color.green, color.blue, request.opacity);
    if (KXImgProc_AddImageWatermark(image.get(), request.text.c_str(), word, position,
                                    request.locationX, request.locationY, &font) != 0) {
        return RefuseImageStep(error, "draw the text into the image");
    }
    if (outputs.SaveResultImage(image.get(), temporary, result, error) != 0) return -1;
    return 0;
}

int DecontaminateImageFile(OutputFiles& outputs, const std::string& path,
                           const std::string& colorText, int32_t x, int32_t y, int32_t width,
                           int32_t height, bool temporary, const std::string& area,
                           std::string& result, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    result.clear();
    int32_t areaCode = DecontaminationAreaCode(area);
    if (areaCode == 0) return Refuse(error, "mode \"" + area + "\" is not one of inside, outside");
    RgbColor color;
    if (!ParseHexColor(colorText, color)) {
        return Refuse(error, "color \"" + colorText + "\" is not a colour of the form #RRGGBB");
    }
    if (x < 0 || y < 0) return Refuse(error, "x and y must not be negative");
    if (width <= 0 || height <= 0) return Refuse(error, "width and height must be positive");
    ImageHolder image = LoadInputImage(path, KX_PIXEL_KEEP, error);
    if (!image) return -1;
    uint32_t word = KXImgProc_MakeColorWord(color.red, color.green, color.blue, 0);
    if (KXImgProc_ImageDecontamination(image.get(), image.get(), areaCode, x, y, width, height,
                                       word) != 0) {
        return RefuseImageStep(error, "clean the rectangle (does it lie inside the image?)");
    }
    if (outputs.SaveResultImage(image.get(), temporary, result, error) != 0) return -1;
    return 0;
}

}  // namespace ver_2

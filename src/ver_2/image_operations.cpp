#include "ver_2/image_operations.h"

#include <array>
#include <string_view>

#include "platform/image/kx_imgfmt.h"
#include "ver_2/image_conversions.h"

namespace ver_2 {

namespace {

constexpr std::array<std::string_view, 10> kWatermarkPositions = {
    "left",      "top",         "right",        "bottom", "left_top",
    "right_top", "left_bottom", "right_bottom", "center", "location"};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

ImageHolder LoadImageFile(const std::string& path, uint32_t type) {
    if (path.empty()) return nullptr;
    KXImage image = nullptr;
    if (KXImgFmt_LoadImage(path.c_str(), KX_FORMAT_UNKNOWN, nullptr, type, KX_ORIGIN_TOP_LEFT,
                           &image) != 0) {
        KXBase_DestroyImage(image);
        return nullptr;
    }
    return ImageHolder(image);
}

ImageHolder LoadInputImage(const std::string& path, uint32_t type, ErrorInfo& error) {
    if (path.empty()) {
        Refuse(error, "no input image");
        return nullptr;
    }
    ImageHolder image = LoadImageFile(path, type);
    if (!image) RefuseImageFile(error, path);
    return image;
}

bool ParseHexColor(const std::string& text, RgbColor& color) {
    if (text.size() != 7 || text[0] != '#') return false;
    uint8_t channels[3] = {};
    for (int i = 0; i < 3; ++i) {
        int high = HexDigit(text[1 + 2 * i]);
        int low = HexDigit(text[2 + 2 * i]);
        if (high < 0 || low < 0) return false;
        channels[i] = static_cast<uint8_t>(high * 16 + low);
    }
    color = {channels[0], channels[1], channels[2]};
    return true;
}

int32_t WatermarkPositionCode(const std::string& position) {
    for (size_t i = 0; i < kWatermarkPositions.size(); ++i) {
        if (position == kWatermarkPositions[i]) return static_cast<int32_t>(i + 1);
    }
    return 0;
}

int32_t DecontaminationAreaCode(const std::string& area) {
    if (area == "inside") return 1;
    if (area == "outside") return 2;
    return 0;
}

uint32_t DocumentCompressionCode(const std::string& name) {
    if (name == "none") return KX_TIFF_NONE;
    if (name == "lzw") return KX_TIFF_LZW;
    if (name == "jpeg") return KX_TIFF_JPEG;
    if (name == "ccitt-g4") return KX_TIFF_CCITT_G4;
    return 0;
}

int RefuseImageStep(ErrorInfo& error, const char* what) {
    return Refuse(error, std::string("cannot ") + what);
}

}  // namespace ver_2

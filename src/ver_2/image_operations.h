// Building blocks of the second generation's image operations
// (ManagerV2::MergeImageFiles and its siblings in image_operations_*.cpp):
// the watermark request, the names the operations accept and the codes they
// stand for, an image holder, and the one way a single result image is
// saved and recorded.
//
// Thread rule: the name and colour readers keep no state and may run on any
// thread; SaveResultImage records kept files in the saved-file list and runs
// on the service thread like the operations themselves.
//
// Ownership: an ImageHolder destroys the image it holds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/image/image_holders.h"
#include "platform/image/kx_image.h"
#include "ver_2/error_info.h"

namespace ver_2 {

class ManagerV2;

// What ManagerV2::WatermarkImageFile draws, in the order the page gives it.
// Texts are in the native encoding.
struct WatermarkRequest {
    std::string text;
    std::string color = "#000000";
    uint32_t opacity = 255;  // 0 .. 255
    std::string position = "location";
    int32_t marginLeft = 0;
    int32_t marginTop = 0;
    int32_t marginRight = 0;
    int32_t marginBottom = 0;
    int32_t locationX = 0;
    int32_t locationY = 0;
    std::string fontName = "宋体";
    int32_t fontSize = 20;
    bool bold = false;
    bool underline = false;
    bool italic = false;
    bool strikeout = false;
};

// The image of a file in the given pixel type (0 = as stored), origin
// top-left; null for an empty path and for files that do not load.
ImageHolder LoadImageFile(const std::string& path, uint32_t type);
// LoadImageFile for an operation's input: a null holder comes with the
// reason in error ("file not found: …", "unsupported image format: …").
ImageHolder LoadInputImage(const std::string& path, uint32_t type, ErrorInfo& error);

struct RgbColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};
// "#" and six hexadecimal digits (either case); false for anything else.
bool ParseHexColor(const std::string& text, RgbColor& color);

// Watermark position codes: "left" 1, "top" 2, "right" 3, "bottom" 4,
// "left_top" 5, "right_top" 6, "left_bottom" 7, "right_bottom" 8, "center" 9,
// "location" 10; 0 for any other text.
int32_t WatermarkPositionCode(const std::string& position);
// Decontamination areas: "inside" 1, "outside" 2; 0 for any other text.
int32_t DecontaminationAreaCode(const std::string& area);
// TIFF compression codes of the multi-page document names: "none" 1,
// "lzw" 5, "jpeg" 7, "ccitt-g4" 4; 0 for any other text.
uint32_t DocumentCompressionCode(const std::string& name);

// Saves a result image the way scanned pages are saved (global format and
// qualities) into the temporary folder or, when not temporary, the save
// folder, where the file is also added to the saved-file list. 0 and the
// path, or -1 with the reason and nothing written.
int SaveResultImage(ManagerV2& manager, KXImage image, bool temporary, std::string& path,
                    ErrorInfo& error);
// Refuses with "cannot <what>" for a step of the image library that failed.
int RefuseImageStep(ErrorInfo& error, const char* what);

}  // namespace ver_2

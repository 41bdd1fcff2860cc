// The second generation's image operations (image_operations_*.cpp) and
// their building blocks: the watermark request, the names the operations
// accept and the codes they stand for, and loading input images.
//
// Inputs are files named by full paths; every result is a new file named by
// the output files, in the temporary folder when temporary (the caller
// deletes it), else in the save folder and added to the saved-file list.
// Single images are saved like scanned pages, in the global image format.
// Inputs that do not load are skipped by the list operations and fail the
// others. A failed operation leaves no file. Operations return 0, or -1 with
// the reason in their ErrorInfo.
//
// Thread rule: the operations record kept files and run on the service
// thread; the name and colour readers keep no state and may run on any
// thread.
//
// Ownership: an ImageHolder destroys the image it holds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/image/image_holders.h"
#include "platform/image/kx_image.h"
#include "ver_2/error_info.h"

namespace ver_2 {

class OutputFiles;

// What WatermarkImageFile draws, in the order the page gives it.
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

// Refuses with "cannot <what>" for a step of the image library that failed.
int RefuseImageStep(ErrorInfo& error, const char* what);

int MergeImageFiles(OutputFiles& outputs, const std::vector<std::string>& paths,
                    const std::string& mode, const std::string& align, int32_t interval,
                    bool temporary, std::string& path, ErrorInfo& error);
int MakeMultiImageFile(OutputFiles& outputs, const std::vector<std::string>& paths,
                       const std::string& format, const std::string& compression, uint32_t quality,
                       bool temporary, std::string& path, ErrorInfo& error);
// names: one entry name per path, or none to name entries after their files.
int MakeZipArchive(OutputFiles& outputs, const std::vector<std::string>& paths,
                   const std::vector<std::string>& names, bool temporary, std::string& path,
                   ErrorInfo& error);
// Up to two pieces, left or top first.
int SplitImageFile(OutputFiles& outputs, const std::string& path, const std::string& mode,
                   int32_t location, bool temporary, std::vector<std::string>& paths,
                   ErrorInfo& error);
int DeskewImageFile(OutputFiles& outputs, const std::string& path, bool temporary,
                    std::string& result, ErrorInfo& error);
int WatermarkImageFile(OutputFiles& outputs, const std::string& path,
                       const WatermarkRequest& request, bool temporary, std::string& result,
                       ErrorInfo& error);
int DecontaminateImageFile(OutputFiles& outputs, const std::string& path,
                           const std::string& colorText, int32_t x, int32_t y, int32_t width,
                           int32_t height, bool temporary, const std::string& area,
                           std::string& result, ErrorInfo& error);
int CorrectImageFileDirection(OutputFiles& outputs, const std::string& path, bool temporary,
                              std::string& result, ErrorInfo& error);
int ClipImageFile(OutputFiles& outputs, const std::string& path, int32_t x, int32_t y,
                  int32_t width, int32_t height, bool temporary, std::string& result,
                  ErrorInfo& error);

}  // namespace ver_2

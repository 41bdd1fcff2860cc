// Image-processing commands: nine families, each in a batch, a local and a
// Base64 variant that differ only in where the inputs come from. Each
// handler reads its family's parameters (absent or mistyped ones take their
// defaults), runs the image operation and leaves inputs, result files and
// the reply to ImageCommandRun. The operations check every value.
#include <functional>

#include "platform/base/encoding.h"
#include "ver_2/commands.h"
#include "ver_2/image_command_run.h"
#include "ver_2/image_operations.h"
#include "ver_2/manager_v2.h"

namespace ver_2 {

namespace {

constexpr ResultKeys kImageResult{"image_path", "image_base64"};
constexpr ResultKeys kPiecesResult{"image_path_list", "image_base64_list", true};
constexpr ResultKeys kArchiveResult{"zip_path", "zip_base64", false, true};

WatermarkRequest ReadWatermark(const cJSON* request) {
    WatermarkRequest watermark;
    watermark.text = Utf8ToAnsi(StringMember(request, "text", ""));
    watermark.color = StringMember(request, "text_color", "#000000");
    watermark.opacity = static_cast<uint32_t>(IntMember(request, "text_opacity", 255));
    watermark.position = StringMember(request, "text_pos", "location");
    watermark.marginLeft = IntMember(request, "margin_left", 0);
    watermark.marginTop = IntMember(request, "margin_top", 0);
    watermark.marginRight = IntMember(request, "margin_right", 0);
    watermark.marginBottom = IntMember(request, "margin_bottom", 0);
    watermark.locationX = IntMember(request, "location_x", 0);
    watermark.locationY = IntMember(request, "location_y", 0);
    watermark.fontName = Utf8ToAnsi(StringMember(request, "font_name", "宋体"));
    watermark.fontSize = IntMember(request, "font_size", 20);
    watermark.bold = BoolMember(request, "font_bold", false);
    watermark.underline = BoolMember(request, "font_underline", false);
    watermark.italic = BoolMember(request, "font_italic", false);
    watermark.strikeout = BoolMember(request, "font_strikeout", false);
    return watermark;
}

// The rectangle of "x", "y", "width" and "height".
struct Region {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

Region ReadRegion(const cJSON* request) {
    return {IntMember(request, "x", 0), IntMember(request, "y", 0), IntMember(request, "width", 0),
            IntMember(request, "height", 0)};
}

// An operation that makes one image of the one input: 0 and its path, or
// -1 with the reason.
using SingleImageOperation = std::function<int(ImageCommandRun& run, const std::string& input,
                                               std::string& path, ErrorInfo& error)>;

void RunOnSingleImage(WSUser& user, const Command& command, const SingleImageOperation& operation) {
    ImageCommandRun run(user, command);
    std::string input = run.SingleInput();
    std::string path;
    ErrorInfo error;
    int ret = operation(run, input, path, error);
    run.Finish(ret, error, {path}, kImageResult);
}

}  // namespace

void HandleMergeImage(WSUser& user, const Command& command) {
    ImageCommandRun run(user, command);
    std::string mode = StringMember(run.request(), "mode", "horz");
    std::string align = StringMember(run.request(), "align", "center");
    int32_t interval = IntMember(run.request(), "interval", 0);
    std::vector<std::string> inputs = run.InputList("image_path_list");
    std::string path;
    ErrorInfo error;
    int ret =
        MergeImageFiles(run.outputs(), inputs, mode, align, interval, run.temporary(), path, error);
    run.Finish(ret, error, {path}, kImageResult);
}

void HandleMakeMultiImage(WSUser& user, const Command& command) {
    ImageCommandRun run(user, command);
    std::string format = StringMember(run.request(), "format", "tif");
    std::string compression = StringMember(run.request(), "tiff_compression", "lzw");
    // Negative qualities become large unsigned values, which are refused.
    auto quality = static_cast<uint32_t>(IntMember(run.request(), "tiff_jpeg_quality", 80));
    std::vector<std::string> inputs = run.InputList("image_path_list");
    std::string path;
    ErrorInfo error;
    int ret = MakeMultiImageFile(run.outputs(), inputs, format, compression, quality,
                                 run.temporary(), path, error);
    run.Finish(ret, error, {path}, kImageResult);
}

void HandleSplitImage(WSUser& user, const Command& command) {
    ImageCommandRun run(user, command);
    std::string mode = StringMember(run.request(), "mode", "horz");
    int32_t location = IntMember(run.request(), "location", 0);
    std::string input = run.SingleInput();
    std::vector<std::string> paths;
    ErrorInfo error;
    int ret = SplitImageFile(run.outputs(), input, mode, location, run.temporary(), paths, error);
    run.Finish(ret, error, paths, kPiecesResult);
}

void HandleMakeZipFile(WSUser& user, const Command& command) {
    ImageCommandRun run(user, command);
    std::vector<std::string> inputs = run.InputList("file_path_list");
    std::string path;
    ErrorInfo error;
    int ret = MakeZipArchive(run.outputs(), inputs, run.EntryNames(), run.temporary(), path, error);
    run.Finish(ret, error, {path}, kArchiveResult);
}

void HandleImageDeskew(WSUser& user, const Command& command) {
    RunOnSingleImage(
        user, command,
        [](ImageCommandRun& run, const std::string& input, std::string& path, ErrorInfo& error) {
            return DeskewImageFile(run.outputs(), input, run.temporary(), path, error);
        });
}

void HandleImageAddWatermark(WSUser& user, const Command& command) {
    RunOnSingleImage(
        user, command,
        [](ImageCommandRun& run, const std::string& input, std::string& path, ErrorInfo& error) {
            WatermarkRequest watermark = ReadWatermark(run.request());
            return WatermarkImageFile(run.outputs(), input, watermark, run.temporary(), path,
                                      error);
        });
}

void HandleImageDecontamination(WSUser& user, const Command& command) {
    RunOnSingleImage(
        user, command,
        [](ImageCommandRun& run, const std::string& input, std::string& path, ErrorInfo& error) {
            std::string area = StringMember(run.request(), "mode", "inside");
            std::string color = StringMember(run.request(), "color", "");
            Region region = ReadRegion(run.request());
            return DecontaminateImageFile(run.outputs(), input, color, region.x, region.y,
                                          region.width, region.height, run.temporary(), area, path,
                                          error);
        });
}

void HandleImageDirectionCorrect(WSUser& user, const Command& command) {
    RunOnSingleImage(
        user, command,
        [](ImageCommandRun& run, const std::string& input, std::string& path, ErrorInfo& error) {
            return CorrectImageFileDirection(run.outputs(), input, run.temporary(), path, error);
        });
}

void HandleImageClip(WSUser& user, const Command& command) {
    RunOnSingleImage(
        user, command,
        [](ImageCommandRun& run, const std::string& input, std::string& path, ErrorInfo& error) {
            Region region = ReadRegion(run.request());
            return ClipImageFile(run.outputs(), input, region.x, region.y, region.width,
                                 region.height, run.temporary(), path, error);
        });
}

}  // namespace ver_2

// MergeImageFiles: images side by side ("horz") or one above the
// other ("vert") on a white canvas, with a gap between neighbours.
//
// The canvas is measured from the files' headers, so memory holds the canvas
// and one input at a time. An input whose header reads but whose pixels do
// not is left out, and the layout is made again without it, so the canvas
// never keeps room for an image that is not there.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/base/service_thread.h"
#include "platform/image/kx_imgfmt.h"
#include "ver_2/error_info.h"
#include "ver_2/image_operations.h"
#include "ver_2/output_files.h"

namespace ver_2 {

namespace {

enum class Align { kStart, kEnd, kCenter };

struct Placed {
    std::string path;
    uint32_t width = 0;
    uint32_t height = 0;
};

struct Layout {
    std::vector<Placed> images;
    int64_t width = 0;
    int64_t height = 0;
};

bool ReadAlign(const std::string& mode, const std::string& align, Align& result) {
    if (align == "center") {
        result = Align::kCenter;
        return mode == "horz" || mode == "vert";
    }
    if (mode == "horz" && (align == "top" || align == "bottom")) {
        result = align == "top" ? Align::kStart : Align::kEnd;
        return true;
    }
    if (mode == "vert" && (align == "left" || align == "right")) {
        result = align == "left" ? Align::kStart : Align::kEnd;
        return true;
    }
    return false;
}

// The inputs whose headers read, with the canvas size they need.
Layout Measure(const std::vector<std::string>& paths, bool horizontal, int64_t interval) {
    Layout layout;
    for (const std::string& path : paths) {
        ImageFileInfo info{};
        if (path.empty() ||
            KXImgFmt_LoadImage(path.c_str(), KX_FORMAT_UNKNOWN, &info, 0, 0, nullptr) != 0) {
            continue;
        }
        int64_t& along = horizontal ? layout.width : layout.height;
        int64_t& across = horizontal ? layout.height : layout.width;
        int64_t length = horizontal ? info.width : info.height;
        along = along == 0 ? length : along + interval + length;
        across = std::max<int64_t>(across, horizontal ? info.height : info.width);
        layout.images.push_back({path, info.width, info.height});
    }
    return layout;
}

int64_t Offset(Align align, int64_t space, int64_t size) {
    if (align == Align::kStart) return 0;
    if (align == Align::kEnd) return space - size;
    return (space - size) / 2;
}

// Pastes every image of the layout; the index of the first image whose
// pixels do not load (or differ in size from its header), or -1 when all did.
int PasteAll(KXImage canvas, const Layout& layout, bool horizontal, Align align, int64_t interval) {
    int64_t position = 0;
    for (size_t i = 0; i < layout.images.size(); ++i) {
        const Placed& placed = layout.images[i];
        ImageHolder image = LoadImageFile(placed.path, KX_PIXEL_RGB);
        KXImageInfo info{};
        if (!image || KXBase_GetImageInfo(image.get(), &info) != 0 || info.width != placed.width ||
            info.height != placed.height) {
            return static_cast<int>(i);
        }
        if (position != 0) position += interval;
        int64_t left = horizontal ? position : Offset(align, layout.width, info.width);
        int64_t top = horizontal ? Offset(align, layout.height, info.height) : position;
        KXRect rect{static_cast<int32_t>(left), static_cast<int32_t>(top),
                    static_cast<int32_t>(left + info.width),
                    static_cast<int32_t>(top + info.height)};
        if (KXBase_SetImageROI(canvas, &rect) != 0) return static_cast<int>(i);
        KXBase_CopyImage(image.get(), canvas);
        KXBase_ResetImageROI(canvas);
        position += horizontal ? info.width : info.height;
    }
    return -1;
}

// The merged canvas, or null with the reason when no input loads or the
// canvas would be too large to make.
ImageHolder Compose(std::vector<std::string> paths, bool horizontal, Align align, int64_t interval,
                    ErrorInfo& error) {
    for (;;) {
        Layout layout = Measure(paths, horizontal, interval);
        if (layout.images.empty()) {
            Refuse(error, "none of the input images could be loaded");
            return nullptr;
        }
        constexpr int64_t kMaxSide = std::numeric_limits<int32_t>::max();
        KXImage created = nullptr;
        if (layout.width > kMaxSide || layout.height > kMaxSide ||
            KXBase_CreateImage(static_cast<uint32_t>(layout.width),
                               static_cast<uint32_t>(layout.height), KX_PIXEL_RGB,
                               KX_ORIGIN_TOP_LEFT, &created) != 0) {
            Refuse(error, "the merged image of " + std::to_string(layout.width) + "x" +
                              std::to_string(layout.height) + " pixels is too large to make");
            return nullptr;
        }
        ImageHolder canvas(created);
        int failed = PasteAll(canvas.get(), layout, horizontal, align, interval);
        if (failed < 0) return canvas;
        paths.erase(std::find(paths.begin(), paths.end(), layout.images[failed].path));
    }
}

}  // namespace

int MergeImageFiles(OutputFiles& outputs, const std::vector<std::string>& paths,
                    const std::string& mode, const std::string& align, int32_t interval,
                    bool temporary, std::string& path, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    path.clear();
    Align alignment = Align::kCenter;
    if (paths.empty()) return Refuse(error, kNoInputs);
    if (mode != "horz" && mode != "vert") {
        return Refuse(error, "mode \"" + mode + "\" is not one of horz, vert");
    }
    if (!ReadAlign(mode, align, alignment)) {
        return Refuse(error, "align \"" + align + "\" is not one of " +
                                 (mode == "horz" ? "top, center, bottom" : "left, center, right") +
                                 " for mode " + mode);
    }
    if (interval < 0) return Refuse(error, "interval " + std::to_string(interval) + " is negative");
    ImageHolder canvas = Compose(paths, mode == "horz", alignment, interval, error);
    if (!canvas) return -1;
    return outputs.SaveResultImage(canvas.get(), temporary, path, error);
}

}  // namespace ver_2

// ManagerV2::MergeImageFiles: images side by side ("horz") or one above the
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
#include "ver_2/image_operations.h"
#include "ver_2/manager_v2.h"
#include "ver_2/texts.h"

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

// The merged canvas, or null when no input loads or the canvas would be too
// large to make.
ImageHolder Compose(std::vector<std::string> paths, bool horizontal, Align align,
                    int64_t interval) {
    for (;;) {
        Layout layout = Measure(paths, horizontal, interval);
        if (layout.images.empty()) return nullptr;
        constexpr int64_t kMaxSide = std::numeric_limits<int32_t>::max();
        if (layout.width > kMaxSide || layout.height > kMaxSide) return nullptr;
        KXImage created = nullptr;
        if (KXBase_CreateImage(static_cast<uint32_t>(layout.width),
                               static_cast<uint32_t>(layout.height), KX_PIXEL_RGB,
                               KX_ORIGIN_TOP_LEFT, &created) != 0) {
            return nullptr;
        }
        ImageHolder canvas(created);
        int failed = PasteAll(canvas.get(), layout, horizontal, align, interval);
        if (failed < 0) return canvas;
        paths.erase(std::find(paths.begin(), paths.end(), layout.images[failed].path));
    }
}

}  // namespace

int ManagerV2::MergeImageFiles(const std::vector<std::string>& paths, const std::string& mode,
                               const std::string& align, int32_t interval, bool temporary,
                               std::string& path, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    path.clear();
    errorText = kErrorText;
    Align alignment = Align::kCenter;
    if (paths.empty() || interval < 0 || !ReadAlign(mode, align, alignment)) return -1;
    ImageHolder canvas = Compose(paths, mode == "horz", alignment, interval);
    if (!canvas || SaveResultImage(*this, canvas.get(), temporary, path) != 0) return -1;
    errorText.clear();
    return 0;
}

}  // namespace ver_2

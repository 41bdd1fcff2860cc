#include "platform/driver/sane/page_processing.h"

#include <algorithm>
#include <new>

#include "platform/driver/page_canvas.h"
#include "platform/driver/sane/page_pixels.h"
#include "platform/image/image_holders.h"
#include "platform/image/pixel_rows.h"
#include "platform/image/proc/components.h"
#include "platform/image/proc/kx_imgproc.h"
#include "platform/image/scanner_page.h"

namespace {

// Black specks no wider or taller than this share of an inch are noise: a
// pixel at 200 dpi, two at 300, four at 600, well below a full stop's size.
constexpr int kSpeckDpi = 150;
// The blank check's ink area, in 0.1 mm², per step of sensitivity: the
// default sensitivity 5 gives the check's own default of 2.5 mm².
constexpr int kInkAreaPerSensitivity = 5;

ImageHolder ImageOfPage(const SanePage& page, uint32_t type) {
    KXImageInfo info{};
    info.width = static_cast<uint32_t>(page.parameters.pixels_per_line);
    info.height = static_cast<uint32_t>(page.parameters.lines);
    info.type = ScannerPagePixelType(page.parameters);
    info.widthStep = static_cast<uint32_t>(page.parameters.bytes_per_line);
    info.origin = KX_ORIGIN_TOP_LEFT;
    KXImage image = nullptr;
    if (KXBase_CreateImageFromData(page.data.data(), &info, nullptr, type, KX_ORIGIN_TOP_LEFT,
                                   &image) != 0)
        return nullptr;
    ImageHolder holder(image);
    if (page.resolution > 0)
        KXBase_SetImageResolution(image, static_cast<uint32_t>(page.resolution));
    return holder;
}

bool PageOfImage(KXImage image, int resolution, SanePage* page) {
    KXImageInfo info{};
    uint8_t* data = nullptr;
    if (KXBase_GetImageInfo(image, &info) != 0 || KXBase_GetImageData(image, &data) != 0)
        return false;
    SANE_Parameters& parameters = page->parameters;
    parameters.format = info.type == KX_PIXEL_RGB ? SANE_FRAME_RGB : SANE_FRAME_GRAY;
    parameters.depth = info.type == KX_PIXEL_BW ? 1 : 8;
    parameters.last_frame = SANE_TRUE;
    parameters.pixels_per_line = static_cast<SANE_Int>(info.width);
    parameters.lines = static_cast<SANE_Int>(info.height);
    size_t rowBytes = info.type == KX_PIXEL_BW    ? (info.width + 7) / 8
                      : info.type == KX_PIXEL_RGB ? size_t{info.width} * 3
                                                  : info.width;
    parameters.bytes_per_line = static_cast<SANE_Int>(rowBytes);
    page->resolution = resolution;
    page->data.resize(rowBytes * info.height);
    for (uint32_t y = 0; y < info.height; ++y)
        std::copy_n(data + size_t{y} * info.widthStep, rowBytes, page->data.data() + y * rowBytes);
    return true;
}

// Clears the black components of a 1-bit image whose extent is a speck's.
bool RemoveSpecks(KXImage image, int resolution) {
    KXImageInfo info{};
    uint8_t* data = nullptr;
    if (KXBase_GetImageInfo(image, &info) != 0 || KXBase_GetImageData(image, &data) != 0)
        return false;
    const auto width = static_cast<int32_t>(info.width);
    const auto height = static_cast<int32_t>(info.height);
    std::vector<uint8_t> mask(size_t{info.width} * info.height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            mask[size_t(y) * info.width + x] = kximage::BitAt(data + size_t(y) * info.widthStep, x);
    std::vector<int32_t> labels;
    std::vector<kximgproc::Component> components =
        kximgproc::FindComponents(mask, width, height, &labels);
    const int32_t speck = std::max(1, resolution / kSpeckDpi);
    std::vector<bool> isSpeck(components.size() + 1, false);
    for (size_t i = 0; i < components.size(); ++i)
        isSpeck[i + 1] = components[i].Width() <= speck && components[i].Height() <= speck;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            if (isSpeck[labels[size_t(y) * info.width + x]])
                kximage::SetBit(data + size_t(y) * info.widthStep, x, false);
    return true;
}

ImageHolder Rotated(ImageHolder image, int degrees) {
    if (degrees != 90 && degrees != 180 && degrees != 270) return image;
    KXImageInfo info{};
    if (KXBase_GetImageInfo(image.get(), &info) != 0) return nullptr;
    bool quarter = degrees != 180;
    KXImage turned = nullptr;
    if (KXBase_CreateImage(quarter ? info.height : info.width, quarter ? info.width : info.height,
                           info.type, KX_ORIGIN_TOP_LEFT, &turned) != 0)
        return nullptr;
    ImageHolder holder(turned);
    int status = degrees == 90    ? KXBase_ImageRotateRight(image.get(), turned)
                 : degrees == 270 ? KXBase_ImageRotateLeft(image.get(), turned)
                                  : KXBase_ImageRotate180(image.get(), turned);
    return status == 0 ? std::move(holder) : nullptr;
}

// The left and right halves (the left one takes the odd column).
bool Halves(KXImage image, std::vector<ImageHolder>* halves) {
    KXImageInfo info{};
    if (KXBase_GetImageInfo(image, &info) != 0) return false;
    auto width = static_cast<int32_t>(info.width);
    auto height = static_cast<int32_t>(info.height);
    int32_t middle = (width + 1) / 2;
    for (KXRect rect : {KXRect{0, 0, middle, height}, KXRect{middle, 0, width, height}}) {
        if (rect.left == rect.right) continue;  // a page one pixel wide has no right half
        KXImage half = nullptr;
        if (KXBase_SetImageROI(image, &rect) != 0 || KXBase_CloneImage(image, 0, 0, &half) != 0)
            return false;
        halves->emplace_back(half);
    }
    return KXBase_ResetImageROI(image) == 0;
}

bool IsBlank(KXImage image, const SaneScanSettings& settings) {
    KXBlankCheckParams params{6, 40,
                              std::max(1, settings.blankSensitivity * kInkAreaPerSensitivity)};
    int32_t blank = 0;
    return KXImgProc_ImageBlankCheck(image, &params, &blank) == 0 && blank != 0;
}

uint32_t PixelType(KXImage image) {
    KXImageInfo info{};
    return KXBase_GetImageInfo(image, &info) == 0 ? info.type : 0;
}

// 8-bit work on the packed bytes: the tone curve, then sharpening.
void AdjustSamples(const SaneScanSettings& settings, SanePage* packed) {
    if (packed->parameters.depth != 8) return;
    int brightness = settings.softwareBrightness ? settings.brightness : 0;
    if (settings.gamma != 1.0 || brightness != 0)
        ApplyToneTable(packed, ToneTable(brightness, SANE_FIX(settings.gamma)));
    if (settings.sharpen) SharpenPage(packed);
}

// Whether any step after the sample work needs the page as an image.
bool NeedsImageLayer(const SanePage& packed, const SaneScanSettings& settings) {
    bool threshold = settings.blackWhite && packed.parameters.depth == 8;
    bool bilevel = packed.parameters.depth == 1;
    return threshold || (settings.denoise && bilevel) || settings.rotationDegrees != 0 ||
           settings.split || settings.skipBlank;
}

SANE_Status Process(SanePage page, const SaneScanSettings& settings, std::vector<SanePage>* out) {
    SanePage packed;
    SANE_Status status = PackPage(std::move(page), &packed);
    if (status != SANE_STATUS_GOOD) return status;
    AdjustSamples(settings, &packed);
    // A page is tens of megabytes and every copy costs about as much as
    // reading it, so a page the image layer has nothing to do for goes out
    // as it is: packed rows are the rows the image layer would give back.
    if (!NeedsImageLayer(packed, settings)) {
        out->push_back(std::move(packed));
        return SANE_STATUS_GOOD;
    }
    // Black and white asked of a device that gave grey or colour: the image
    // layer thresholds on the way in.
    bool threshold = settings.blackWhite && packed.parameters.depth == 8;
    ImageHolder image = ImageOfPage(packed, threshold ? KX_PIXEL_BW : KX_PIXEL_KEEP);
    const int resolution = packed.resolution;
    packed = SanePage{};
    if (image == nullptr) return SANE_STATUS_NO_MEM;
    if (settings.denoise && PixelType(image.get()) == KX_PIXEL_BW &&
        !RemoveSpecks(image.get(), resolution))
        return SANE_STATUS_NO_MEM;
    image = Rotated(std::move(image), settings.rotationDegrees);
    if (image == nullptr) return SANE_STATUS_NO_MEM;

    std::vector<ImageHolder> pieces;
    if (!settings.split)
        pieces.push_back(std::move(image));
    else if (!Halves(image.get(), &pieces))
        return SANE_STATUS_NO_MEM;
    for (ImageHolder& piece : pieces) {
        if (resolution > 0)
            KXBase_SetImageResolution(piece.get(), static_cast<uint32_t>(resolution));
        if (settings.skipBlank && IsBlank(piece.get(), settings)) continue;
        SanePage delivered;
        if (!PageOfImage(piece.get(), resolution, &delivered)) return SANE_STATUS_NO_MEM;
        out->push_back(std::move(delivered));
    }
    return SANE_STATUS_GOOD;
}

}  // namespace

SANE_Status ProcessSanePage(SanePage page, const SaneScanSettings& settings,
                            std::vector<SanePage>* out) {
    out->clear();
    SANE_Status status = SANE_STATUS_NO_MEM;
    try {
        status = Process(std::move(page), settings, out);
    } catch (const std::bad_alloc&) {
        status = SANE_STATUS_NO_MEM;
    }
    if (status != SANE_STATUS_GOOD) out->clear();
    return status;
}

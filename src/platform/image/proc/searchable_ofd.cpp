// The searchable OFD: the page image with the recognised words laid over it
// as invisible text objects.
#include "platform/image/ofd_package.h"
#include "platform/image/proc/ocr_page.h"

namespace kx_imgproc {
namespace {

constexpr uint32_t kPageJpegQuality = 85;

bool CoversWholeImage(const ImageView& view) {
    return view.roi.left == 0 && view.roi.top == 0 &&
           static_cast<uint32_t>(view.roi.right) == view.width &&
           static_cast<uint32_t>(view.roi.bottom) == view.height;
}

}  // namespace

bool WriteSearchableOfd(KXImage image, const ImageView& view, const std::vector<OcrWord>& words,
                        const std::string& path) {
    std::vector<kximage::OfdTextItem> items;
    items.reserve(words.size());
    for (const OcrWord& word : words) {
        items.push_back({word.text, {word.left, word.top, word.right, word.bottom}, 0.0});
    }
    // The package stores whole images; a region of interest is cut out first.
    ImageHolder region;
    if (!CoversWholeImage(view)) {
        KXImage clone = nullptr;
        if (KXBase_CloneImage(image, KX_PIXEL_KEEP, 0, &clone) != 0 || clone == nullptr) {
            return false;
        }
        region.reset(clone);
    }
    kximage::OfdPackage package;
    return package.AddPage(region ? region.get() : image, kPageJpegQuality, items) == 0 &&
           package.Write(path) == 0;
}

}  // namespace kx_imgproc

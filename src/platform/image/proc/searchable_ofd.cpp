// The searchable OFD: the page image with the recognised words laid over it
// as invisible text objects.
#include "platform/image/ofd_package.h"
#include "platform/image/proc/ocr_page.h"

namespace kximgproc {

bool WriteSearchableOfd(KXImage image, PagePictureChoice picture, const std::vector<OcrWord>& words,
                        const std::string& path) {
    std::vector<kximage::OfdTextItem> items;
    items.reserve(words.size());
    for (const OcrWord& word : words) {
        items.push_back({word.text, {word.left, word.top, word.right, word.bottom}, 0.0});
    }
    // OFD pages show black-and-white pictures as PNG.
    kximage::PagePictures pictures = picture.pictures;
    pictures.blackAndWhite = kximage::BlackAndWhiteAs::kPng;
    kximage::OfdPackage package(pictures);
    return package.AddPage(image, picture.jpegQuality, items) == 0 && package.Write(path) == 0;
}

}  // namespace kximgproc

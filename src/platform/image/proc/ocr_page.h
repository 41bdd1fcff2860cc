// Recognition of one page with the manager's text engine, and the pieces a
// searchable document needs from it. Used by one thread at a time, like the
// manager.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/image/page_image.h"
#include "platform/image/proc/image_access.h"

namespace tesseract {
class TessBaseAPI;
}

namespace kx_imgproc {

// Pages of unknown resolution are taken as 200 dpi, like the image writers.
constexpr uint32_t kOcrDefaultDpi = 200;

// A searchable page keeps its picture as it is: an unmodified JPEG image its
// own bytes, every other image losslessly (the words stay sharp, and a clean
// text page is smaller lossless than as JPEG). The quality is used only by
// pictures the policy leaves to JPEG, which it does not.
constexpr kximage::PagePictures kLosslessPictures{kximage::BlackAndWhiteAs::kCcittG4,
                                                  kximage::GreyAndColourAs::kPng};
constexpr uint32_t kPageJpegQuality = 85;

struct OcrWord {
    std::string text;  // UTF-8
    int32_t left = 0;  // box in page pixels; right and bottom exclusive
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Sets the page and its resolution on the engine and recognises it.
bool RecognizePage(tesseract::TessBaseAPI* engine, PIX* page, uint32_t dpi);

// The words of the last recognised page, in reading order.
std::vector<OcrWord> RecognizedWords(tesseract::TessBaseAPI* engine);

// Writes a PDF of the whole image with the text layer (a PDF of invisible
// words on a page of the image's size) drawn over it, to path through a
// temporary file beside it; no file is left on failure.
bool WriteSearchablePdf(KXImage image, std::string textLayer, const std::string& path);

// Writes an OFD of the whole image with an invisible text layer of the words
// (boxes in image pixels).
bool WriteSearchableOfd(KXImage image, const std::vector<OcrWord>& words, const std::string& path);

}  // namespace kx_imgproc

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

namespace kximgproc {

// Pages of unknown resolution are taken as 200 dpi, like the image writers.
constexpr uint32_t kOcrDefaultDpi = 200;

// How a searchable page's picture is encoded. Black and white is left to
// the document format (G4 in PDF, PNG in OFD); jpegQuality serves the
// pictures the policy leaves to JPEG.
struct PagePictureChoice {
    kximage::PagePictures pictures;
    uint32_t jpegQuality = 0;
};

// A page kept as its source has it: an unmodified JPEG image its own bytes,
// every other image losslessly (the words stay sharp, and a clean text page
// is smaller lossless than as JPEG).
constexpr PagePictureChoice kLosslessPage{
    {kximage::BlackAndWhiteAs::kCcittG4, kximage::GreyAndColourAs::kPng}, 0};

// A scanned page encoded as the plain document formats encode it: grey and
// colour as JPEG at the quality given.
constexpr PagePictureChoice ScannedPage(uint32_t jpegQuality) {
    return {{kximage::BlackAndWhiteAs::kCcittG4, kximage::GreyAndColourAs::kJpeg}, jpegQuality};
}

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
bool WriteSearchablePdf(KXImage image, PagePictureChoice picture, std::string textLayer,
                        const std::string& path);

// Writes an OFD of the whole image with an invisible text layer of the words
// (boxes in image pixels).
bool WriteSearchableOfd(KXImage image, PagePictureChoice picture, const std::vector<OcrWord>& words,
                        const std::string& path);

}  // namespace kximgproc

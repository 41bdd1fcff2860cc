// Draws the first page of another PDF over a page this layer builds: the
// text layer an OCR engine writes (invisible text on an otherwise empty page
// of the picture's size) becomes part of the page's own content, scaled from
// that page's box to ours, and the fonts it uses are copied into our
// document. The page keeps one picture and invisible text, so it reads back
// as an image page.
//
// Works on qpdf objects of the caller's document; qpdf exceptions pass
// through to the caller. Nothing of the layer's bytes is kept after the call.
#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <string>

namespace kximage {

// Appends the layer's drawing, mapped onto a page of width × height points
// with its origin at 0 0, to content, and adds the resources it names (not
// its images) to resources. Throws when layer is not a PDF with a page.
void AddTextLayer(QPDF* pdf, const std::string& layer, double width, double height,
                  std::string* content, QPDFObjectHandle resources);

}  // namespace kximage

// Finds out whether the first page of a PDF shows nothing but one image
// covering the page (text drawn invisibly, as in searchable scans, is
// allowed), so that the image can be read back instead of rendering the page.
// Works on qpdf objects; qpdf exceptions pass through to the caller.
#pragma once

#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

namespace kximage {

struct PageBox {
    double left = 0;
    double bottom = 0;
    double width = 0;   // points
    double height = 0;  // points
};

// The page's crop box in points.
PageBox PageBoxOf(QPDFPageObjectHelper& page);

// The image XObject the page shows, or a null handle when the page holds
// anything else, or the image does not cover the page upright.
QPDFObjectHandle SoleImageOfPage(QPDFPageObjectHelper& page, const PageBox& box);

}  // namespace kximage

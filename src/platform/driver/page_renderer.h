// Draws the virtual scanner's pages. A front or back page looks like a
// document: the side ("FRONT" or "BACK") and a large page number at the top,
// a title with a rule, a coloured block (blue on fronts at the left, red on
// backs at the right; dark on grey and black-and-white pages) and paragraphs
// of text lines in the bitmap font. A blank page is bare paper.
//
// Every size is in millimetres, so a page looks the same at every
// resolution. The page number sits in a box of its own that StampPageNumber
// repaints, so one rendered page serves every page number of a scan.
//
// One thread at a time per page; the page owns its canvas.
#pragma once

#include <memory>

#include "platform/driver/page_canvas.h"

struct RenderedPage {
    PageKind kind = PageKind::kBlank;
    std::unique_ptr<PageCanvas> canvas;
    PixelRect numberBox{};  // upright coordinates

    SANE_Byte* Data() { return canvas->Data(); }
};

// Null when the pixels cannot be allocated.
std::unique_ptr<RenderedPage> RenderPage(const RenderSettings& settings, PageKind kind);

// Repaints the number box with the number (blank pages have no number and
// are left alone).
void StampPageNumber(RenderedPage& page, int number);

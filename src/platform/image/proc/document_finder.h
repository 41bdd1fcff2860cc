// Finds a document page against the scanner's background on a reduced grey
// copy of a scan. Stateless.
#pragma once

#include "platform/image/proc/gray_reduce.h"
#include "platform/image/proc/skew.h"

namespace kximgproc {

enum class FindResult {
    kFound,         // a page stands out from a visible background
    kNoBackground,  // no dark background: the page fills the scan, or it is uniform
    kNothing,       // background only: no page large enough
};

// The page's outline in pixels of the grey copy, pixel edges included.
// autoBackground: the background must be seen dark along the scan's border;
// otherwise a dark background is assumed without looking.
FindResult FindDocument(const GrayImage& gray, bool autoBackground, RotatedRect* outline);

}  // namespace kximgproc

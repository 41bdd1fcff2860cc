// Skew measurement: the minimum-area rectangle around the outline of a
// document, and the dominant text-line angle of a page. Stateless.
#pragma once

#include <leptonica/allheaders.h>

#include <vector>

namespace kximgproc {

struct PointF {
    double x = 0;
    double y = 0;
};

// A rectangle turned by angle radians (clockwise on the image, whose y axis
// points down) about its centre.
struct RotatedRect {
    PointF centre;
    double width = 0;
    double height = 0;
    double angle = 0;  // within [-pi/4, pi/4]
};

// The smallest-area rectangle holding every point, searched over angles
// within +-45 degrees to about 0.02 degrees. points must not be empty.
RotatedRect MinAreaRect(const std::vector<PointF>& points);

// The clockwise rotation in degrees that levels the text lines of a 1-bit
// page (of about 100 to 300 dpi; skews up to 7 degrees); false when the
// page has too little structure to tell.
bool TextDeskewDegrees(PIX* binary, double* degrees);

}  // namespace kximgproc

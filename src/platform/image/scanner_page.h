// Turning a page delivered by the scanner driver into an image object.
//
// The driver's record is valid only during its callback, so the page is
// copied. Pages of 16 bits per sample (grey or RGB, samples in the machine's
// byte order, as SANE delivers them) are converted to 8 bits on the way.
// Any thread may call these for distinct pages.
#pragma once

#include <cstdint>

#include "platform/driver/sane_qnsane.h"
#include "platform/image/kx_image.h"

// The pixel type of a page: 1-bit grey (packed, 1 = black) is type 1, 8- and
// 16-bit grey type 2, 8- and 16-bit RGB type 4; anything else (other depths,
// separate colour planes) is not understood and gives 0.
uint32_t ScannerPagePixelType(const SANE_Parameters& parameters);

// A copy of the page in the requested pixel type (0 = the page's own), origin
// top-left, carrying the page's resolution; null when the page is not
// understood or cannot be copied.
KXImage CopyScannerPage(const SANE_Event_Image& page, uint32_t type);

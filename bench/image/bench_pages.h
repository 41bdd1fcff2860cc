// Pages for the image benchmarks: a 300-dpi colour A4 scan-like page (text
// lines, a photo block, paper with +-3 levels of scanner noise; about 1 MB as
// a quality-80 JPEG) and files made from it.
#pragma once

#include <string>

#include "platform/image/kx_image.h"

namespace image_bench {

constexpr uint32_t kA4Width = 2480;   // 210 mm at 300 dpi
constexpr uint32_t kA4Height = 3508;  // 297 mm at 300 dpi

// A new colour page; the caller destroys it.
KXImage MakeScanPage(uint32_t seed);

// A folder for benchmark files, removed at exit.
const std::string& BenchFolder();

}  // namespace image_bench

// The processing a SANE page gets after the read, for what the device does
// not do itself: 16-bit samples to 8, gamma, software brightness, "黑白"
// thresholding when the device gave grey, noise removal on 1-bit pages,
// sharpening, orientation, splitting into halves and skipping blank pages.
// Done on the pixels by the image layer.
//
// Thread rule: any thread; pages are independent.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/driver/sane/sane_option_map.h"
#include "platform/driver/sane_qnsane.h"

// A whole page as read from the device: one GRAY or RGB frame (three-pass
// frames already joined), rows bytes_per_line apart, lines known.
struct SanePage {
    SANE_Parameters parameters{};
    int resolution = 0;
    std::vector<uint8_t> data;
};

// The pages to deliver for one read page, in order: none when the page is
// blank and blank pages are skipped, two when it is split. Every page comes
// out GRAY depth 1 or 8, or RGB depth 8. A page that cannot be processed
// gives SANE_STATUS_NO_MEM or SANE_STATUS_INVAL and no pages.
SANE_Status ProcessSanePage(SanePage page, const SaneScanSettings& settings,
                            std::vector<SanePage>* out);

// Builds one page from the frames a SANE device sends for it: a GRAY or RGB
// frame is the page; RED, GREEN and BLUE frames (three-pass colour, in any
// order) are joined into one RGB page. A frame of unknown height (lines -1)
// gets its height from the data read; a frame shorter than announced keeps
// only its whole rows, so nothing is invented.
//
// Thread rule: none; one assembler per page being read.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/driver/sane/page_processing.h"

class PageAssembler {
  public:
    // Adds a frame read to its end. SANE_STATUS_INVAL for a frame that
    // cannot belong to the page (bad parameters, a colour plane that does
    // not match the others, a plane sent twice).
    SANE_Status AddFrame(const SANE_Parameters& parameters, std::vector<uint8_t> data);
    // Whether the page has all its frames.
    bool Complete() const { return complete_; }
    // The page; valid once Complete.
    SanePage Take(int resolution);

  private:
    SANE_Status JoinPlanes();

    SANE_Parameters planeParameters_{};
    std::vector<uint8_t> planes_[3];
    bool havePlane_[3] = {false, false, false};
    SanePage page_;
    bool complete_ = false;
};

// Byte-level work on a SANE page before it becomes an image: rows packed
// without padding at 8 bits per sample (16-bit samples to 8, RGB at 1 bit
// to 8, grey at 1 bit kept), the tone curve and a 3 x 3 unsharp mask on
// 8-bit pages. Stateless; any thread.
#pragma once

#include <array>
#include <cstdint>

#include "platform/driver/sane/page_processing.h"

// The page's rows packed at depth 8, or depth 1 for a 1-bit grey page.
// SANE_STATUS_INVAL when the parameters do not describe the data (a frame
// that is neither GRAY nor RGB, another depth, rows shorter than the pixels
// or fewer bytes than the lines); lines <= 0 takes every whole row present.
SANE_Status PackPage(SanePage page, SanePage* packed);

// Every sample of a packed 8-bit page through the table.
void ApplyToneTable(SanePage* page, const std::array<uint8_t, 256>& table);

// Sharpens a packed 8-bit page: each sample gains its difference from the
// mean of its 3 x 3 neighbourhood (edges repeat the border samples).
void SharpenPage(SanePage* page);

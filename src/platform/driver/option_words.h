// The value buffer of a word option (bool, int, fixed). A driver reads and
// writes the option's whole size, which for an array option (a gamma table,
// say) is many words, so the buffer holds all of them; the services read and
// set the first word, and a set gives every word that value.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/driver/sane_qnsane.h"

inline std::vector<SANE_Word> OptionWords(const SANE_Option_Descriptor& descriptor,
                                          SANE_Word fill = 0) {
    size_t size = descriptor.size > 0 ? static_cast<size_t>(descriptor.size) : 0;
    size_t count = (size + sizeof(SANE_Word) - 1) / sizeof(SANE_Word);
    return std::vector<SANE_Word>(std::max<size_t>(count, 1), fill);
}

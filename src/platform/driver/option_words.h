// Value buffers and the limits the back ends keep when they exchange option
// values with a driver.
//
// Word options (bool, int, fixed) are single words to the back ends. An
// option of more than one word is an array (a gamma table, say): its value
// is a whole table that no single word the page sees can stand for, so the
// back ends never list, store or set it. A string option's size includes
// the terminating NUL, and a driver copies a value it is given up to that
// NUL, so a value is set only when it fits.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/driver/sane_qnsane.h"

// A bool, int or fixed option holding more than one word.
inline bool IsArrayOption(const SANE_Option_Descriptor& descriptor) {
    return (descriptor.type == SANE_TYPE_BOOL || descriptor.type == SANE_TYPE_INT ||
            descriptor.type == SANE_TYPE_FIXED) &&
           descriptor.size > static_cast<SANE_Int>(sizeof(SANE_Word));
}

// Whether text and its NUL fit the string option's size.
inline bool StringFitsOption(const SANE_Option_Descriptor& descriptor, const std::string& text) {
    return descriptor.size > 0 && text.size() < static_cast<size_t>(descriptor.size);
}

// The value buffer of a single-word option, at least one word and at least
// the option's declared size, holding fill.
inline std::vector<SANE_Word> OptionWords(const SANE_Option_Descriptor& descriptor,
                                          SANE_Word fill = 0) {
    size_t size = descriptor.size > 0 ? static_cast<size_t>(descriptor.size) : 0;
    size_t count = (size + sizeof(SANE_Word) - 1) / sizeof(SANE_Word);
    return std::vector<SANE_Word>(std::max<size_t>(count, 1), fill);
}

// Checks of an option value against its descriptor's constraint, shared by
// the page-facing options and the device's own: a value outside a range or
// off its quantisation, a word not in the word list, a text not among the
// listed entries or longer than the option holds, is refused rather than
// clamped. Stateless; any thread.
#pragma once

#include <string>

#include "platform/driver/sane_qnsane.h"

// Whether word is a valid value of a bool, int or fixed option.
bool WordFits(const SANE_Option_Descriptor& descriptor, SANE_Word word);

// Whether text (without its NUL) is a valid value of a string option: it
// fits the option's size together with its NUL and, for a string list, is
// one of the entries.
bool TextFits(const SANE_Option_Descriptor& descriptor, const std::string& text);

// Reads a caller's text value for a string option no further than the
// option's size; false when the buffer holds no NUL within that size.
bool ReadText(const SANE_Option_Descriptor& descriptor, const void* value, std::string* text);

// The valid value of a ranged or listed option nearest to word (the word
// itself when unconstrained).
SANE_Word NearestWord(const SANE_Option_Descriptor& descriptor, SANE_Word word);

// A 5 x 7 dot bitmap font for the virtual scanner's page text: capital
// letters, digits, the blank and ". , - :". Constant data; any thread.
#pragma once

#include <cstdint>

constexpr int kGlyphColumns = 5;
constexpr int kGlyphRows = 7;
constexpr int kGlyphAdvance = 6;  // columns from one character to the next

// The seven rows of the character, top first; bit 4 of a row is its leftmost
// dot. Null for characters the font does not have (drawn as a blank).
const uint8_t* GlyphRows(char c);

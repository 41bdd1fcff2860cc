// The option set of the virtual scanner: seventeen descriptors, option 0
// being the option count, and the values of one scanner with the checks that
// keep every value inside its constraint.
//
// The descriptor table is constant for the life of the process, so the
// pointers VirtualOptionDescriptor hands out never dangle. VirtualOptionValues
// is a plain value without locking; the driver keeps one per scanner name and
// guards it with its own lock.
#pragma once

#include <array>

#include "platform/driver/sane_qnsane.h"

enum VirtualOption : SANE_Int {
    kOptionCount = 0,
    kOptionBasicGroup,
    kOptionFeedMode,
    kOptionSheetCount,
    kOptionColorMode,
    kOptionResolution,
    kOptionPageSide,
    kOptionPaperSize,
    kOptionOrientation,
    kOptionProcessingGroup,
    kOptionBrightness,
    kOptionGamma,
    kOptionSplit,
    kOptionBwDenoise,
    kOptionBlankSensitivity,
    kOptionSharpen,
    kOptionRestoreDefaults,
    kVirtualOptionCount,
};

// A string option's value is held as the index of its entry in the option's
// string list; these name the entries.
enum FeedMode : SANE_Word { kFeedContinuous = 0, kFeedCounted };
enum ColorMode : SANE_Word { kColor24Bit = 0, kColorGray, kColorBlackWhite, kColorAuto };
enum PageSide : SANE_Word { kSideSimplex = 0, kSideDuplex, kSideSkipBlank, kSideSkipBlankInvoice };
enum PaperSize : SANE_Word {
    kPaperOriginal = 0,
    kPaperA3,
    kPaperA4,
    kPaperA5,
    kPaperB5,
    kPaperLetter
};
enum Orientation : SANE_Word {
    kOrientation0 = 0,
    kOrientation90,
    kOrientation180,
    kOrientationMinus90
};

// The descriptor of option 0..16, or null for any other number.
const SANE_Option_Descriptor* VirtualOptionDescriptor(SANE_Int option);

// Whether a change of the option alters the page parameters (size, format).
bool OptionChangesParameters(SANE_Int option);

// A paper size upright, in millimetres ("匹配原始尺寸" is A4's).
struct PaperMillimetres {
    int width;
    int height;
};
PaperMillimetres PaperOf(SANE_Word paper);

class VirtualOptionValues {
  public:
    // Every option at its default.
    VirtualOptionValues();

    // The stored word of a bool, int, fixed or string option (for a string
    // option, the index of its entry).
    SANE_Word Word(VirtualOption option) const { return words_[option]; }

    // Copies the value out: a word for bool, int and fixed options and for
    // option 0 (the count), the NUL-terminated text for string options (the
    // buffer must hold the descriptor's size). Groups and the button have no
    // value and fail with SANE_STATUS_INVAL.
    SANE_Status Get(SANE_Int option, void* value) const;

    // Sets the value, or for the button restores every default (value may be
    // null). A value outside the option's constraint, a text that is not
    // exactly one of the listed entries, option 0 and groups fail with
    // SANE_STATUS_INVAL and change nothing. *info (when given) receives the
    // SANE_INFO_ flags of the change.
    SANE_Status Set(SANE_Int option, const void* value, SANE_Int* info);

    void RestoreDefaults();

  private:
    std::array<SANE_Word, kVirtualOptionCount> words_;
};

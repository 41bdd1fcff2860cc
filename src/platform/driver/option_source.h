// The option table of one open scanner as the back ends read and set it:
// descriptors and values by index. DriverOptionSource reaches the scanner
// through the sane_qnsane_ calls; tests give the back ends a scripted table.
// Both generations read and write values through the functions below, which
// keep the rules of option_words.h: arrays are never read or set, and a
// string is set only when it fits.
//
// Thread rule: none of its own; the back ends use a source on the service
// thread. A source does not own the scanner handle.
#pragma once

#include <string>

#include "platform/driver/sane_qnsane.h"

class OptionSource {
  public:
    virtual ~OptionSource() = default;
    // The descriptor of option index, or null.
    virtual const SANE_Option_Descriptor* Descriptor(SANE_Int index) = 0;
    // Gets (value filled) or sets (value read; null for a button) an option.
    virtual SANE_Status Control(SANE_Int index, SANE_Action action, void* value) = 0;
};

// The options of a scanner opened with sane_qnsane_open.
class DriverOptionSource : public OptionSource {
  public:
    explicit DriverOptionSource(SANE_Handle handle) : handle_(handle) {}
    const SANE_Option_Descriptor* Descriptor(SANE_Int index) override;
    SANE_Status Control(SANE_Int index, SANE_Action action, void* value) override;

  private:
    SANE_Handle handle_;
};

// The option count held by option 0; 0 when it cannot be read.
SANE_Int OptionCount(OptionSource& source);

// A value as the back ends exchange it: the word of a bool, int or fixed
// option, the text of a string option.
struct OptionReading {
    SANE_Word word = 0;
    std::string text;
};

// Reads a single-word or string option; false for arrays, types without a
// value, and options the driver does not read.
bool ReadOptionValue(OptionSource& source, SANE_Int index, const SANE_Option_Descriptor& descriptor,
                     OptionReading* value);
// Sets a single-word option to word, or a string option to text. Arrays,
// texts that do not fit and types without a value are refused
// (SANE_STATUS_INVAL) without reaching the driver.
SANE_Status WriteOptionWord(OptionSource& source, SANE_Int index,
                            const SANE_Option_Descriptor& descriptor, SANE_Word word);
SANE_Status WriteOptionText(OptionSource& source, SANE_Int index,
                            const SANE_Option_Descriptor& descriptor, const std::string& text);

// The option table of one open scanner as the back ends read and set it:
// descriptors and values by index. DriverOptionSource reaches the scanner
// through the sane_qnsane_ calls; tests give the back ends a scripted table.
//
// Thread rule: none of its own; the back ends use a source on the service
// thread. A source does not own the scanner handle.
#pragma once

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

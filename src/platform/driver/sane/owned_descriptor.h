// A device option's copy (DeviceOption) presented as a SANE descriptor whose
// texts and constraint point into the copy itself. Neither copied nor moved,
// so the descriptor's pointers stay valid as long as the object lives; hold
// it by unique_ptr. No threads of its own.
#pragma once

#include <vector>

#include "platform/driver/sane/device_option_port.h"

class OwnedDescriptor {
  public:
    explicit OwnedDescriptor(DeviceOption option);
    OwnedDescriptor(const OwnedDescriptor&) = delete;
    OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;

    const DeviceOption& option() const { return option_; }
    const SANE_Option_Descriptor& descriptor() const { return descriptor_; }

  private:
    DeviceOption option_;
    std::vector<SANE_Word> wordList_;            // the entry count first, as SANE lists it
    std::vector<SANE_String_Const> stringList_;  // null-terminated
    SANE_Option_Descriptor descriptor_{};
};

// The page-facing options 1..16 of a SANE scanner: the virtual scanner's
// titles, types and defaults, with the choices narrowed to what the device
// offers (its colour modes, resolutions, sides and the paper sizes its scan
// area holds). Values are kept as the virtual scanner keeps them (a string
// option holds the index of its entry in the full list), so the driver's
// settings read the same on both.
//
// Descriptors point into this object: it is neither copied nor moved while
// they are handed out. No threads of its own.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/driver/sane/device_mapping.h"
#include "platform/driver/virtual_options.h"

class PageFacingOptions {
  public:
    PageFacingOptions();
    PageFacingOptions(const PageFacingOptions&) = delete;
    PageFacingOptions& operator=(const PageFacingOptions&) = delete;

    // Narrows the choices to the device's and puts every option at its
    // default; the last values are then brought back where still offered.
    void Build(const DeviceMapping& mapping);

    // Options 1..16 (group and button included); null for any other.
    const SANE_Option_Descriptor* Descriptor(SANE_Int option) const;
    SANE_Word Word(VirtualOption option) const { return words_[option]; }

    // As VirtualOptionValues, against the narrowed choices; the button is
    // not handled here.
    SANE_Status Get(SANE_Int option, void* value) const;
    SANE_Status Set(SANE_Int option, const void* value, SANE_Int* info);
    void RestoreDefaults() { words_ = defaults_; }

    // One text per option 1..16 (empty for the groups and the button), and
    // their restoration; texts that are no longer valid are passed over.
    std::vector<std::string> Values() const;
    void Restore(const std::vector<std::string>& values);

  private:
    void Narrow(SANE_Int option, const std::vector<SANE_Word>& entries);
    void SetResolutions(const std::vector<int>& dpis);

    std::array<SANE_Option_Descriptor, kVirtualOptionCount> descriptors_{};
    std::array<std::vector<SANE_String_Const>, kVirtualOptionCount> lists_;
    std::vector<SANE_Word> resolutions_;  // the entry count first
    std::array<SANE_Word, kVirtualOptionCount> words_{};
    std::array<SANE_Word, kVirtualOptionCount> defaults_{};
    bool built_ = false;
};

#include "platform/driver/sane/page_facing_options.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/driver/sane/option_constraint.h"

namespace {

// A paper size this much larger than the scan area still fits: the area is
// then clamped (Letter's 215.9 mm against a 215.9 mm glass, rounding).
constexpr double kPaperSlackMm = 1.0;

std::vector<SANE_Word> ColorModes(const DeviceMapping& mapping) {
    std::vector<SANE_Word> modes;
    // A device without a grey or line-art choice scans as it does; that is
    // shown as colour.
    bool ownModeOnly = mapping.grayMode.empty() && mapping.lineartMode.empty();
    if (!mapping.colorMode.empty() || ownModeOnly) modes.push_back(kColor24Bit);
    if (!mapping.grayMode.empty()) modes.push_back(kColorGray);
    // Black and white is always possible: from the device, or thresholded here.
    modes.push_back(kColorBlackWhite);
    // Automatic detection is served as colour, as the virtual scanner does.
    if (!mapping.colorMode.empty()) modes.push_back(kColorAuto);
    return modes;
}

std::vector<SANE_Word> PageSides(const DeviceMapping& mapping) {
    std::vector<SANE_Word> sides = {kSideSimplex};
    if (!mapping.duplexSource.empty()) sides.push_back(kSideDuplex);
    sides.push_back(kSideSkipBlank);
    sides.push_back(kSideSkipBlankInvoice);
    return sides;
}

std::vector<SANE_Word> PaperSizes(const DeviceMapping& mapping) {
    std::vector<SANE_Word> sizes = {kPaperOriginal};
    if (mapping.areaWidthMm <= 0) return sizes;
    for (SANE_Word paper : {kPaperA3, kPaperA4, kPaperA5, kPaperB5, kPaperLetter}) {
        PaperMillimetres size = PaperOf(paper);
        if (size.width <= mapping.areaWidthMm + kPaperSlackMm &&
            size.height <= mapping.areaHeightMm + kPaperSlackMm)
            sizes.push_back(paper);
    }
    return sizes;
}

const SANE_String_Const* FullList(SANE_Int option) {
    return VirtualOptionDescriptor(option)->constraint.string_list;
}

bool IsValueless(const SANE_Option_Descriptor& descriptor) {
    return descriptor.type == SANE_TYPE_GROUP || descriptor.type == SANE_TYPE_BUTTON;
}

bool ParseWord(const SANE_Option_Descriptor& descriptor, const std::string& text, SANE_Word* word) {
    char* end = nullptr;
    if (descriptor.type == SANE_TYPE_FIXED) {
        double value = std::strtod(text.c_str(), &end);
        *word = SANE_FIX(value);
    } else {
        *word = static_cast<SANE_Word>(std::strtol(text.c_str(), &end, 10));
    }
    return end != text.c_str() && *end == '\0';
}

}  // namespace

PageFacingOptions::PageFacingOptions() {
    Build(DeviceMapping{});
}

void PageFacingOptions::Build(const DeviceMapping& mapping) {
    std::vector<std::string> previous = built_ ? Values() : std::vector<std::string>{};
    built_ = true;
    VirtualOptionValues virtualDefaults;
    for (SANE_Int option = 0; option < kVirtualOptionCount; ++option) {
        descriptors_[option] = *VirtualOptionDescriptor(option);
        defaults_[option] = virtualDefaults.Word(static_cast<VirtualOption>(option));
    }
    Narrow(kOptionColorMode, ColorModes(mapping));
    Narrow(kOptionPageSide, PageSides(mapping));
    Narrow(kOptionPaperSize, PaperSizes(mapping));
    SetResolutions(mapping.resolutions);
    words_ = defaults_;
    Restore(previous);
}

void PageFacingOptions::Narrow(SANE_Int option, const std::vector<SANE_Word>& entries) {
    std::vector<SANE_String_Const>& list = lists_[option];
    list.clear();
    for (SANE_Word entry : entries)
        list.push_back(FullList(option)[entry]);
    list.push_back(nullptr);
    descriptors_[option].constraint.string_list = list.data();
    if (std::find(entries.begin(), entries.end(), defaults_[option]) == entries.end())
        defaults_[option] = entries.front();
}

void PageFacingOptions::SetResolutions(const std::vector<int>& dpis) {
    resolutions_.assign(1, static_cast<SANE_Word>(dpis.size()));
    resolutions_.insert(resolutions_.end(), dpis.begin(), dpis.end());
    SANE_Option_Descriptor& descriptor = descriptors_[kOptionResolution];
    descriptor.constraint.word_list = resolutions_.data();
    defaults_[kOptionResolution] = NearestWord(descriptor, defaults_[kOptionResolution]);
}

const SANE_Option_Descriptor* PageFacingOptions::Descriptor(SANE_Int option) const {
    if (option <= kOptionCount || option >= kVirtualOptionCount) return nullptr;
    return &descriptors_[option];
}

SANE_Status PageFacingOptions::Get(SANE_Int option, void* value) const {
    const SANE_Option_Descriptor* descriptor = Descriptor(option);
    if (descriptor == nullptr || value == nullptr || IsValueless(*descriptor))
        return SANE_STATUS_INVAL;
    if (descriptor->type == SANE_TYPE_STRING) {
        const char* text = FullList(option)[words_[option]];
        std::memcpy(value, text, std::strlen(text) + 1);
    } else {
        std::memcpy(value, &words_[option], sizeof(SANE_Word));
    }
    return SANE_STATUS_GOOD;
}

SANE_Status PageFacingOptions::Set(SANE_Int option, const void* value, SANE_Int* info) {
    if (info != nullptr) *info = 0;
    const SANE_Option_Descriptor* descriptor = Descriptor(option);
    if (descriptor == nullptr || value == nullptr || IsValueless(*descriptor))
        return SANE_STATUS_INVAL;
    SANE_Word word = 0;
    if (descriptor->type == SANE_TYPE_STRING) {
        std::string text;
        if (!ReadText(*descriptor, value, &text) || !TextFits(*descriptor, text))
            return SANE_STATUS_INVAL;
        const SANE_String_Const* full = FullList(option);
        while (text != full[word])
            ++word;
    } else {
        std::memcpy(&word, value, sizeof word);
        if (!WordFits(*descriptor, word)) return SANE_STATUS_INVAL;
    }
    words_[option] = word;
    if (info != nullptr && OptionChangesParameters(option)) *info = SANE_INFO_RELOAD_PARAMS;
    return SANE_STATUS_GOOD;
}

std::vector<std::string> PageFacingOptions::Values() const {
    std::vector<std::string> values;
    for (SANE_Int option = kOptionCount + 1; option < kVirtualOptionCount; ++option) {
        const SANE_Option_Descriptor& descriptor = descriptors_[option];
        if (IsValueless(descriptor)) {
            values.emplace_back();
        } else if (descriptor.type == SANE_TYPE_STRING) {
            values.emplace_back(FullList(option)[words_[option]]);
        } else if (descriptor.type == SANE_TYPE_FIXED) {
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", SANE_UNFIX(words_[option]));
            values.emplace_back(text);
        } else {
            values.push_back(std::to_string(words_[option]));
        }
    }
    return values;
}

void PageFacingOptions::Restore(const std::vector<std::string>& values) {
    for (size_t i = 0; i < values.size(); ++i) {
        auto option = static_cast<SANE_Int>(i + 1);
        const SANE_Option_Descriptor* descriptor = Descriptor(option);
        if (descriptor == nullptr || IsValueless(*descriptor) || values[i].empty()) continue;
        if (descriptor->type == SANE_TYPE_STRING) {
            Set(option, values[i].c_str(), nullptr);
            continue;
        }
        SANE_Word word = 0;
        if (ParseWord(*descriptor, values[i], &word)) Set(option, &word, nullptr);
    }
}

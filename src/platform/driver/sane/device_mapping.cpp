#include "platform/driver/sane/device_mapping.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

#include "platform/driver/sane/option_constraint.h"
#include "platform/driver/sane/owned_descriptor.h"

namespace {

// Resolutions shown from a device's range: the usual document settings.
constexpr std::array<int, 10> kCommonDpi = {75, 100, 150, 200, 240, 300, 400, 600, 1200, 2400};
constexpr double kMillimetresPerInch = 25.4;

// Lower-case letters and digits only: "Black & White" -> "blackwhite".
std::string Folded(std::string_view text) {
    std::string folded;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte)) folded.push_back(static_cast<char>(std::tolower(byte)));
    }
    return folded;
}

bool Has(const std::string& text, std::string_view word) {
    return text.find(word) != std::string::npos;
}

std::string FirstEntry(const DeviceOption* option, ModeMeaning meaning) {
    if (option == nullptr) return {};
    for (const std::string& entry : option->stringList)
        if (MeaningOfMode(entry) == meaning) return entry;
    return {};
}

std::string FirstEntry(const DeviceOption* option, SourceMeaning meaning) {
    if (option == nullptr) return {};
    for (const std::string& entry : option->stringList)
        if (MeaningOfSource(entry) == meaning) return entry;
    return {};
}

bool OffersWord(const DeviceOption& option, SANE_Word word) {
    OwnedDescriptor owned(option);
    return WordFits(owned.descriptor(), word);
}

std::vector<int> ResolutionChoices(const DeviceOption* resolution) {
    std::vector<int> choices;
    if (resolution == nullptr) return {200};
    if (resolution->constraintType == SANE_CONSTRAINT_WORD_LIST) {
        for (SANE_Word word : resolution->wordList) {
            int dpi = DpiOfWord(*resolution, word);
            if (dpi > 0) choices.push_back(dpi);
        }
    } else {
        for (int dpi : kCommonDpi)
            if (OffersWord(*resolution, WordOfDpi(*resolution, dpi))) choices.push_back(dpi);
        if (choices.empty() && resolution->constraintType == SANE_CONSTRAINT_RANGE) {
            OwnedDescriptor owned(*resolution);
            for (SANE_Word end : {resolution->range.min, resolution->range.max}) {
                int dpi = DpiOfWord(*resolution, NearestWord(owned.descriptor(), end));
                if (dpi > 0) choices.push_back(dpi);
            }
        }
    }
    std::sort(choices.begin(), choices.end());
    choices.erase(std::unique(choices.begin(), choices.end()), choices.end());
    if (choices.empty()) choices.push_back(200);
    return choices;
}

// The extent of one axis: the page size option when the device has one (sheet
// feeders), else the bottom-right corner's reach from the top-left's start.
double AxisMillimetres(const std::vector<DeviceOption>& table, std::string_view pageName,
                       std::string_view startName, std::string_view endName, int dpi) {
    const DeviceOption* page = FindDeviceOption(table, pageName);
    if (page != nullptr && page->constraintType == SANE_CONSTRAINT_RANGE)
        return MillimetresOfWord(*page, page->range.max, dpi);
    const DeviceOption* start = FindDeviceOption(table, startName);
    const DeviceOption* end = FindDeviceOption(table, endName);
    if (start == nullptr || end == nullptr || start->constraintType != SANE_CONSTRAINT_RANGE ||
        end->constraintType != SANE_CONSTRAINT_RANGE)
        return 0;
    return MillimetresOfWord(*end, end->range.max, dpi) -
           MillimetresOfWord(*start, start->range.min, dpi);
}

}  // namespace

ModeMeaning MeaningOfMode(std::string_view entry) {
    std::string folded = Folded(entry);
    if (Has(folded, "halftone") || Has(folded, "dither")) return ModeMeaning::kOther;
    if (Has(folded, "lineart") || folded == "binary" || folded == "blackwhite" ||
        folded == "blackandwhite")
        return ModeMeaning::kLineart;
    if (Has(folded, "color") || Has(folded, "colour") || folded == "rgb")
        return ModeMeaning::kColor;
    if (Has(folded, "gray") || Has(folded, "grey")) return ModeMeaning::kGray;
    return ModeMeaning::kOther;
}

SourceMeaning MeaningOfSource(std::string_view entry) {
    std::string folded = Folded(entry);
    if (Has(folded, "duplex")) return SourceMeaning::kDuplex;
    if (Has(folded, "flatbed") || Has(folded, "platen") || folded == "normal")
        return SourceMeaning::kFlatbed;
    // A feeder's back side alone is no way to scan a document's front.
    if (Has(folded, "back") || Has(folded, "rear")) return SourceMeaning::kOther;
    if (Has(folded, "adf") || Has(folded, "feeder")) return SourceMeaning::kFeeder;
    return SourceMeaning::kOther;
}

const DeviceOption* FindDeviceOption(const std::vector<DeviceOption>& table,
                                     std::string_view name) {
    for (const DeviceOption& option : table)
        if (option.name == name) return &option;
    return nullptr;
}

DeviceMapping AnalyseDevice(const std::vector<DeviceOption>& table, int currentDpi) {
    DeviceMapping mapping;
    const DeviceOption* mode = FindDeviceOption(table, "mode");
    mapping.colorMode = FirstEntry(mode, ModeMeaning::kColor);
    mapping.grayMode = FirstEntry(mode, ModeMeaning::kGray);
    mapping.lineartMode = FirstEntry(mode, ModeMeaning::kLineart);
    const DeviceOption* depth = FindDeviceOption(table, "depth");
    mapping.grayDepthOne = mapping.lineartMode.empty() && !mapping.grayMode.empty() &&
                           depth != nullptr && !depth->IsArray() && OffersWord(*depth, 1);

    const DeviceOption* source = FindDeviceOption(table, "source");
    mapping.flatbedSource = FirstEntry(source, SourceMeaning::kFlatbed);
    mapping.feederSource = FirstEntry(source, SourceMeaning::kFeeder);
    mapping.duplexSource = FirstEntry(source, SourceMeaning::kDuplex);

    mapping.resolutions = ResolutionChoices(FindDeviceOption(table, "resolution"));
    mapping.areaWidthMm = AxisMillimetres(table, "page-width", "tl-x", "br-x", currentDpi);
    mapping.areaHeightMm = AxisMillimetres(table, "page-height", "tl-y", "br-y", currentDpi);
    if (mapping.areaWidthMm <= 0 || mapping.areaHeightMm <= 0)
        mapping.areaWidthMm = mapping.areaHeightMm = 0;

    const DeviceOption* brightness = FindDeviceOption(table, "brightness");
    mapping.hasBrightness =
        brightness != nullptr && !brightness->IsArray() &&
        (brightness->type == SANE_TYPE_INT || brightness->type == SANE_TYPE_FIXED);
    return mapping;
}

int DpiOfWord(const DeviceOption& resolution, SANE_Word word) {
    if (resolution.type == SANE_TYPE_FIXED) return static_cast<int>(std::lround(SANE_UNFIX(word)));
    return word;
}

SANE_Word WordOfDpi(const DeviceOption& resolution, int dpi) {
    if (resolution.constraintType == SANE_CONSTRAINT_WORD_LIST) {
        for (SANE_Word word : resolution.wordList)
            if (DpiOfWord(resolution, word) == dpi) return word;
        return 0;
    }
    return resolution.type == SANE_TYPE_FIXED ? SANE_FIX(dpi) : dpi;
}

double MillimetresOfWord(const DeviceOption& option, SANE_Word word, int dpi) {
    double value = option.type == SANE_TYPE_FIXED ? SANE_UNFIX(word) : word;
    if (option.unit != SANE_UNIT_PIXEL) return value;
    return dpi > 0 ? value * kMillimetresPerInch / dpi : 0;
}

SANE_Word WordOfMillimetres(const DeviceOption& option, double millimetres, int dpi) {
    double value =
        option.unit == SANE_UNIT_PIXEL ? millimetres * dpi / kMillimetresPerInch : millimetres;
    if (option.type == SANE_TYPE_FIXED) return SANE_FIX(value);
    return static_cast<SANE_Word>(std::lround(value));
}

bool IsMappedOptionName(std::string_view name, const DeviceMapping& mapping) {
    static constexpr std::array<std::string_view, 10> kMapped = {
        "mode", "resolution", "source",     "tl-x",        "tl-y",
        "br-x", "br-y",       "page-width", "page-height", "brightness"};
    if (std::find(kMapped.begin(), kMapped.end(), name) != kMapped.end()) return true;
    return name == "depth" && mapping.grayDepthOne;
}

// What a SANE device offers for the page-facing options, found by meaning in
// its table of well-known options: which of its `mode` entries is colour,
// grey and line art, which `source` entries are flatbed, feeder and duplex,
// the resolutions to show, the size of its scan area and whether it has a
// brightness control. Plain values; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/driver/sane/device_option_port.h"

enum class ModeMeaning { kOther, kColor, kGray, kLineart };
enum class SourceMeaning { kOther, kFlatbed, kFeeder, kDuplex };

// The meaning of a device's `mode` or `source` entry ("Color", "Grey",
// "Lineart", "ADF Duplex", ...), judged by words rather than exact text.
ModeMeaning MeaningOfMode(std::string_view entry);
SourceMeaning MeaningOfSource(std::string_view entry);

struct DeviceMapping {
    // The device's own entries; empty when it has none of that meaning.
    std::string colorMode;
    std::string grayMode;
    std::string lineartMode;
    bool grayDepthOne = false;  // no line-art mode, but Gray with `depth` 1
    std::string flatbedSource;
    std::string feederSource;
    std::string duplexSource;
    std::vector<int> resolutions;  // dpi to show, ascending; never empty
    // The largest area the device scans, in mm; 0 when it has no scan-area
    // options (then only the whole area is offered).
    double areaWidthMm = 0;
    double areaHeightMm = 0;
    bool hasBrightness = false;

    bool HasFeeder() const { return !feederSource.empty() || !duplexSource.empty(); }
};

// The option called name in table, or null.
const DeviceOption* FindDeviceOption(const std::vector<DeviceOption>& table, std::string_view name);

// Analyses a device's table. currentDpi converts a scan area given in pixels.
DeviceMapping AnalyseDevice(const std::vector<DeviceOption>& table, int currentDpi);

// The dpi a resolution option's word stands for, and the word that sets dpi
// (0 when a word-listed resolution does not offer it).
int DpiOfWord(const DeviceOption& resolution, SANE_Word word);
SANE_Word WordOfDpi(const DeviceOption& resolution, int dpi);

// Millimetres of a scan-area word and the word of a length, for MM and PIXEL
// units (pixels at dpi) in int or fixed options.
double MillimetresOfWord(const DeviceOption& option, SANE_Word word, int dpi);
SANE_Word WordOfMillimetres(const DeviceOption& option, double millimetres, int dpi);

// The names of the device options the page-facing set drives.
bool IsMappedOptionName(std::string_view name, const DeviceMapping& mapping);

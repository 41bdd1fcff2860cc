#include "platform/driver/sane/scan_preparation.h"

#include <algorithm>
#include <functional>

#include "platform/driver/sane/option_constraint.h"

namespace {

using WordOf = std::function<SANE_Word(const OwnedDescriptor&)>;

int DegreesOf(SANE_Word orientation) {
    switch (orientation) {
        case kOrientation90:
            return 90;
        case kOrientation180:
            return 180;
        case kOrientationMinus90:
            return 270;
        default:
            return 0;
    }
}

const std::string& SourceEntry(const SaneScanSettings& settings, const DeviceMapping& mapping) {
    if (!settings.feeder) return mapping.flatbedSource;
    return settings.duplex ? mapping.duplexSource : mapping.feederSource;
}

// The device's mode for the page's colour mode; black and white takes the
// device's line art, else its grey (at depth 1, or thresholded here), else
// its colour (thresholded here).
const std::string& ModeEntry(SANE_Word colorMode, const DeviceMapping& mapping) {
    if (colorMode == kColorGray) return mapping.grayMode;
    if (colorMode != kColorBlackWhite) return mapping.colorMode;
    if (!mapping.lineartMode.empty()) return mapping.lineartMode;
    return mapping.grayMode.empty() ? mapping.colorMode : mapping.grayMode;
}

// Sets a word option to the word worked out from its current descriptor.
SANE_Status ApplyWord(DeviceOptionPort& port, DeviceTable& table, std::string_view name,
                      const WordOf& wordOf) {
    const OwnedDescriptor* option = table.Find(name);
    if (option == nullptr || !option->option().Settable() || option->option().IsArray())
        return SANE_STATUS_GOOD;
    return table.Apply(port, name, OptionValue{{wordOf(*option)}, {}});
}

SANE_Status ApplyText(DeviceOptionPort& port, DeviceTable& table, std::string_view name,
                      const std::string& text) {
    if (text.empty()) return SANE_STATUS_GOOD;
    return table.Apply(port, name, OptionValue{{}, text});
}

bool HasRange(const OwnedDescriptor& option) {
    return option.option().constraintType == SANE_CONSTRAINT_RANGE;
}

// One axis of the scan area: the sheet size on sheet-fed devices, then the
// area from the start of the axis, the whole reach for the original size.
SANE_Status ApplyAxis(DeviceOptionPort& port, DeviceTable& table, const char* pageName,
                      const char* startName, const char* endName, int sizeMm, bool whole, int dpi) {
    auto extent = [&](const OwnedDescriptor& option, double fromMm) {
        if (whole && HasRange(option)) return option.option().range.max;
        return NearestWord(option.descriptor(),
                           WordOfMillimetres(option.option(), fromMm + sizeMm, dpi));
    };
    SANE_Status status =
        ApplyWord(port, table, pageName, [&](const OwnedDescriptor& o) { return extent(o, 0); });
    if (status == SANE_STATUS_GOOD)
        status = ApplyWord(port, table, startName, [](const OwnedDescriptor& o) {
            return HasRange(o) ? o.option().range.min : 0;
        });
    if (status != SANE_STATUS_GOOD) return status;
    const OwnedDescriptor* start = table.Find(startName);
    double startMm = start == nullptr || !HasRange(*start)
                         ? 0
                         : MillimetresOfWord(start->option(), start->option().range.min, dpi);
    return ApplyWord(port, table, endName,
                     [&](const OwnedDescriptor& o) { return extent(o, startMm); });
}

SANE_Status ApplyScanArea(DeviceOptionPort& port, DeviceTable& table, SANE_Word paper, int dpi) {
    PaperMillimetres size = PaperOf(paper);
    bool whole = paper == kPaperOriginal;
    SANE_Status status =
        ApplyAxis(port, table, "page-width", "tl-x", "br-x", size.width, whole, dpi);
    if (status != SANE_STATUS_GOOD) return status;
    return ApplyAxis(port, table, "page-height", "tl-y", "br-y", size.height, whole, dpi);
}

// Page brightness -100..100 onto the device's scale, 0 being the device's
// own setting, so an untouched page leaves the device's balance alone.
SANE_Word DeviceBrightness(const OwnedDescriptor& option, const OptionValue* neutral,
                           int brightness) {
    const DeviceOption& device = option.option();
    SANE_Word low = device.type == SANE_TYPE_FIXED ? SANE_FIX(-100) : -100;
    SANE_Word high = device.type == SANE_TYPE_FIXED ? SANE_FIX(100) : 100;
    if (device.constraintType == SANE_CONSTRAINT_RANGE) {
        low = device.range.min;
        high = device.range.max;
    } else if (device.constraintType == SANE_CONSTRAINT_WORD_LIST && !device.wordList.empty()) {
        auto [min, max] = std::minmax_element(device.wordList.begin(), device.wordList.end());
        low = *min;
        high = *max;
    }
    int64_t middle = (static_cast<int64_t>(low) + high) / 2;
    if (neutral != nullptr && neutral->words.size() == 1 && neutral->words[0] >= low &&
        neutral->words[0] <= high)
        middle = neutral->words[0];
    int64_t span = brightness >= 0 ? high - middle : middle - low;
    return NearestWord(option.descriptor(),
                       static_cast<SANE_Word>(middle + span * brightness / 100));
}

}  // namespace

SaneScanSettings ScanSettingsOf(const PageFacingOptions& facing, const DeviceMapping& mapping,
                                ScanSource source) {
    SaneScanSettings settings;
    SANE_Word side = facing.Word(kOptionPageSide);
    bool flatbed = source == ScanSource::kFlatbed;
    settings.skipBlank = side == kSideSkipBlank || side == kSideSkipBlankInvoice;
    settings.invoicePaper = side == kSideSkipBlankInvoice;
    settings.duplex =
        !flatbed && (side == kSideDuplex || (settings.skipBlank && !mapping.duplexSource.empty()));
    settings.feeder = !flatbed && (settings.duplex || !mapping.feederSource.empty());
    // Two sides asked for explicitly need the feeder; one side can come
    // from the glass of a device that has both.
    settings.flatbedFallback =
        settings.feeder && side != kSideDuplex && !mapping.flatbedSource.empty();
    // A feeder runs until it is empty or the count is reached; a flatbed
    // gives one page per start, so it always scans the count.
    bool counted = facing.Word(kOptionFeedMode) == kFeedCounted || !settings.feeder;
    settings.sheetLimit = counted ? facing.Word(kOptionSheetCount) : 0;
    settings.resolution = facing.Word(kOptionResolution);
    settings.blackWhite = facing.Word(kOptionColorMode) == kColorBlackWhite;
    settings.blankSensitivity = facing.Word(kOptionBlankSensitivity);
    settings.gamma = SANE_UNFIX(facing.Word(kOptionGamma));
    settings.brightness = facing.Word(kOptionBrightness);
    settings.softwareBrightness = !mapping.hasBrightness;
    settings.rotationDegrees = DegreesOf(facing.Word(kOptionOrientation));
    settings.split = facing.Word(kOptionSplit) != SANE_FALSE;
    settings.denoise = facing.Word(kOptionBwDenoise) != SANE_FALSE;
    settings.sharpen = facing.Word(kOptionSharpen) != SANE_FALSE;
    return settings;
}

SANE_Status PrepareDevice(DeviceOptionPort& port, DeviceTable& table, const DeviceMapping& mapping,
                          const PageFacingOptions& facing, const OptionValue* brightnessNeutral,
                          SaneScanSettings* settings) {
    SANE_Status status = ApplyText(port, table, "source", SourceEntry(*settings, mapping));
    if (status == SANE_STATUS_GOOD)
        status = ApplyText(port, table, "mode", ModeEntry(facing.Word(kOptionColorMode), mapping));
    if (status == SANE_STATUS_GOOD && mapping.grayDepthOne) {
        SANE_Word depth = settings->blackWhite ? 1 : 8;
        status = ApplyWord(port, table, "depth", [depth](const OwnedDescriptor& o) {
            return NearestWord(o.descriptor(), depth);
        });
    }
    if (status == SANE_STATUS_GOOD)
        status = ApplyWord(port, table, "resolution", [&](const OwnedDescriptor& o) {
            return WordOfDpi(o.option(), settings->resolution);
        });
    if (status == SANE_STATUS_GOOD)
        status = ApplyScanArea(port, table, facing.Word(kOptionPaperSize), settings->resolution);
    if (status != SANE_STATUS_GOOD) return status;

    const OwnedDescriptor* brightness = table.Find("brightness");
    settings->softwareBrightness =
        !mapping.hasBrightness || brightness == nullptr || !brightness->option().Settable();
    if (settings->softwareBrightness) return SANE_STATUS_GOOD;
    return ApplyWord(port, table, "brightness", [&](const OwnedDescriptor& o) {
        return DeviceBrightness(o, brightnessNeutral, settings->brightness);
    });
}

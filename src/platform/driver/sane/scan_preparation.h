// Pushing the page-facing values onto a SANE device before a scan: source,
// mode (and depth where black and white is Gray at depth 1), resolution,
// scan area and brightness, each checked against the device's constraint
// at the moment it is set, since one option changes the others' (a mode
// changes the resolutions, a resolution the pixel extent of the area).
// No threads of its own.
#pragma once

#include "platform/driver/sane/device_mapping.h"
#include "platform/driver/sane/device_table.h"
#include "platform/driver/sane/page_facing_options.h"
#include "platform/driver/sane/sane_option_map.h"

// What the scan does itself, from the page-facing values alone.
SaneScanSettings ScanSettingsOf(const PageFacingOptions& facing, const DeviceMapping& mapping,
                                ScanSource source = ScanSource::kPageChoice);

// Sets the device's options for settings (made by ScanSettingsOf) and
// decides settings->softwareBrightness. brightnessNeutral is the device's
// own brightness when first opened (page brightness 0), or null.
SANE_Status PrepareDevice(DeviceOptionPort& port, DeviceTable& table, const DeviceMapping& mapping,
                          const PageFacingOptions& facing, const OptionValue* brightnessNeutral,
                          SaneScanSettings* settings);

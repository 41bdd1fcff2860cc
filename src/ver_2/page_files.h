// Naming and writing new image files: the one way the second generation
// makes files for scanned pages and for images it keeps.
//
// Thread rule: any thread. MakeUniqueFileName is serialised process-wide, so
// two threads never receive the same name even when no file exists yet at
// it. The functions own nothing they are given.
#pragma once

#include <string>

#include "platform/image/kx_image.h"
#include "platform/image/kx_imgfmt.h"
#include "ver_2/global_config.h"

namespace ver_2 {

// How pages are written: taken from the settings when a page arrives, so a
// settings change never affects a page halfway through.
struct PageSaveSettings {
    std::string extension;  // "jpg", "bmp", "png", "tif", "pdf" or "ofd"
    bool ocr = false;       // searchable PDF or OFD through OCR
    ImageSaveInfo info{};
};

PageSaveSettings PageSaveSettingsFor(const GlobalConfig& config);

// The TIFF compression code of a name: "none" 1, "jpeg" 7, "ccitt-g4" 4,
// anything else 5 (LZW).
uint32_t TiffCompressionCode(const std::string& name);

// A new path in folder (which must end with "/"): folder, prefix, then a
// UUID ("random") or the local time to the millisecond (any other mode), a
// dot and the extension. Nothing exists at the path, and no caller in this
// process received it before; same-millisecond requests get the names of
// later clock readings.
std::string MakeUniqueFileName(const std::string& folder, const std::string& prefix,
                               const std::string& mode, const std::string& extension);

// Writes the image to path (whose extension is settings.extension): the
// file appears complete or not at all. 0 on success.
int WritePageFile(KXImage image, const PageSaveSettings& settings, const std::string& path);

}  // namespace ver_2

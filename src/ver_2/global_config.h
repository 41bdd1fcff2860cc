// The seven global settings of the second generation, kept in "config2.ini"
// section "global" under the keys named after the fields, and the rules a
// new value must pass. Plain values; no thread rule.
#pragma once

#include <cstdint>
#include <string>

namespace ver_2 {

struct GlobalConfig {
    std::string fileSavePath;  // folder of saved images, ending with "/"
    std::string fileNamePrefix;
    std::string fileNameMode;  // "date_time" or "random"
    std::string imageFormat;   // "jpg", "bmp", "png", "tif", "pdf", "ofd", "ocr-pdf", "ocr-ofd"
    int32_t imageJpegQuality = 80;
    std::string imageTiffCompression;  // "none", "lzw", "jpeg", "ccitt-g4"
    int32_t imageTiffJpegQuality = 80;
};

// Which fields of a GlobalConfig a change carries.
enum GlobalConfigField : uint32_t {
    kFieldFileSavePath = 0x01,
    kFieldFileNamePrefix = 0x02,
    kFieldFileNameMode = 0x04,
    kFieldImageFormat = 0x08,
    kFieldImageJpegQuality = 0x10,
    kFieldImageTiffCompression = 0x20,
    kFieldImageTiffJpegQuality = 0x40,
};

// Settings files hold at most this many bytes per value.
inline constexpr size_t kMaxSettingLength = 255;

// The base library's configuration and temporary folders, ending with "/".
std::string ConfigFolder();
std::string TemporaryFolder();

// A folder path standardised and ending with "/"; empty when it cannot be
// standardised.
std::string StandardiseFolderPath(const std::string& path);
// The form in which a save folder is held: the standardised path with "/"
// appended.
std::string StandardiseSavePath(const std::string& path);

// Empty when every field selected by mask may be stored, else why the first
// that may not was refused. The rules: a non-empty save
// folder whose held form fits a setting; a prefix that names no folder and
// leaves room for the rest of a file name; the listed words for the mode,
// format and TIFF compression (exact, case-sensitive); qualities 0 to 100.
// No text may hold a line break or other control character, which would
// break the settings file.
std::string GlobalConfigRefusal(const GlobalConfig& config, uint32_t mask);

}  // namespace ver_2

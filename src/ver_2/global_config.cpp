#include "ver_2/global_config.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/base/kx_paths.h"

namespace ver_2 {

namespace {

constexpr size_t kPathBuffer = 256;

constexpr std::array<std::string_view, 2> kFileNameModes = {"date_time", "random"};
constexpr std::array<std::string_view, 8> kImageFormats = {"jpg", "bmp", "png",     "tif",
                                                           "pdf", "ofd", "ocr-pdf", "ocr-ofd"};
constexpr std::array<std::string_view, 4> kTiffCompressions = {"none", "lzw", "jpeg", "ccitt-g4"};

// A file name is at most 255 bytes: the prefix, a UUID (36 characters, the
// longer of the two name forms) and a dot with a three-letter extension.
constexpr size_t kMaxPrefixLength = 255 - 36 - 4;

template <size_t N>
bool IsOneOf(const std::string& value, const std::array<std::string_view, N>& allowed) {
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

bool IsQuality(int32_t value) {
    return value >= 0 && value <= 100;
}

bool IsValidSavePath(const std::string& path) {
    if (path.empty() || HasControlCharacter(path)) return false;
    return StandardiseSavePath(path).size() <= kMaxSettingLength;
}

bool IsValidPrefix(const std::string& prefix) {
    return prefix.size() <= kMaxPrefixLength && prefix.find('/') == std::string::npos &&
           !HasControlCharacter(prefix);
}

}  // namespace

std::string ConfigFolder() {
    char folder[kPathBuffer] = {};
    KXBase_GetConfigPath(folder, sizeof folder);
    return folder;
}

std::string TemporaryFolder() {
    char folder[kPathBuffer] = {};
    KXBase_GetTmpPath(folder, sizeof folder);
    return folder;
}

std::string StandardiseFolderPath(const std::string& path) {
    std::string withSlash = path + "/";
    std::string buffer(withSlash.size() + 2, '\0');
    if (KXBase_StandardiseFileName(withSlash.c_str(), buffer.data(), buffer.size()) != 0) {
        return {};
    }
    buffer.resize(buffer.find('\0'));
    // "." and "a/.." standardise to "." without the separator.
    if (buffer.empty() || buffer.back() != '/') buffer.push_back('/');
    return buffer;
}

std::string StandardiseSavePath(const std::string& path) {
    std::string standard = StandardiseFolderPath(path);
    return standard.empty() ? path + "/" : standard;
}

bool IsValidGlobalConfig(const GlobalConfig& config, uint32_t mask) {
    if ((mask & kFieldFileSavePath) && !IsValidSavePath(config.fileSavePath)) return false;
    if ((mask & kFieldFileNamePrefix) && !IsValidPrefix(config.fileNamePrefix)) return false;
    if ((mask & kFieldFileNameMode) && !IsOneOf(config.fileNameMode, kFileNameModes)) return false;
    if ((mask & kFieldImageFormat) && !IsOneOf(config.imageFormat, kImageFormats)) return false;
    if ((mask & kFieldImageJpegQuality) && !IsQuality(config.imageJpegQuality)) return false;
    if ((mask & kFieldImageTiffCompression) &&
        !IsOneOf(config.imageTiffCompression, kTiffCompressions)) {
        return false;
    }
    if ((mask & kFieldImageTiffJpegQuality) && !IsQuality(config.imageTiffJpegQuality)) {
        return false;
    }
    return true;
}

}  // namespace ver_2

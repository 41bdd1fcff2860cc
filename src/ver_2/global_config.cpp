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

template <size_t N>
std::string NotOneOf(const char* key, const std::string& value,
                     const std::array<std::string_view, N>& allowed) {
    std::string text = std::string(key) + " \"" + value + "\" is not one of ";
    for (size_t i = 0; i < N; ++i)
        text += (i == 0 ? "" : ", ") + std::string(allowed[i]);
    return text;
}

std::string QualityRefusal(const char* key, int32_t value) {
    if (value >= 0 && value <= 100) return {};
    return std::string(key) + " " + std::to_string(value) + " is outside 0..100";
}

std::string TextRefusal(const char* key, const std::string& text, size_t maxLength) {
    if (HasControlCharacter(text)) return std::string(key) + " holds a control character";
    if (text.size() > maxLength) {
        return std::string(key) + " is longer than " + std::to_string(maxLength) + " bytes";
    }
    return {};
}

std::string SavePathRefusal(const std::string& path) {
    if (path.empty()) return "file_save_path is empty";
    return TextRefusal("file_save_path", StandardiseSavePath(path), kMaxSettingLength);
}

std::string PrefixRefusal(const std::string& prefix) {
    if (prefix.find('/') != std::string::npos) return "file_name_prefix holds a \"/\"";
    return TextRefusal("file_name_prefix", prefix, kMaxPrefixLength);
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

std::string GlobalConfigRefusal(const GlobalConfig& config, uint32_t mask) {
    std::string reason;
    auto check = [&](uint32_t field, auto refusal) {
        if (reason.empty() && (mask & field)) reason = refusal();
    };
    auto listed = [](const char* key, const std::string& value, const auto& allowed) {
        return IsOneOf(value, allowed) ? std::string() : NotOneOf(key, value, allowed);
    };
    check(kFieldFileSavePath, [&] { return SavePathRefusal(config.fileSavePath); });
    check(kFieldFileNamePrefix, [&] { return PrefixRefusal(config.fileNamePrefix); });
    check(kFieldFileNameMode,
          [&] { return listed("file_name_mode", config.fileNameMode, kFileNameModes); });
    check(kFieldImageFormat,
          [&] { return listed("image_format", config.imageFormat, kImageFormats); });
    check(kFieldImageJpegQuality,
          [&] { return QualityRefusal("image_jpeg_quality", config.imageJpegQuality); });
    check(kFieldImageTiffCompression, [&] {
        return listed("image_tiff_compression", config.imageTiffCompression, kTiffCompressions);
    });
    check(kFieldImageTiffJpegQuality,
          [&] { return QualityRefusal("image_tiff_jpeg_quality", config.imageTiffJpegQuality); });
    return reason;
}

}  // namespace ver_2

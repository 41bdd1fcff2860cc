#include "ver_2/image_conversions.h"

#include <array>
#include <cstdio>
#include <memory>

#include "platform/base/kx_paths.h"
#include "platform/base/kx_system.h"
#include "platform/image/kx_imgfmt.h"
#include "ver_2/manager_v2.h"
#include "ver_2/texts.h"

namespace ver_2 {

namespace {

// Larger files are not read whole: their Base64 text would exceed what the
// command channel carries.
constexpr uint64_t kMaxFileBytes = uint64_t{256} << 20;

struct FormatNames {
    uint32_t format;
    const char* extension;
    const char* prefix;
};

constexpr std::array<FormatNames, 6> kFormats = {{
    {KX_FORMAT_JPEG, "jpg", "data:image/jpeg;base64,"},
    {KX_FORMAT_BMP, "bmp", "data:image/bmp;base64,"},
    {KX_FORMAT_PNG, "png", "data:image/png;base64,"},
    {KX_FORMAT_TIFF, "tif", "data:image/tiff;base64,"},
    {KX_FORMAT_PDF, "pdf", "data:image/pdf;base64,"},
    {KX_FORMAT_OFD, "ofd", "data:image/ofd;base64,"},
}};

const FormatNames* FindFormat(uint32_t format) {
    for (const FormatNames& names : kFormats) {
        if (names.format == format) return &names;
    }
    return nullptr;
}

const FormatNames* FindPrefix(std::string_view prefix) {
    for (const FormatNames& names : kFormats) {
        if (prefix == names.prefix) return &names;
    }
    return nullptr;
}

// The whole content of a regular file; false for anything else, for empty
// and for oversized files.
bool ReadNonEmptyFile(const std::string& path, std::vector<uint8_t>& bytes) {
    return KXBase_ReadWholeFile(path.c_str(), kMaxFileBytes, &bytes) == KX_OK && !bytes.empty();
}

// The format of an image or document file, 0 when it is none (or is not a
// regular file, which is never opened: a pipe would block the reader).
uint32_t FormatOfFile(const std::string& path) {
    if (!KXBase_IsRegularFile(path.c_str())) return KX_FORMAT_UNKNOWN;
    uint32_t format = KX_FORMAT_UNKNOWN;
    if (KXImgFmt_GetImgFmtType(path.c_str(), &format) != 0) return KX_FORMAT_UNKNOWN;
    return format;
}

bool DecodeBase64(std::string_view text, std::vector<uint8_t>& bytes) {
    bytes.clear();
    size_t size = 0;
    if (KXBase_Base64Decode(text.data(), text.size(), nullptr, &size) != 0) return false;
    bytes.resize(size);
    if (KXBase_Base64Decode(text.data(), text.size(), bytes.data(), &size) != 0) {
        bytes.clear();
        return false;
    }
    bytes.resize(size);
    return true;
}

// The text up to a NUL byte, as the C routines of the channel see it.
std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace

bool IsImageExtension(std::string_view extension) {
    for (const FormatNames& names : kFormats) {
        if (extension == names.extension) return true;
    }
    return false;
}

const char* ExtensionOfFormat(uint32_t format) {
    const FormatNames* names = FindFormat(format);
    return names != nullptr ? names->extension : "";
}

const char* DataUrlPrefixOfFormat(uint32_t format) {
    const FormatNames* names = FindFormat(format);
    return names != nullptr ? names->prefix : kFormats[0].prefix;
}

int ImageFileToDataUrl(const std::string& path, std::string& dataUrl, std::string& errorText) {
    dataUrl.clear();
    errorText = kErrorText;
    uint32_t format = FormatOfFile(path);
    if (format == KX_FORMAT_UNKNOWN) return -1;
    std::string base64;
    if (FileToBase64(path, base64) != 0) return -1;
    dataUrl = DataUrlPrefixOfFormat(format);
    dataUrl += base64;
    errorText.clear();
    return 0;
}

int DataUrlToImageFile(ManagerV2& manager, std::string_view text, bool temporary, std::string& path,
                       std::string& errorText) {
    path.clear();
    errorText = kErrorText;
    text = UpToNul(text);
    size_t comma = text.find(',');
    if (comma == std::string_view::npos) return -1;
    const FormatNames* names = FindPrefix(text.substr(0, comma + 1));
    const char* extension = names != nullptr ? names->extension : kFormats[0].extension;
    std::string name = manager.MakeFileName(temporary, extension);
    if (Base64ToFile(text.substr(comma + 1), name) != 0) return -1;
    path = name;
    if (!temporary) manager.AddSaveFilename(path);
    errorText.clear();
    return 0;
}

int FileToBase64(const std::string& path, std::string& base64) {
    base64.clear();
    std::vector<uint8_t> bytes;
    if (!ReadNonEmptyFile(path, bytes)) return -1;
    BytesToBase64(bytes.data(), bytes.size(), base64);
    return 0;
}

int Base64ToFile(std::string_view base64, const std::string& path) {
    if (base64.empty()) return -1;
    std::vector<uint8_t> bytes;
    if (!DecodeBase64(base64, bytes)) return -1;
    return WriteBytesToFile(bytes.data(), bytes.size(), path) ? 0 : -1;
}

std::vector<uint8_t> ReadImageFile(const std::string& path, std::string& extension) {
    extension.clear();
    std::vector<uint8_t> bytes;
    uint32_t format = FormatOfFile(path);
    if (format == KX_FORMAT_UNKNOWN || FindFormat(format) == nullptr) return bytes;
    if (!ReadNonEmptyFile(path, bytes)) return bytes;
    extension = ExtensionOfFormat(format);
    return bytes;
}

std::vector<uint8_t> DataUrlToBytes(std::string_view text, std::string& extension) {
    extension.clear();
    std::vector<uint8_t> bytes;
    text = UpToNul(text);
    size_t comma = text.find(',');
    if (comma == std::string_view::npos) return bytes;
    const FormatNames* names = FindPrefix(text.substr(0, comma + 1));
    if (names == nullptr) return bytes;
    if (!DecodeBase64(text.substr(comma + 1), bytes) || bytes.empty()) {
        bytes.clear();
        return bytes;
    }
    extension = names->extension;
    return bytes;
}

bool BytesToBase64(const uint8_t* bytes, size_t size, std::string& base64) {
    base64.clear();
    size_t length = 0;
    KXBase_Base64Encode(bytes, size, nullptr, &length);
    base64.resize(length);
    KXBase_Base64Encode(bytes, size, base64.data(), &length);
    base64.resize(length);
    return true;
}

bool WriteBytesToFile(const uint8_t* bytes, size_t size, const std::string& path) {
    return !path.empty() &&
           KXBase_ReplaceFile(path.c_str(), bytes, size, KX_REPLACE_PLAIN) == KX_OK;
}

}  // namespace ver_2

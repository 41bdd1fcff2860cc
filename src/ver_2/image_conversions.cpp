#include "ver_2/image_conversions.h"

#include <memory>

#include "platform/base/kx_paths.h"
#include "platform/base/kx_system.h"
#include "platform/image/image_formats.h"
#include "platform/image/kx_imgfmt.h"
#include "ver_2/error_info.h"
#include "ver_2/output_files.h"

namespace ver_2 {

namespace {

// Larger files are not read whole: their Base64 text would exceed what the
// command channel carries.
constexpr uint64_t kMaxFileBytes = uint64_t{256} << 20;

// The format of data URLs without a known prefix, and of pages by default.
const ImageFormatName& DefaultFormat() {
    return ImageFormatNames().front();
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

int RefuseImageFile(ErrorInfo& error, const std::string& path) {
    std::string reason = ImageFileRefusal(path);
    return Refuse(error,
                  reason.empty() ? AboutFile("file cannot be read as an image", path) : reason);
}

int RefuseDataUrl(ErrorInfo& error, std::string_view text, const char* decodeFailure) {
    std::string reason = DataUrlRefusal(text);
    return Refuse(error, reason.empty() ? decodeFailure : reason);
}

bool IsImageExtension(std::string_view extension) {
    return FindImageFormatByExtension(extension) != nullptr;
}

const char* ExtensionOfFormat(uint32_t format) {
    const ImageFormatName* names = FindImageFormat(format);
    return names != nullptr ? names->extension : "";
}

const char* DataUrlPrefixOfFormat(uint32_t format) {
    const ImageFormatName* names = FindImageFormat(format);
    return names != nullptr ? names->dataUrlPrefix : DefaultFormat().dataUrlPrefix;
}

std::string ImageFileRefusal(const std::string& path) {
    std::string unreadable = FileRefusal(path);
    if (!unreadable.empty()) return unreadable;
    KXReadFile file;
    if (file.Open(path.c_str()) != KX_OK) return AboutFile("file cannot be read", path);
    if (file.size() == 0) return AboutFile("file is empty", path);
    if (file.size() > static_cast<uint64_t>(kMaxFileBytes)) {
        return AboutFile("file is larger than 256 MiB", path);
    }
    uint32_t format = FormatOfFile(path);
    if (FindImageFormat(format) == nullptr) {
        return AboutFile("unsupported image format", path);
    }
    return {};
}

std::string DataUrlRefusal(std::string_view text) {
    text = UpToNul(text);
    if (text.empty()) return "no data URL given";
    size_t comma = text.find(',');
    if (comma == std::string_view::npos) return "not a data URL: it has no comma";
    std::string_view prefix = text.substr(0, comma + 1);
    if (FindImageFormatByDataUrlPrefix(prefix) == nullptr) {
        constexpr size_t kShown = 40;
        std::string shown(prefix.substr(0, kShown));
        if (prefix.size() > kShown) shown += "...";
        return "unsupported data URL prefix \"" + shown + "\"";
    }
    std::vector<uint8_t> bytes;
    if (!DecodeBase64(text.substr(comma + 1), bytes)) return "the data URL's Base64 is invalid";
    if (bytes.empty()) return "the data URL holds no data";
    return {};
}

int ImageFileToDataUrl(const std::string& path, std::string& dataUrl, ErrorInfo& error) {
    dataUrl.clear();
    uint32_t format = FormatOfFile(path);
    std::string base64;
    if (format == KX_FORMAT_UNKNOWN || FileToBase64(path, base64) != 0) {
        return RefuseImageFile(error, path);
    }
    dataUrl = DataUrlPrefixOfFormat(format);
    dataUrl += base64;
    return 0;
}

int DataUrlToImageFile(OutputFiles& outputs, std::string_view text, bool temporary,
                       std::string& path, ErrorInfo& error) {
    path.clear();
    text = UpToNul(text);
    if (text.empty()) return Refuse(error, "no data URL given");
    size_t comma = text.find(',');
    if (comma == std::string_view::npos) return Refuse(error, "not a data URL: it has no comma");
    const ImageFormatName* names = FindImageFormatByDataUrlPrefix(text.substr(0, comma + 1));
    const char* extension = names != nullptr ? names->extension : DefaultFormat().extension;
    std::vector<uint8_t> bytes;
    std::string_view base64 = text.substr(comma + 1);
    if (base64.empty()) return Refuse(error, "the data URL holds no data");
    if (!DecodeBase64(base64, bytes)) return Refuse(error, "the data URL's Base64 is invalid");
    return outputs.SaveBytes(bytes.data(), bytes.size(), extension, temporary, path, error);
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
    if (FindImageFormat(format) == nullptr) return bytes;
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
    const ImageFormatName* names = FindImageFormatByDataUrlPrefix(text.substr(0, comma + 1));
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

#include "ver_1/image_store.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "net/http_request_reader.h"
#include "platform/base/encoding.h"
#include "platform/base/kx_paths.h"
#include "platform/base/kx_system.h"
#include "platform/image/image_formats.h"
#include "platform/image/kx_imgfmt.h"

namespace ver_1 {

namespace {

const ImageFormatName& JpegFormat() {
    return *FindImageFormat(KX_FORMAT_JPEG);
}
// Far above any list of names a pid's folder holds.
constexpr uint64_t kMaxImageListBytes = uint64_t{64} << 20;

}  // namespace

bool IsSafeName(const std::string& name) {
    return !name.empty() && name != "." && name != kImageListName &&
           name.find('/') == std::string::npos && name.find('\\') == std::string::npos &&
           name.find("..") == std::string::npos;
}

std::string PidFolderName(const std::string& pid) {
    bool dotsUnsafe = pid == "." || pid.find("..") != std::string::npos;
    auto unsafe = [&](size_t i) {
        unsigned char byte = static_cast<unsigned char>(pid[i]);
        switch (byte) {
            case '/':
            case '\\':
            case ':':
                return true;
            case '.':
                return dotsUnsafe;
            case '%':
                return i + 2 < pid.size() &&
                       std::isxdigit(static_cast<unsigned char>(pid[i + 1])) &&
                       std::isxdigit(static_cast<unsigned char>(pid[i + 2]));
            default:
                return byte < 0x20 || byte == 0x7F;
        }
    };
    std::string name;
    for (size_t i = 0; i < pid.size(); ++i) {
        if (!unsafe(i)) {
            name += pid[i];
            continue;
        }
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(pid[i]));
        name += escape;
    }
    return name;
}

bool ImageDirectory(const std::string& pid, std::string* folder) {
    folder->clear();
    if (pid.empty()) return false;
    char documents[256] = {};
    char process[256] = {};
    KXBase_GetDocumentsPath(documents, sizeof documents);
    KXBase_GetProcessName(process, sizeof process);
    std::string joined =
        std::string(documents) + process + "/" + PidFolderName(Utf8ToAnsi(pid)) + "/";
    std::string normalised(joined.size() + 16, '\0');
    if (KXBase_StandardiseFileName(joined.c_str(), normalised.data(), normalised.size()) != 0) {
        return false;
    }
    *folder = normalised.c_str();
    return true;
}

std::vector<std::string> ReadImageList(const std::string& pid) {
    std::vector<std::string> names;
    std::string folder;
    if (!ImageDirectory(pid, &folder)) return names;
    std::vector<uint8_t> text;
    if (KXBase_ReadWholeFile((folder + kImageListName).c_str(), kMaxImageListBytes, &text) != 0)
        return names;
    auto end = text.end();
    for (auto start = text.begin(); start != end;) {
        auto newline = std::find(start, end, '\n');
        std::string name(start, newline);
        // A list written with Windows line ends reads as if in text mode.
        if (!name.empty() && name.back() == '\r') name.pop_back();
        if (IsSafeName(name)) names.push_back(std::move(name));
        start = newline == end ? end : newline + 1;
    }
    return names;
}

bool WriteImageList(const std::string& pid, const std::vector<std::string>& names) {
    std::string folder;
    if (!ImageDirectory(pid, &folder)) return false;
    std::string text;
    for (const std::string& name : names)
        text += name + "\n";
    // Replaced whole, so a failed write never loses the names already listed.
    return KXBase_ReplaceFile((folder + kImageListName).c_str(), text.data(), text.size(),
                              KX_REPLACE_DURABLE) == 0;
}

long long NameNumber(const std::string& name) {
    return ParseLeadingInteger(name);
}

std::string NextImageName(const std::vector<std::string>& names, const std::string& extension) {
    long long largest = 0;
    for (const std::string& name : names)
        largest = std::max(largest, NameNumber(name));
    // A hand-made name at the top of the range must not overflow the count.
    largest = std::min(largest, LLONG_MAX - 1);
    return std::to_string(largest + 1) + "." + extension;
}

ImageHolder LoadRgbImage(const std::string& path) {
    KXImage image = nullptr;
    if (KXImgFmt_LoadImage(path.c_str(), KX_FORMAT_UNKNOWN, nullptr, KX_PIXEL_RGB,
                           KX_ORIGIN_TOP_LEFT, &image) != 0) {
        return nullptr;
    }
    return ImageHolder(image);
}

ImageHolder CreateRgbImage(uint32_t width, uint32_t height) {
    KXImage image = nullptr;
    if (KXBase_CreateImage(width, height, KX_PIXEL_RGB, KX_ORIGIN_TOP_LEFT, &image) != 0) {
        return nullptr;
    }
    return ImageHolder(image);
}

std::vector<uint8_t> EncodeJpeg(KXImage image) {
    KXBuffer raw = nullptr;
    if (image == nullptr || KXImgFmt_SaveJpegImageToBuffer(image, nullptr, &raw) != 0) return {};
    BufferHolder buffer(raw);
    const uint8_t* data = KXBase_GetBufferData(buffer.get());
    if (data == nullptr) return {};
    return std::vector<uint8_t>(data, data + KXBase_GetBufferSize(buffer.get()));
}

std::string Base64Text(const uint8_t* data, size_t size) {
    size_t length = 0;
    if (size == 0 || KXBase_Base64Encode(data, size, nullptr, &length) != 0) return "";
    std::string text(length, '\0');
    if (KXBase_Base64Encode(data, size, text.data(), &length) != 0) return "";
    text.resize(length);
    return text;
}

std::string JpegDataUrl(const std::vector<uint8_t>& jpeg) {
    std::string base64 = Base64Text(jpeg.data(), jpeg.size());
    return base64.empty() ? "" : JpegFormat().dataUrlPrefix + base64;
}

std::string JpegDataUrl(KXImage image) {
    return JpegDataUrl(EncodeJpeg(image));
}

std::string StoredImageExtension(const std::string& format) {
    return FindImageFormatByFileExtension(format) != nullptr ? format : JpegFormat().extension;
}

bool SaveNewImage(KXImage image, const std::string& folder, const std::string& name,
                  std::string* dataUrl) {
    KXBase_CreateDir(folder.c_str());
    std::string path = folder + name;
    std::string extension = name.substr(name.rfind('.') + 1);
    const ImageFormatName* format = FindImageFormatByFileExtension(extension);
    if (format == nullptr || format->code != KX_FORMAT_JPEG) {
        *dataUrl = JpegDataUrl(image);
        return KXImgFmt_SaveImage(image, KX_FORMAT_UNKNOWN, nullptr, path.c_str()) == 0;
    }
    std::vector<uint8_t> jpeg = EncodeJpeg(image);
    *dataUrl = JpegDataUrl(jpeg);
    return !jpeg.empty() &&
           KXBase_ReplaceFile(path.c_str(), jpeg.data(), jpeg.size(), KX_REPLACE_PLAIN) == 0;
}

}  // namespace ver_1

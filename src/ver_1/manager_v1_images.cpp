// ManagerV1's image-list operations on a pid's folder (service thread).
#include <algorithm>
#include <cstdio>

#include "platform/base/kx_log.h"
#include "platform/base/kx_paths.h"
#include "platform/base/kx_system.h"
#include "platform/base/service_thread.h"
#include "platform/image/kx_imgfmt.h"
#include "ver_1/image_store.h"
#include "ver_1/manager_v1.h"

namespace ver_1 {

namespace {

// The Base64 part of a text: after the first "," of a data URL, else all.
std::string Base64Part(const std::string& text) {
    size_t comma = text.find(',');
    return comma == std::string::npos ? text : text.substr(comma + 1);
}

bool ValidIndex(int index, size_t count) {
    return index >= 0 && static_cast<size_t>(index) < count;
}

// The piece of an image inside region, as a new RGB image; null when the
// region is empty or cannot be taken.
ImageHolder CutPiece(KXImage source, const KXRect& region) {
    if (region.right <= region.left || region.bottom <= region.top) return nullptr;
    ImageHolder piece = CreateRgbImage(static_cast<uint32_t>(region.right - region.left),
                                       static_cast<uint32_t>(region.bottom - region.top));
    if (piece == nullptr || KXBase_SetImageROI(source, &region) != 0) return nullptr;
    int copied = KXBase_CopyImage(source, piece.get());
    KXBase_ResetImageROI(source);
    return copied == 0 ? std::move(piece) : nullptr;
}

}  // namespace

bool ManagerV1::AddImage(const std::string& pid, KXImage image, NamedImage* added) {
    std::string folder;
    if (!ImageDirectory(pid, &folder)) return false;
    std::vector<std::string> names = ReadImageList(pid);
    std::string name = NextImageName(names, StoredImageExtension(params_.format));
    std::string dataUrl;
    if (!SaveNewImage(image, folder, name, &dataUrl)) return false;
    names.push_back(name);
    WriteImageList(pid, names);
    *added = {name, dataUrl};
    return true;
}

bool ManagerV1::GetImagesByPid(const std::string& pid, std::vector<NamedImage>* images) {
    SB_ASSERT_SERVICE_THREAD();
    images->clear();
    std::string folder;
    if (scanning_ || !ImageDirectory(pid, &folder)) return false;
    std::vector<std::string> names = ReadImageList(pid);
    KXBase_WriteInfo(KX_LOG_DETAIL, "filePath=%s", folder.c_str());
    std::vector<std::string> loaded;
    for (const std::string& name : names) {
        ImageHolder image = LoadRgbImage(folder + name);
        if (image == nullptr) continue;
        loaded.push_back(name);
        images->push_back({name, JpegDataUrl(image.get())});
    }
    if (loaded != names) WriteImageList(pid, loaded);
    return true;
}

bool ManagerV1::GetImageByName(const std::string& pid, const std::string& name,
                               std::string* dataUrl) {
    SB_ASSERT_SERVICE_THREAD();
    dataUrl->clear();
    std::string folder;
    if (scanning_ || !ImageDirectory(pid, &folder) || !IsSafeName(name)) return false;
    ImageHolder image = LoadRgbImage(folder + name);
    if (image != nullptr) *dataUrl = JpegDataUrl(image.get());
    return true;
}

bool ManagerV1::SaveImageData(const std::string& pid, const std::string& name,
                              const std::string& text) {
    SB_ASSERT_SERVICE_THREAD();
    std::string folder;
    if (scanning_ || !ImageDirectory(pid, &folder) || !IsSafeName(name)) return false;
    std::string base64 = Base64Part(text);
    if (base64.empty()) return false;
    size_t size = 0;
    if (KXBase_Base64Decode(base64.data(), base64.size(), nullptr, &size) != 0) return false;
    std::vector<uint8_t> bytes(size);
    if (KXBase_Base64Decode(base64.data(), base64.size(), bytes.data(), &size) != 0) return false;
    // Replaced whole: a failed write keeps the image that was there.
    return KXBase_ReplaceFile((folder + name).c_str(), bytes.data(), size, KX_REPLACE_PLAIN) == 0;
}

bool ManagerV1::DeleteImage(const std::string& pid, const std::string& name) {
    SB_ASSERT_SERVICE_THREAD();
    std::string folder;
    if (scanning_ || !ImageDirectory(pid, &folder) || !IsSafeName(name)) return false;
    if (KXBase_DeleteFile((folder + name).c_str()) != 0) return false;
    std::vector<std::string> names = ReadImageList(pid);
    auto found = std::find(names.begin(), names.end(), name);
    if (found != names.end()) {
        names.erase(found);
        WriteImageList(pid, names);
    }
    return true;
}

bool ManagerV1::DeleteAllImages(const std::string& pid) {
    SB_ASSERT_SERVICE_THREAD();
    std::string folder;
    if (scanning_ || !ImageDirectory(pid, &folder)) return false;
    for (const std::string& name : ReadImageList(pid))
        KXBase_DeleteFile((folder + name).c_str());
    WriteImageList(pid, {});
    return true;
}

bool ManagerV1::MergeImages(const std::string& pid, bool horizontal,
                            const std::vector<int>& indexes, NamedImage* merged) {
    SB_ASSERT_SERVICE_THREAD();
    *merged = {};
    std::string folder;
    if (scanning_ || !ImageDirectory(pid, &folder)) return false;
    std::vector<std::string> names = ReadImageList(pid);
    std::vector<ImageHolder> images;
    uint64_t width = 0;
    uint64_t height = 0;
    for (int index : indexes) {
        if (!ValidIndex(index, names.size())) continue;
        ImageHolder image = LoadRgbImage(folder + names[static_cast<size_t>(index)]);
        KXImageInfo info{};
        if (image == nullptr || KXBase_GetImageInfo(image.get(), &info) != 0) continue;
        width = horizontal ? width + info.width : std::max<uint64_t>(width, info.width);
        height = horizontal ? std::max<uint64_t>(height, info.height) : height + info.height;
        images.push_back(std::move(image));
    }
    if (width == 0 || height == 0) return true;
    if (width > UINT32_MAX || height > UINT32_MAX) return false;
    ImageHolder canvas =
        CreateRgbImage(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    if (canvas == nullptr) return false;
    int32_t x = 0;
    int32_t y = 0;
    for (const ImageHolder& image : images) {
        KXImageInfo info{};
        KXBase_GetImageInfo(image.get(), &info);
        KXRect region{x, y, x + static_cast<int32_t>(info.width),
                      y + static_cast<int32_t>(info.height)};
        if (KXBase_SetImageROI(canvas.get(), &region) == 0) {
            KXBase_CopyImage(image.get(), canvas.get());
            KXBase_ResetImageROI(canvas.get());
        }
        if (horizontal) {
            x += static_cast<int32_t>(info.width);
        } else {
            y += static_cast<int32_t>(info.height);
        }
    }
    return AddImage(pid, canvas.get(), merged);
}

bool ManagerV1::SplitImage(const std::string& pid, const std::string& name, bool horizontal, int x,
                           int y, NamedImage* first, NamedImage* second) {
    SB_ASSERT_SERVICE_THREAD();
    *first = {};
    *second = {};
    std::string folder;
    if (scanning_ || !ImageDirectory(pid, &folder) || !IsSafeName(name)) return false;
    ImageHolder source = LoadRgbImage(folder + name);
    KXImageInfo info{};
    if (source == nullptr || KXBase_GetImageInfo(source.get(), &info) != 0) return true;
    int32_t w = static_cast<int32_t>(info.width);
    int32_t h = static_cast<int32_t>(info.height);
    // A cut outside the image leaves one piece: the whole image.
    int32_t cut = std::clamp<int32_t>(horizontal ? x : y, 0, horizontal ? w : h);
    KXRect regions[2] = {
        horizontal ? KXRect{0, 0, cut, h} : KXRect{0, 0, w, cut},
        horizontal ? KXRect{cut, 0, w, h} : KXRect{0, cut, w, h},
    };
    NamedImage* outputs[2] = {first, second};
    for (int i = 0; i < 2; ++i) {
        ImageHolder piece = CutPiece(source.get(), regions[i]);
        if (piece != nullptr) AddImage(pid, piece.get(), outputs[i]);
    }
    return true;
}

bool ManagerV1::ExchangeImages(const std::string& pid, int first, int second) {
    SB_ASSERT_SERVICE_THREAD();
    std::string folder;
    if (scanning_ || !ImageDirectory(pid, &folder)) return false;
    std::vector<std::string> names = ReadImageList(pid);
    if (!ValidIndex(first, names.size()) || !ValidIndex(second, names.size())) return false;
    std::swap(names[static_cast<size_t>(first)], names[static_cast<size_t>(second)]);
    return WriteImageList(pid, names);
}

bool ManagerV1::SortImagesByNumber(const std::string& pid) {
    SB_ASSERT_SERVICE_THREAD();
    std::string folder;
    if (scanning_ || !ImageDirectory(pid, &folder)) return false;
    std::vector<std::string> names = ReadImageList(pid);
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return NameNumber(a) < NameNumber(b);
    });
    WriteImageList(pid, names);
    return true;
}

}  // namespace ver_1

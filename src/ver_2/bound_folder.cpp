#include "ver_2/bound_folder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>
#include <unordered_map>

#include "platform/base/kx_paths.h"
#include "platform/base/kx_system.h"
#include "ver_2/image_conversions.h"

namespace ver_2 {

namespace {

// Staging names: the swap file of an exchange, the files a reorder moves
// aside, and the write probe where unnamed files are not supported. Each may
// carry a "-" suffix of hex digits and numbers (FreeName, reorder places).
constexpr std::string_view kStagingPrefix = ".scanbridge-";
constexpr std::array<std::string_view, 3> kStagingStems = {"swap", "reorder", "probe"};
// Whole-file replacement writes the new file as a sibling named by the
// target, "." and six letters or digits before renaming it into place.
constexpr size_t kReplacementSuffixLength = 6;

bool AllOf(std::string_view text, bool (*allowed)(char)) {
    return std::all_of(text.begin(), text.end(), allowed);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAlphanumeric(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSuffixCharacter(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || c == '-';
}

// "0001.jpg": digits, a dot and one of the image extensions.
bool IsNumberedName(std::string_view name) {
    size_t dot = name.find('.');
    return dot != 0 && dot != std::string_view::npos && AllOf(name.substr(0, dot), IsDigit) &&
           IsImageExtension(name.substr(dot + 1));
}

bool IsStagingName(std::string_view name) {
    if (!name.starts_with(kStagingPrefix)) return false;
    name.remove_prefix(kStagingPrefix.size());
    for (std::string_view stem : kStagingStems) {
        if (name.starts_with(stem) && AllOf(name.substr(stem.size()), IsSuffixCharacter))
            return true;
    }
    return false;
}

bool IsReplacementName(std::string_view name) {
    if (name.size() <= kReplacementSuffixLength + 1) return false;
    size_t dot = name.size() - kReplacementSuffixLength - 1;
    return name[dot] == '.' && AllOf(name.substr(dot + 1), IsAlphanumeric) &&
           IsNumberedName(name.substr(0, dot));
}

}  // namespace

BoundFolder::BoundFolder(std::string folder, int32_t width, int32_t base)
    : folder_(std::move(folder)), width_(width), base_(base) {}

std::string BoundFolder::NumberedFileName(size_t index, const std::string& format) const {
    long long number = static_cast<long long>(base_) + static_cast<long long>(index);
    char digits[kMaxWidth + 32];
    std::snprintf(digits, sizeof digits, "%0*lld", width_, number);
    return folder_ + digits + "." + format;
}

bool BoundFolder::IsOwnName(std::string_view name) {
    return IsNumberedName(name) || IsStagingName(name) || IsReplacementName(name);
}

bool BoundFolder::Writable() const {
    if (KXBase_CreateDir(folder_.c_str()) != 0 || !KXBase_IsDirectory(folder_.c_str()))
        return false;
    // Where unnamed files are not supported the probe has a staging name,
    // which the next Clear deletes should the process die before it is.
    std::string probe = FreeName(std::string(kStagingPrefix) + "probe");
    return KXBase_CheckFolderWritable(folder_.c_str(), probe.c_str()) == 0;
}

bool BoundFolder::HoldsOnlyOwnFiles() const {
    std::vector<KXFolderEntry> entries;
    if (KXBase_ListFolder(folder_.c_str(), &entries) != 0) return false;
    return std::all_of(entries.begin(), entries.end(), [](const KXFolderEntry& entry) {
        return entry.plainFile && IsOwnName(entry.name);
    });
}

bool BoundFolder::Clear() const {
    return DeleteOwnFilesBut({});
}

bool BoundFolder::Rewrite(const PictureWalk& walk) const {
    if (KXBase_CreateDir(folder_.c_str()) != 0) return false;
    std::set<std::string> written;
    bool complete = true;
    bool walked =
        walk([&](int64_t index, const std::string& format, std::span<const uint8_t> image) {
            std::string path =
                index < 0 ? std::string() : NumberedFileName(static_cast<size_t>(index), format);
            if (!WriteImageFile(image.data(), image.size(), path)) complete = false;
            if (!path.empty()) written.insert(path.substr(folder_.size()));
        });
    // Files of the old contents go only once the new ones are all in place.
    return complete && walked && DeleteOwnFilesBut(written);
}

bool BoundFolder::DeleteOwnFilesBut(const std::set<std::string>& kept) const {
    std::vector<std::string> names;
    if (KXBase_ListFiles(folder_.c_str(), &names) != 0) return false;
    bool deleted = true;
    for (const std::string& name : names) {
        if (IsOwnName(name) && kept.count(name) == 0 &&
            KXBase_DeleteFile((folder_ + name).c_str()) != 0) {
            deleted = false;
        }
    }
    return deleted;
}

bool BoundFolder::Insert(const std::vector<ImageEntry>& entries, size_t pos,
                         const std::vector<uint8_t>& bytes, const std::string& format) const {
    // Descending, so every target name has just been freed.
    for (size_t i = entries.size(); i > pos; --i) {
        if (!Move(i - 1, i, entries[i - 1].format)) return false;
    }
    return WriteImageFile(bytes.data(), bytes.size(), NumberedFileName(pos, format));
}

bool BoundFolder::Modify(const std::vector<ImageEntry>& entries, size_t index,
                         const std::vector<uint8_t>& bytes, const std::string& format) const {
    // The new file is complete before the old one goes; with the same
    // format it replaces the old one in one step.
    if (!WriteImageFile(bytes.data(), bytes.size(), NumberedFileName(index, format))) return false;
    return entries[index].format == format || DeleteFile(index, entries[index].format);
}

bool BoundFolder::Delete(const std::vector<ImageEntry>& entries,
                         const std::vector<int32_t>& indexes) const {
    std::set<size_t> deleted(indexes.begin(), indexes.end());
    for (size_t index : deleted) {
        if (!DeleteFile(index, entries[index].format)) return false;
    }
    size_t gaps = 0;
    for (size_t j = 0; j < entries.size(); ++j) {
        if (deleted.count(j) != 0) {
            ++gaps;
        } else if (gaps > 0 && !Move(j, j - gaps, entries[j].format)) {
            return false;
        }
    }
    return true;
}

bool BoundFolder::Exchange(const std::vector<ImageEntry>& entries, size_t index1,
                           size_t index2) const {
    const std::string& format1 = entries[index1].format;
    const std::string& format2 = entries[index2].format;
    std::string swap = FreeName(std::string(kStagingPrefix) + "swap");
    return KXBase_MoveFile(NumberedFileName(index1, format1).c_str(), swap.c_str()) == 0 &&
           Move(index2, index1, format2) &&
           KXBase_MoveFile(swap.c_str(), NumberedFileName(index2, format1).c_str()) == 0;
}

bool BoundFolder::Remove(const std::vector<ImageEntry>& entries) const {
    bool removed = true;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!DeleteFile(i, entries[i].format)) removed = false;
    }
    return removed;
}

bool BoundFolder::Reorder(const std::vector<ImageEntry>& before,
                          const std::vector<ImageEntry>& after) const {
    std::unordered_map<int32_t, size_t> newPosition;
    for (size_t i = 0; i < after.size(); ++i)
        newPosition[after[i].id] = i;
    // Files that change place are first moved aside, then to their new names,
    // so no rename ever meets a name still in use.
    std::string stem = FreeName(std::string(kStagingPrefix) + "reorder");
    std::vector<std::pair<std::string, std::string>> staged;
    for (size_t i = 0; i < before.size(); ++i) {
        auto found = newPosition.find(before[i].id);
        if (found == newPosition.end()) return false;
        if (found->second == i) continue;
        std::string aside = stem + "-" + std::to_string(i);
        if (KXBase_MoveFile(NumberedFileName(i, before[i].format).c_str(), aside.c_str()) != 0)
            return false;
        staged.emplace_back(aside, NumberedFileName(found->second, before[i].format));
    }
    for (const auto& [aside, target] : staged) {
        if (KXBase_MoveFile(aside.c_str(), target.c_str()) != 0) return false;
    }
    return true;
}

bool BoundFolder::WriteImageFile(const uint8_t* bytes, size_t size, const std::string& path) {
    // Flushed before the rename: the program that picks pages up from the
    // folder must never find a name whose contents a power cut lost.
    return !path.empty() && KXBase_ReplaceFile(path.c_str(), bytes, size, KX_REPLACE_DURABLE) == 0;
}

bool BoundFolder::Move(size_t from, size_t to, const std::string& format) const {
    return KXBase_MoveFile(NumberedFileName(from, format).c_str(),
                           NumberedFileName(to, format).c_str()) == 0;
}

bool BoundFolder::DeleteFile(size_t index, const std::string& format) const {
    return KXBase_DeleteFile(NumberedFileName(index, format).c_str()) == 0;
}

std::string BoundFolder::FreeName(const std::string& stem) const {
    std::string name = folder_ + stem;
    while (KXBase_PathExists(name.c_str())) {
        char uuid[64] = {};
        KXBase_GetUuid(uuid, sizeof uuid);
        name = folder_ + stem + "-" + std::string(uuid, 8);
    }
    return name;
}

}  // namespace ver_2

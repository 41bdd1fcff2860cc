// The mirror of the current batch in a bound folder: one file per image,
// named by its number (base + index, zero-padded to at least width digits)
// with the image's format as extension, e.g. "0001.jpg". The operations
// bring the files from the order before a change (the entries given) to the
// order after it, by renames that never replace a file and by writes that
// appear complete or not at all (written under another name, then moved).
//
// Each operation returns false when a file could not be written, renamed or
// deleted; the folder may then differ from the batch, and the caller writes
// it again as a whole (Rewrite).
//
// The folder may hold files of other programs: the binding only ever deletes
// names of its own (IsOwnName), so a file it did not write is never lost.
// Staging files are hidden names starting with ".scanbridge-" and the
// siblings that whole-file replacement writes ("0001.jpg.Ab12Cd").
//
// Thread rule: the service thread, inside batch-store operations. The object
// is a value that names the folder; it owns no handle.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ver_2/batch_records.h"
#include "ver_2/batch_tables.h"

namespace ver_2 {

class BoundFolder {
  public:
    // folder ends with "/"; width >= 1, base >= 0.
    BoundFolder(std::string folder, int32_t width, int32_t base);

    // The longest width whose file names a file system accepts.
    static constexpr int32_t kMaxWidth = 240;

    std::string NumberedFileName(size_t index, const std::string& format) const;

    // True for a name the binding writes: a numbered image file, or one of
    // its staging files. Anything else in a folder belongs to someone else.
    static bool IsOwnName(std::string_view name);

    // Creates the folder when missing; true when a file can be made in it.
    // The probe leaves no name behind, even when the process dies midway.
    bool Writable() const;
    // True when every entry of the folder is a plain file of an own name:
    // no other file, no subfolder, no link (hidden entries count too).
    bool HoldsOnlyOwnFiles() const;
    // Deletes the files of own names; every other entry stays.
    bool Clear() const;
    // Writes every image of the batch under its number, then deletes the
    // other files of own names. A file that cannot be written keeps its old
    // contents, and then nothing is deleted.
    // walk visits every picture of the batch with its position; it returns
    // false when it could not visit them all.
    using PictureWalk = std::function<bool(const PictureVisit&)>;
    bool Rewrite(const PictureWalk& walk) const;

    // The hooks of the changes, each given the entries before the change.
    bool Insert(const std::vector<ImageEntry>& entries, size_t pos,
                const std::vector<uint8_t>& bytes, const std::string& format) const;
    bool Modify(const std::vector<ImageEntry>& entries, size_t index,
                const std::vector<uint8_t>& bytes, const std::string& format) const;
    bool Delete(const std::vector<ImageEntry>& entries, const std::vector<int32_t>& indexes) const;
    bool Exchange(const std::vector<ImageEntry>& entries, size_t index1, size_t index2) const;
    bool Remove(const std::vector<ImageEntry>& entries) const;
    // The same images in a new order: files are renamed, never rewritten.
    bool Reorder(const std::vector<ImageEntry>& before, const std::vector<ImageEntry>& after) const;

  private:
    static bool WriteImageFile(const uint8_t* bytes, size_t size, const std::string& path);
    bool Move(size_t from, size_t to, const std::string& format) const;
    bool DeleteFile(size_t index, const std::string& format) const;
    // Deletes the files of own names not in kept (names, not paths).
    bool DeleteOwnFilesBut(const std::set<std::string>& kept) const;
    // A name in the folder at which nothing exists, for staging files.
    std::string FreeName(const std::string& stem) const;

    std::string folder_;
    int32_t width_;
    int32_t base_;
};

}  // namespace ver_2

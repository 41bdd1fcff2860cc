// ManagerV2 image list editing: inserting, replacing, retagging, deleting
// and clearing the images of the current batch. Inputs are checked before
// anything is written; each change is one transaction that keeps the order
// rows dense (idx 0 .. n-1), and the bound folder follows after the commit.
#include <algorithm>
#include <set>

#include "platform/base/service_thread.h"
#include "ver_2/batch_tables.h"
#include "ver_2/bound_folder.h"
#include "ver_2/image_conversions.h"
#include "ver_2/manager_v2.h"
#include "ver_2/sqlite_helpers.h"
#include "ver_2/texts.h"
#include "ver_2/thumbnails.h"

namespace ver_2 {

namespace {

bool InRange(int32_t index, size_t count) {
    return index >= 0 && static_cast<size_t>(index) < count;
}

bool AllInRange(const std::vector<int32_t>& indexes, size_t count) {
    return std::all_of(indexes.begin(), indexes.end(),
                       [count](int32_t index) { return InRange(index, count); });
}

std::vector<int32_t> IdsOf(const std::vector<ImageEntry>& entries) {
    std::vector<int32_t> ids;
    ids.reserve(entries.size());
    for (const ImageEntry& entry : entries)
        ids.push_back(entry.id);
    return ids;
}

// A local image file with its thumbnail; empty bytes when either is missing.
NewPicture PictureOfFile(const std::string& path) {
    NewPicture picture;
    picture.bytes = ReadImageFile(path, picture.format);
    if (!picture.bytes.empty()) picture.thumb = MakeThumbnail(path);
    if (picture.thumb.empty()) picture.bytes.clear();
    return picture;
}

// A data URL's picture with its thumbnail; empty bytes when the text is not
// a data URL of a picture that decodes. The stored format is that of the
// content, so a picture under the prefix of another format is stored as
// what it is.
NewPicture PictureOfDataUrl(const std::string& dataUrl) {
    NewPicture picture;
    std::string prefixFormat;
    picture.bytes = DataUrlToBytes(dataUrl, prefixFormat);
    if (!picture.bytes.empty()) picture.thumb = BytesToThumbnail(picture.bytes, picture.format);
    if (picture.thumb.empty()) picture.bytes.clear();
    return picture;
}

}  // namespace

int ManagerV2::InsertLocalImage(const std::string& path, int32_t position, const std::string& tag,
                                std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (db_ == nullptr || path.empty() || position < -1) return -1;
    NewPicture picture = PictureOfFile(path);
    if (picture.bytes.empty()) return -1;
    return InsertPicture(picture, position, tag, errorText);
}

int ManagerV2::InsertImage(const std::string& dataUrl, int32_t position, const std::string& tag,
                           std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (db_ == nullptr || dataUrl.empty() || position < -1) return -1;
    NewPicture picture = PictureOfDataUrl(dataUrl);
    if (picture.bytes.empty()) return -1;
    return InsertPicture(picture, position, tag, errorText);
}

int ManagerV2::InsertPicture(const NewPicture& picture, int32_t position, const std::string& tag,
                             std::string& errorText) {
    std::vector<ImageEntry> entries = GetImageEntries();
    size_t count = entries.size();
    if (position > static_cast<int64_t>(count)) return -1;
    size_t pos = position == -1 ? count : static_cast<size_t>(position);
    if (!BoundFolderReady()) return -1;
    BatchTables tables(currBatchId_);
    SqlTransaction transaction(db_);
    int32_t id = 0;
    if (!transaction.begun() ||
        !InsertImageRow(db_, tables, picture.format, tag, picture.bytes, picture.thumb, &id)) {
        return -1;
    }
    std::vector<int32_t> ids = IdsOf(entries);
    ids.insert(ids.begin() + static_cast<std::ptrdiff_t>(pos), id);
    if (!RewriteOrderFrom(db_, tables, ids, pos) || !transaction.Commit()) return -1;
    if (!MirrorChange([&](const BoundFolder& folder) {
            return folder.Insert(entries, pos, picture.bytes, picture.format);
        }))
        return -1;
    errorText.clear();
    return 0;
}

int ManagerV2::ModifyImageTag(const std::vector<int32_t>& indexes,
                              const std::vector<std::string>& tags, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (db_ == nullptr || indexes.empty() || tags.empty() || indexes.size() != tags.size())
        return -1;
    std::vector<ImageEntry> entries = GetImageEntries();
    if (!AllInRange(indexes, entries.size())) return -1;
    SqlTransaction transaction(db_);
    SqlStatement update(db_,
                        "update " + BatchTables(currBatchId_).images + " set tag = ? where id = ?");
    if (!transaction.begun()) return -1;
    for (size_t k = 0; k < indexes.size(); ++k) {
        update.Reset();
        if (!update.BindText(1, tags[k]) || !update.BindInt(2, entries[indexes[k]].id) ||
            !update.Run()) {
            return -1;
        }
    }
    if (!transaction.Commit()) return -1;
    errorText.clear();
    return 0;
}

int ManagerV2::DeleteImage(const std::vector<int32_t>& indexes, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (db_ == nullptr || indexes.empty()) return -1;
    std::vector<ImageEntry> entries = GetImageEntries();
    if (!AllInRange(indexes, entries.size()) || !BoundFolderReady()) return -1;
    std::set<int32_t> deleted(indexes.begin(), indexes.end());
    std::vector<int32_t> kept;
    for (size_t k = 0; k < entries.size(); ++k) {
        if (deleted.count(static_cast<int32_t>(k)) == 0) kept.push_back(entries[k].id);
    }
    BatchTables tables(currBatchId_);
    SqlTransaction transaction(db_);
    if (!transaction.begun()) return -1;
    for (int32_t index : deleted) {
        if (!DeleteImageRow(db_, tables, entries[index].id)) return -1;
    }
    // Positions before the first deleted one keep their rows.
    if (!RewriteOrderFrom(db_, tables, kept, static_cast<size_t>(*deleted.begin())) ||
        !transaction.Commit()) {
        return -1;
    }
    if (!MirrorChange([&](const BoundFolder& folder) { return folder.Delete(entries, indexes); }))
        return -1;
    errorText.clear();
    return 0;
}

int ManagerV2::ClearImageList(std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (db_ == nullptr || !BoundFolderReady()) return -1;
    std::vector<ImageEntry> entries = GetImageEntries();
    BatchTables tables(currBatchId_);
    SqlTransaction transaction(db_);
    if (!transaction.begun() || !ExecSql(db_, ("delete from " + tables.images).c_str()) ||
        !ExecSql(db_, ("delete from " + tables.order).c_str()) || !transaction.Commit()) {
        return -1;
    }
    if (!MirrorChange([&](const BoundFolder& folder) { return folder.Remove(entries); })) return -1;
    errorText.clear();
    return 0;
}

int ManagerV2::ModifyImage(int32_t index, const std::string& dataUrl, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (db_ == nullptr || index < 0 || dataUrl.empty()) return -1;
    NewPicture picture = PictureOfDataUrl(dataUrl);
    if (picture.bytes.empty()) return -1;
    return ReplacePicture(index, picture, errorText);
}

int ManagerV2::ModifyImageByLocal(int32_t index, const std::string& path, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (db_ == nullptr || index < 0 || path.empty()) return -1;
    NewPicture picture = PictureOfFile(path);
    if (picture.bytes.empty()) return -1;
    return ReplacePicture(index, picture, errorText);
}

int ManagerV2::ReplacePicture(int32_t index, const NewPicture& picture, std::string& errorText) {
    std::vector<ImageEntry> entries = GetImageEntries();
    if (!InRange(index, entries.size()) || !BoundFolderReady()) return -1;
    SqlTransaction transaction(db_);
    if (!transaction.begun() ||
        !UpdateImageRow(db_, BatchTables(currBatchId_), entries[index].id, picture.format,
                        picture.bytes, picture.thumb) ||
        !transaction.Commit()) {
        return -1;
    }
    if (!MirrorChange([&](const BoundFolder& folder) {
            return folder.Modify(entries, static_cast<size_t>(index), picture.bytes,
                                 picture.format);
        }))
        return -1;
    errorText.clear();
    return 0;
}

}  // namespace ver_2

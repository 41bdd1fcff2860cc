// Batch store image list editing: inserting, replacing, retagging, deleting
// and clearing the images of the current batch. Inputs are checked before
// anything is written; each change is one transaction that keeps the order
// rows dense (idx 0 .. n-1), and the bound folder follows after the commit.
#include <algorithm>
#include <set>

#include "platform/base/service_thread.h"
#include "ver_2/batch_store.h"
#include "ver_2/batch_tables.h"
#include "ver_2/bound_folder.h"
#include "ver_2/error_info.h"
#include "ver_2/image_conversions.h"
#include "ver_2/sqlite_helpers.h"
#include "ver_2/thumbnails.h"

namespace ver_2 {

namespace {

int CheckPosition(int32_t position, size_t count, ErrorInfo& error) {
    if (position >= -1 && position <= static_cast<int64_t>(count)) return 0;
    return Refuse(error, OutsideRange("insert_pos", position, -1, static_cast<long long>(count)));
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

int BatchStore::InsertLocalImage(const std::string& path, int32_t position, const std::string& tag,
                                 ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    if (path.empty()) return Refuse(error, "image_path is missing or empty");
    if (CheckPosition(position, GetImageEntries().size(), error) != 0) return -1;
    NewPicture picture = PictureOfFile(path);
    if (picture.bytes.empty()) return RefuseImageFile(error, path);
    return InsertPicture(picture, position, tag, error);
}

int BatchStore::InsertImage(const std::string& dataUrl, int32_t position, const std::string& tag,
                            ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    if (dataUrl.empty()) return Refuse(error, "image_base64 is missing or empty");
    if (CheckPosition(position, GetImageEntries().size(), error) != 0) return -1;
    NewPicture picture = PictureOfDataUrl(dataUrl);
    if (picture.bytes.empty()) return RefuseDataUrl(error, dataUrl, kUndecodablePicture);
    return InsertPicture(picture, position, tag, error);
}

int BatchStore::InsertPicture(const NewPicture& picture, int32_t position, const std::string& tag,
                              ErrorInfo& error) {
    std::vector<ImageEntry> entries = GetImageEntries();
    size_t count = entries.size();
    if (CheckPosition(position, count, error) != 0) return -1;
    size_t pos = position == -1 ? count : static_cast<size_t>(position);
    if (CheckBoundFolder(error) != 0) return -1;
    BatchTables tables(currBatchId_);
    SqlTransaction transaction(db_);
    int32_t id = 0;
    if (!transaction.begun() ||
        !InsertImageRow(db_, tables, picture.format, tag, picture.bytes, picture.thumb, &id)) {
        return Refuse(error, SqlFailure(db_));
    }
    std::vector<int32_t> ids = IdsOf(entries);
    ids.insert(ids.begin() + static_cast<std::ptrdiff_t>(pos), id);
    if (!RewriteOrderFrom(db_, tables, ids, pos) || !transaction.Commit()) {
        return Refuse(error, SqlFailure(db_));
    }
    return MirrorChange(
        [&](const BoundFolder& folder) {
            return folder.Insert(entries, pos, picture.bytes, picture.format);
        },
        error);
}

int BatchStore::ModifyImageTag(const std::vector<int32_t>& indexes,
                               const std::vector<std::string>& tags, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    std::vector<ImageEntry> entries = GetImageEntries();
    if (CheckImageIndexList(indexes, entries.size(), error) != 0) return -1;
    if (tags.size() != indexes.size()) {
        return Refuse(error, "image_tag_list has " + std::to_string(tags.size()) +
                                 " strings, image_index_list " + std::to_string(indexes.size()) +
                                 " entries");
    }
    SqlTransaction transaction(db_);
    SqlStatement update(db_,
                        "update " + BatchTables(currBatchId_).images + " set tag = ? where id = ?");
    if (!transaction.begun()) return Refuse(error, SqlFailure(db_));
    for (size_t k = 0; k < indexes.size(); ++k) {
        update.Reset();
        if (!update.BindText(1, tags[k]) || !update.BindInt(2, entries[indexes[k]].id) ||
            !update.Run()) {
            return Refuse(error, SqlFailure(db_));
        }
    }
    if (!transaction.Commit()) return Refuse(error, SqlFailure(db_));
    return 0;
}

int BatchStore::DeleteImage(const std::vector<int32_t>& indexes, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    std::vector<ImageEntry> entries = GetImageEntries();
    if (CheckImageIndexList(indexes, entries.size(), error) != 0) return -1;
    if (CheckBoundFolder(error) != 0) return -1;
    std::set<int32_t> deleted(indexes.begin(), indexes.end());
    std::vector<int32_t> kept;
    for (size_t k = 0; k < entries.size(); ++k) {
        if (deleted.count(static_cast<int32_t>(k)) == 0) kept.push_back(entries[k].id);
    }
    BatchTables tables(currBatchId_);
    SqlTransaction transaction(db_);
    if (!transaction.begun()) return Refuse(error, SqlFailure(db_));
    for (int32_t index : deleted) {
        if (!DeleteImageRow(db_, tables, entries[index].id)) return Refuse(error, SqlFailure(db_));
    }
    // Positions before the first deleted one keep their rows.
    if (!RewriteOrderFrom(db_, tables, kept, static_cast<size_t>(*deleted.begin())) ||
        !transaction.Commit()) {
        return Refuse(error, SqlFailure(db_));
    }
    return MirrorChange([&](const BoundFolder& folder) { return folder.Delete(entries, indexes); },
                        error);
}

int BatchStore::ClearImageList(ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    if (CheckBoundFolder(error) != 0) return -1;
    std::vector<ImageEntry> entries = GetImageEntries();
    BatchTables tables(currBatchId_);
    SqlTransaction transaction(db_);
    if (!transaction.begun() || !ExecSql(db_, ("delete from " + tables.images).c_str()) ||
        !ExecSql(db_, ("delete from " + tables.order).c_str()) || !transaction.Commit()) {
        return Refuse(error, SqlFailure(db_));
    }
    return MirrorChange([&](const BoundFolder& folder) { return folder.Remove(entries); }, error);
}

int BatchStore::ModifyImage(int32_t index, const std::string& dataUrl, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    if (CheckImageIndex("image_index", index, GetImageEntries().size(), error) != 0) return -1;
    if (dataUrl.empty()) return Refuse(error, "image_base64 is missing or empty");
    NewPicture picture = PictureOfDataUrl(dataUrl);
    if (picture.bytes.empty()) return RefuseDataUrl(error, dataUrl, kUndecodablePicture);
    return ReplacePicture(index, picture, error);
}

int BatchStore::ModifyImageByLocal(int32_t index, const std::string& path, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    if (CheckImageIndex("image_index", index, GetImageEntries().size(), error) != 0) return -1;
    if (path.empty()) return Refuse(error, "image_path is missing or empty");
    NewPicture picture = PictureOfFile(path);
    if (picture.bytes.empty()) return RefuseImageFile(error, path);
    return ReplacePicture(index, picture, error);
}

int BatchStore::ReplacePicture(int32_t index, const NewPicture& picture, ErrorInfo& error) {
    std::vector<ImageEntry> entries = GetImageEntries();
    if (CheckImageIndex("image_index", index, entries.size(), error) != 0) return -1;
    if (CheckBoundFolder(error) != 0) return -1;
    SqlTransaction transaction(db_);
    if (!transaction.begun() ||
        !UpdateImageRow(db_, BatchTables(currBatchId_), entries[index].id, picture.format,
                        picture.bytes, picture.thumb) ||
        !transaction.Commit()) {
        return Refuse(error, SqlFailure(db_));
    }
    return MirrorChange(
        [&](const BoundFolder& folder) {
            return folder.Modify(entries, static_cast<size_t>(index), picture.bytes,
                                 picture.format);
        },
        error);
}

}  // namespace ver_2

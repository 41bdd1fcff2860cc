// Batch store: the registry of batches, the current batch, and
// reading the current batch's images (entries, thumbnails, count, pictures).
// Changes of the registry are one transaction each; `currBatchId` and the
// bound folder follow only after the commit.
#include <algorithm>

#include "platform/base/service_thread.h"
#include "platform/image/image_formats.h"
#include "ver_2/batch_store.h"
#include "ver_2/batch_tables.h"
#include "ver_2/error_info.h"
#include "ver_2/image_conversions.h"
#include "ver_2/sqlite_helpers.h"

namespace ver_2 {

namespace {

// The data URL of stored bytes; a format that is none of the six gets no
// prefix.
std::string StoredDataUrl(const std::string& format, const uint8_t* bytes, size_t size) {
    std::string base64;
    BytesToBase64(bytes, size, base64);
    const ImageFormatName* stored = FindImageFormatByExtension(format);
    if (stored == nullptr) return base64;
    return stored->dataUrlPrefix + base64;
}

bool RenameTable(sqlite3* db, const std::string& from, const std::string& to) {
    return ExecSql(db, ("alter table " + from + " rename to " + to).c_str());
}

}  // namespace

int BatchStore::GetBatchIdList(std::vector<std::string>& names, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    names.clear();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    SqlStatement select(db_, "select name from table_ order by id asc");
    while (select.Step())
        names.push_back(select.ColumnText(0));
    return 0;
}

int BatchStore::CheckBatchExists(const std::string& name, ErrorInfo& error) {
    std::vector<std::string> names;
    if (GetBatchIdList(names, error) != 0) return -1;
    if (std::find(names.begin(), names.end(), name) != names.end()) return 0;
    return Refuse(error, "no batch named \"" + name + "\"");
}

int BatchStore::OpenBatch(const std::string& name, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (name.empty()) return Refuse(error, kEmptyBatchId);
    if (CheckBatchExists(name, error) != 0) return -1;
    if (name != currBatchId_) {
        if (CheckBoundFolder(error) != 0) return -1;
        currBatchId_ = name;
        if (MirrorWholeBatch(error) != 0) return -1;
    }
    return 0;
}

int BatchStore::NewBatch(const std::string& name, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (name.empty()) return Refuse(error, kEmptyBatchId);
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    if (CheckBatchExists(name, error) == 0) {
        return Refuse(error, "a batch named \"" + name + "\" exists already");
    }
    if (CheckBoundFolder(error) != 0) return -1;
    SqlTransaction transaction(db_);
    SqlStatement insert(db_, "insert into table_ (name) values (?)");
    if (!transaction.begun() || !CreateBatchTables(db_, BatchTables(name)) ||
        !insert.BindText(1, name) || !insert.Run() || !transaction.Commit()) {
        return Refuse(error, SqlFailure(db_));
    }
    currBatchId_ = name;
    if (MirrorWholeBatch(error) != 0) return -1;
    return 0;
}

int BatchStore::DeleteBatch(const std::string& name, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (name.empty()) return Refuse(error, kEmptyBatchId);
    if (name == currBatchId_) {
        return Refuse(error, "batch \"" + name + "\" is the current batch; open another first");
    }
    if (CheckBatchExists(name, error) != 0) return -1;
    BatchTables tables(name);
    SqlTransaction transaction(db_);
    SqlStatement remove(db_, "delete from table_ where name = ?");
    // Only a registered batch is deleted: a name that merely matches tables
    // of another kind changes nothing.
    if (!transaction.begun() || !ExecSql(db_, ("drop table " + tables.order).c_str()) ||
        !ExecSql(db_, ("drop table " + tables.images).c_str()) || !remove.BindText(1, name) ||
        !remove.Run() || sqlite3_changes(db_) == 0 || !transaction.Commit()) {
        return Refuse(error, SqlFailure(db_));
    }
    return 0;
}

int BatchStore::GetCurrBatchId(std::string& name, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    name.clear();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    name = currBatchId_;
    return 0;
}

int BatchStore::ModifyBatchId(const std::string& oldName, const std::string& newName,
                              ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (oldName.empty()) return Refuse(error, kEmptyBatchId);
    if (newName.empty()) return Refuse(error, "new_batch_id is missing or empty");
    if (CheckBatchExists(oldName, error) != 0) return -1;
    if (CheckBatchExists(newName, error) == 0) {
        return Refuse(error, "a batch named \"" + newName + "\" exists already");
    }
    BatchTables from(oldName);
    BatchTables to(newName);
    SqlTransaction transaction(db_);
    SqlStatement update(db_, "update table_ set name = ? where name = ?");
    if (!transaction.begun() || !RenameTable(db_, from.images, to.images) ||
        !RenameTable(db_, from.order, to.order) || !update.BindText(1, newName) ||
        !update.BindText(2, oldName) || !update.Run() || sqlite3_changes(db_) == 0 ||
        !transaction.Commit()) {
        return Refuse(error, SqlFailure(db_));
    }
    if (oldName == currBatchId_) currBatchId_ = newName;
    return 0;
}

int BatchStore::ReadPictureAt(int32_t index, StoredPicture& picture, ErrorInfo& error) {
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    int32_t id = GetImageId(index);
    if (id < 0) {
        return Refuse(error, NoImageAt("image_index", index, GetImageEntries().size()));
    }
    if (!ReadPicture(db_, BatchTables(currBatchId_), id, picture)) {
        return Refuse(error, SqlFailure(db_));
    }
    return 0;
}

std::vector<ImageEntry> BatchStore::GetImageEntries() {
    SB_ASSERT_SERVICE_THREAD();
    return ReadImageEntries(db_, BatchTables(currBatchId_));
}

int32_t BatchStore::GetImageId(int32_t index) {
    SB_ASSERT_SERVICE_THREAD();
    if (index < 0) return -1;
    return ReadImageId(db_, BatchTables(currBatchId_), index);
}

int BatchStore::GetImageThumbnailList(std::vector<ThumbnailItem>& items, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    items.clear();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    BatchTables tables(currBatchId_);
    SqlStatement select(db_, "select i.format, i.tag, i.thumb from " + tables.images +
                                 " as i join " + tables.order +
                                 " as o on i.id = o.id order by o.idx asc");
    while (select.Step()) {
        std::span<const uint8_t> thumb = select.ColumnBlob(2);
        items.push_back({select.ColumnText(1),
                         StoredDataUrl(select.ColumnText(0), thumb.data(), thumb.size())});
    }
    return 0;
}

int BatchStore::GetImageCount(int32_t& count, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    count = 0;
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    int64_t rows = CountImages(db_, BatchTables(currBatchId_));
    count = static_cast<int32_t>(std::clamp<int64_t>(rows, 0, INT32_MAX));
    return 0;
}

int BatchStore::LoadImage(int32_t index, std::string& tag, std::string& dataUrl, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    tag.clear();
    dataUrl.clear();
    StoredPicture picture;
    if (ReadPictureAt(index, picture, error) != 0) return -1;
    dataUrl = StoredDataUrl(picture.format, picture.bytes.data(), picture.bytes.size());
    tag = std::move(picture.tag);
    return 0;
}

}  // namespace ver_2

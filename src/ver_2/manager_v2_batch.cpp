// ManagerV2 batch store: the registry of batches, the current batch, and
// reading the current batch's images (entries, thumbnails, count, pictures).
// Changes of the registry are one transaction each; `currBatchId` and the
// bound folder follow only after the commit.
#include <algorithm>
#include <array>

#include "platform/base/service_thread.h"
#include "ver_2/batch_tables.h"
#include "ver_2/image_conversions.h"
#include "ver_2/manager_v2.h"
#include "ver_2/sqlite_helpers.h"
#include "ver_2/texts.h"

namespace ver_2 {

namespace {

struct StoredFormat {
    const char* name;
    const char* prefix;
};

constexpr std::array<StoredFormat, 6> kStoredFormats = {{
    {"jpg", "data:image/jpeg;base64,"},
    {"bmp", "data:image/bmp;base64,"},
    {"png", "data:image/png;base64,"},
    {"tif", "data:image/tiff;base64,"},
    {"pdf", "data:image/pdf;base64,"},
    {"ofd", "data:image/ofd;base64,"},
}};

const StoredFormat* FindStoredFormat(const std::string& format) {
    for (const StoredFormat& stored : kStoredFormats) {
        if (format == stored.name) return &stored;
    }
    return nullptr;
}

// The data URL of stored bytes; a format that is none of the six gets no
// prefix.
std::string StoredDataUrl(const std::string& format, const uint8_t* bytes, size_t size) {
    std::string base64;
    BytesToBase64(bytes, size, base64);
    const StoredFormat* stored = FindStoredFormat(format);
    if (stored == nullptr) return base64;
    return stored->prefix + base64;
}

bool RenameTable(sqlite3* db, const std::string& from, const std::string& to) {
    return ExecSql(db, ("alter table " + from + " rename to " + to).c_str());
}

}  // namespace

int ManagerV2::GetBatchIdList(std::vector<std::string>& names, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    names.clear();
    if (db_ == nullptr) return -1;
    SqlStatement select(db_, "select name from table_ order by id asc");
    while (select.Step())
        names.push_back(select.ColumnText(0));
    errorText.clear();
    return 0;
}

int ManagerV2::OpenBatch(const std::string& name, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    std::vector<std::string> names;
    if (name.empty() || GetBatchIdList(names, errorText) != 0) return -1;
    errorText = kErrorText;
    if (std::find(names.begin(), names.end(), name) == names.end()) return -1;
    if (name != currBatchId_) {
        if (!BoundFolderReady()) return -1;
        currBatchId_ = name;
        if (!MirrorWholeBatch()) return -1;
    }
    errorText.clear();
    return 0;
}

int ManagerV2::NewBatch(const std::string& name, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (name.empty() || db_ == nullptr || !BoundFolderReady()) return -1;
    SqlTransaction transaction(db_);
    SqlStatement insert(db_, "insert into table_ (name) values (?)");
    if (!transaction.begun() || !CreateBatchTables(db_, BatchTables(name)) ||
        !insert.BindText(1, name) || !insert.Run() || !transaction.Commit()) {
        return -1;
    }
    currBatchId_ = name;
    if (!MirrorWholeBatch()) return -1;
    errorText.clear();
    return 0;
}

int ManagerV2::DeleteBatch(const std::string& name, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (name.empty() || name == currBatchId_ || db_ == nullptr) return -1;
    BatchTables tables(name);
    SqlTransaction transaction(db_);
    SqlStatement remove(db_, "delete from table_ where name = ?");
    // Only a registered batch is deleted: a name that merely matches tables
    // of another kind changes nothing.
    if (!transaction.begun() || !ExecSql(db_, ("drop table " + tables.order).c_str()) ||
        !ExecSql(db_, ("drop table " + tables.images).c_str()) || !remove.BindText(1, name) ||
        !remove.Run() || sqlite3_changes(db_) == 0 || !transaction.Commit()) {
        return -1;
    }
    errorText.clear();
    return 0;
}

int ManagerV2::GetCurrBatchId(std::string& name, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    name.clear();
    if (db_ == nullptr) return -1;
    name = currBatchId_;
    errorText.clear();
    return 0;
}

int ManagerV2::ModifyBatchId(const std::string& oldName, const std::string& newName,
                             std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (oldName.empty() || newName.empty() || db_ == nullptr) return -1;
    BatchTables from(oldName);
    BatchTables to(newName);
    SqlTransaction transaction(db_);
    SqlStatement update(db_, "update table_ set name = ? where name = ?");
    if (!transaction.begun() || !RenameTable(db_, from.images, to.images) ||
        !RenameTable(db_, from.order, to.order) || !update.BindText(1, newName) ||
        !update.BindText(2, oldName) || !update.Run() || sqlite3_changes(db_) == 0 ||
        !transaction.Commit()) {
        return -1;
    }
    if (oldName == currBatchId_) currBatchId_ = newName;
    errorText.clear();
    return 0;
}

std::vector<ImageEntry> ManagerV2::GetImageEntries() {
    SB_ASSERT_SERVICE_THREAD();
    return ReadImageEntries(db_, BatchTables(currBatchId_));
}

int32_t ManagerV2::GetImageId(int32_t index) {
    SB_ASSERT_SERVICE_THREAD();
    if (index < 0) return -1;
    return ReadImageId(db_, BatchTables(currBatchId_), index);
}

int ManagerV2::GetImageThumbnailList(std::vector<ThumbnailItem>& items, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    items.clear();
    if (db_ == nullptr) return -1;
    BatchTables tables(currBatchId_);
    SqlStatement select(db_, "select i.format, i.tag, i.thumb from " + tables.images +
                                 " as i join " + tables.order +
                                 " as o on i.id = o.id order by o.idx asc");
    while (select.Step()) {
        std::span<const uint8_t> thumb = select.ColumnBlob(2);
        items.push_back({select.ColumnText(1),
                         StoredDataUrl(select.ColumnText(0), thumb.data(), thumb.size())});
    }
    errorText.clear();
    return 0;
}

int ManagerV2::GetImageCount(int32_t& count, std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    count = 0;
    if (db_ == nullptr) return -1;
    int64_t rows = CountImages(db_, BatchTables(currBatchId_));
    count = static_cast<int32_t>(std::clamp<int64_t>(rows, 0, INT32_MAX));
    errorText.clear();
    return 0;
}

int ManagerV2::LoadImage(int32_t index, std::string& tag, std::string& dataUrl,
                         std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    tag.clear();
    dataUrl.clear();
    if (db_ == nullptr) return -1;
    int32_t id = GetImageId(index);
    StoredPicture picture;
    if (id < 0 || !ReadPicture(db_, BatchTables(currBatchId_), id, picture)) return -1;
    dataUrl = StoredDataUrl(picture.format, picture.bytes.data(), picture.bytes.size());
    tag = std::move(picture.tag);
    errorText.clear();
    return 0;
}

int ManagerV2::SaveImage(int32_t index, bool toTemporary, std::string& path,
                         std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    path.clear();
    if (db_ == nullptr) return -1;
    int32_t id = GetImageId(index);
    StoredPicture picture;
    if (id < 0 || !ReadPicture(db_, BatchTables(currBatchId_), id, picture)) return -1;
    // The format becomes the file's extension: only the six known names do.
    if (FindStoredFormat(picture.format) == nullptr) return -1;
    std::string name = MakeFileName(toTemporary, picture.format);
    if (!WriteBytesToFile(picture.bytes.data(), picture.bytes.size(), name)) return -1;
    path = std::move(name);
    if (!toTemporary) AddSaveFilename(path);
    errorText.clear();
    return 0;
}

}  // namespace ver_2

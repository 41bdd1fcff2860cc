// ManagerV2 database: opening "newConfig2.db" and setting up a new one, the
// current batch at start, the saved-file list and the stored scanner options.
// Every value is a bound parameter; every change of several rows is one
// transaction, so a crash leaves either the old or the new content.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/base/encoding.h"
#include "platform/base/kx_log.h"
#include "platform/base/kx_paths.h"
#include "platform/base/service_thread.h"
#include "ver_2/error_info.h"
#include "ver_2/manager_v2.h"
#include "ver_2/sqlite_helpers.h"

namespace ver_2 {

namespace {

constexpr char kDatabaseFile[] = "newConfig2.db";
constexpr char kOldDatabaseFile[] = "config2.db";
constexpr char kDefaultBatch[] = "default";

// The tables of one batch: its images and their order.
bool CreateBatchTables(sqlite3* db, const std::string& batch) {
    std::string images = QuoteSqlIdentifier("table_" + batch);
    std::string order = QuoteSqlIdentifier("table_" + batch + "_idx");
    std::string sql = "create table " + images +
                      " (id integer primary key autoincrement, format text, tag text, image blob, "
                      "thumb blob);"
                      "create table " +
                      order + " (id integer, idx integer)";
    return ExecSql(db, sql.c_str());
}

bool InsertSaveFilename(sqlite3* db, const std::string& path) {
    SqlStatement insert(db, "insert into save_filenames values (?)");
    return insert.BindText(1, AnsiToUtf8(path)) && insert.Run();
}

// The leading decimal number of text as C's atoi reads it (0 when there is
// none), kept inside the 32-bit range.
int32_t LeadingInt(const std::string& text) {
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long long>(value, std::numeric_limits<int32_t>::min(),
                                                      std::numeric_limits<int32_t>::max()));
}

std::string FormatDouble(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

// The stored text of an option's value by its type; false for other types.
bool ValueText(const DeviceParam& param, std::string& text) {
    if (param.valueType == "string") {
        text = param.stringValue;
    } else if (param.valueType == "int") {
        text = std::to_string(param.intValue);
    } else if (param.valueType == "bool") {
        text = std::to_string(param.boolValue ? 1 : 0);
    } else if (param.valueType == "double") {
        text = FormatDouble(param.doubleValue);
    } else {
        return false;
    }
    return true;
}

// One row of device_params; options of other types are not stored.
bool InsertDeviceParam(SqlStatement& insert, const DeviceParam& param) {
    std::string value;
    if (!ValueText(param, value)) return true;
    insert.Reset();
    return insert.BindText(1, param.name) && insert.BindText(2, param.valueType) &&
           insert.BindText(3, value) && insert.Run();
}

}  // namespace

void ManagerV2::OpenDatabase() {
    std::string folder = ConfigFolder();
    KXBase_CreatePrivateDir(folder.c_str());
    KXBase_DeleteFile((folder + kOldDatabaseFile).c_str());
    std::string path = folder + kDatabaseFile;
    // The database holds every batch page: it is made the user's alone
    // before SQLite opens it (an empty file is an empty database), and its
    // journals take the same mode.
    KXBase_CreatePrivateFile(path.c_str());
    int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_SHAREDCACHE;
    // SQLite reads the file only at the first statement, so a file that is
    // not a database (or cannot be read) shows there rather than at the open.
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK ||
        !ExecSql(db_, "select count(*) from sqlite_master")) {
        KXBase_WriteInfo(KX_LOG_INFO, "open database failed, path=%s: %s", path.c_str(),
                         SqlErrorText(db_).c_str());
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return;
    }
    KXBase_WriteInfo(KX_LOG_INFO, "open database success");
    // Read through a memory map: a batch image's thumbnail is stored behind
    // its picture, and reaching it walks the picture's overflow pages, which
    // would otherwise cost one read call each.
    ExecSql(db_, "pragma mmap_size = 2147418112");
    CreateTablesIfNew();
}

void ManagerV2::CreateTablesIfNew() {
    ExecSql(db_, "create table if not exists save_filenames (filename text)");
    ExecSql(db_,
            "create table if not exists device_params (name text, value_type text, value text)");
    // The batch list and the default batch appear together or not at all:
    // a database whose set-up was interrupted is set up again at next start.
    SqlTransaction transaction(db_);
    if (!transaction.begun()) return;
    if (!ExecSql(db_, "create table table_ (id integer primary key autoincrement, name text)")) {
        return;  // an existing database keeps its batches
    }
    SqlStatement insert(db_, "insert into table_ (name) values (?)");
    if (!CreateBatchTables(db_, kDefaultBatch) || !insert.BindText(1, kDefaultBatch) ||
        !insert.Run()) {
        return;
    }
    transaction.Commit();
}

void ManagerV2::ReadCurrentBatch() {
    SqlStatement select(db_, "select name from table_ order by id desc");
    if (select.Step()) currBatchId_ = select.ColumnText(0);
}

void ManagerV2::LoadSaveFilenames() {
    saveFilenames_.clear();
    SqlStatement select(db_, "select filename from save_filenames order by rowid");
    while (select.Step()) {
        std::string path = Utf8ToAnsi(select.ColumnText(0));
        if (KXBase_PathExists(path.c_str()) && !KXBase_IsDirectory(path.c_str())) {
            saveFilenames_.push_back(std::move(path));
        }
    }
}

bool ManagerV2::StoreSaveFilenames() {
    SqlTransaction transaction(db_);
    if (!transaction.begun() || !ExecSql(db_, "delete from save_filenames")) return false;
    for (const std::string& path : saveFilenames_) {
        if (!InsertSaveFilename(db_, path)) return false;
    }
    return transaction.Commit();
}

void ManagerV2::AddSaveFilename(const std::string& path) {
    SB_ASSERT_SERVICE_THREAD();
    saveFilenames_.push_back(path);
    // Appending one row keeps the table equal to the list without rewriting
    // it; should that fail, the whole table is rewritten.
    if (!InsertSaveFilename(db_, path) && !StoreSaveFilenames()) {
        KXBase_WriteInfo(KX_LOG_INFO, "saved-file list not stored, filePath=%s", path.c_str());
    }
}

void ManagerV2::RemoveSaveFilename(const std::string& path) {
    SB_ASSERT_SERVICE_THREAD();
    auto it = std::find(saveFilenames_.begin(), saveFilenames_.end(), path);
    if (it == saveFilenames_.end()) return;
    saveFilenames_.erase(it);
    StoreSaveFilenames();
}

int ManagerV2::DeleteLocalFile(const std::string& path, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    auto it = std::find(saveFilenames_.begin(), saveFilenames_.end(), path);
    if (it == saveFilenames_.end()) {
        return Refuse(error, AboutFile("not a file this service saved", path));
    }
    if (KXBase_DeleteFile(path.c_str()) != 0) {
        return Refuse(error, AboutFile("cannot delete file", path));
    }
    saveFilenames_.erase(it);
    StoreSaveFilenames();
    return 0;
}

void ManagerV2::ClearGlobalFileSavePath() {
    SB_ASSERT_SERVICE_THREAD();
    for (const std::string& path : saveFilenames_)
        KXBase_DeleteFile(path.c_str());
    saveFilenames_.clear();
    StoreSaveFilenames();
}

void ManagerV2::LoadDeviceParams(std::vector<DeviceParam>& list) {
    list.clear();
    SqlStatement select(db_, "select name, value_type, value from device_params order by rowid");
    while (select.Step()) {
        DeviceParam param;
        param.name = select.ColumnText(0);
        std::string type = select.ColumnText(1);
        std::string value = select.ColumnText(2);
        if (type == "string") {
            param.stringValue = value;
        } else if (type == "int") {
            param.intValue = LeadingInt(value);
        } else if (type == "double") {
            param.doubleValue = std::strtod(value.c_str(), nullptr);
        } else if (type == "bool") {
            param.boolValue = LeadingInt(value) != 0;
        }
        param.valueType = type;
        list.push_back(std::move(param));
    }
}

bool ManagerV2::StoreDeviceParams() {
    SqlTransaction transaction(db_);
    if (!transaction.begun() || !ExecSql(db_, "delete from device_params")) return false;
    SqlStatement insert(db_, "insert into device_params values (?, ?, ?)");
    for (const DeviceParamGroup& group : deviceParams_) {
        for (const DeviceParam& param : group.params) {
            if (!InsertDeviceParam(insert, param)) return false;
        }
    }
    return transaction.Commit();
}

}  // namespace ver_2

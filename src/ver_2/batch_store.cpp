// Opening the batch store: "newConfig2.db" made the user's alone and set up
// on first use, and the current batch at start. Every value is a bound
// parameter; every change of several rows is one transaction, so a crash
// leaves either the old or the new content.
#include "ver_2/batch_store.h"

#include "platform/base/kx_log.h"
#include "platform/base/kx_paths.h"
#include "ver_2/batch_tables.h"
#include "ver_2/sqlite_helpers.h"

namespace ver_2 {

namespace {

constexpr char kDatabaseFile[] = "newConfig2.db";
constexpr char kOldDatabaseFile[] = "config2.db";
constexpr char kDefaultBatch[] = "default";

}  // namespace

BatchStore::BatchStore(const std::string& folder) {
    Open(folder);
    ReadCurrentBatch();
}

BatchStore::~BatchStore() {
    if (db_ != nullptr) sqlite3_close_v2(db_);
}

void BatchStore::Open(const std::string& folder) {
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

void BatchStore::CreateTablesIfNew() {
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
    if (!CreateBatchTables(db_, BatchTables(kDefaultBatch)) || !insert.BindText(1, kDefaultBatch) ||
        !insert.Run()) {
        return;
    }
    transaction.Commit();
}

void BatchStore::ReadCurrentBatch() {
    SqlStatement select(db_, "select name from table_ order by id desc");
    if (select.Step()) currBatchId_ = select.ColumnText(0);
}

}  // namespace ver_2

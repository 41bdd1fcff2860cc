#include "ver_2/sqlite_helpers.h"

#include "platform/base/kx_log.h"
#include "platform/base/kx_system.h"

namespace ver_2 {

bool ExecSql(sqlite3* db, const char* sql) {
    if (db == nullptr) return false;
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string SqlErrorText(sqlite3* db) {
    if (db == nullptr) return "out of memory";
    std::string text = sqlite3_errmsg(db);
    int system = sqlite3_system_errno(db);
    if (system != 0) text += " (" + KXBase_ErrorText(system) + ")";
    return text;
}

std::string SqlFailure(sqlite3* db) {
    return "database error: " + SqlErrorText(db);
}

std::string QuoteSqlIdentifier(std::string_view name) {
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"') quoted.push_back('"');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

SqlStatement::SqlStatement(sqlite3* db, const std::string& sql) {
    if (db == nullptr) return;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement_, nullptr) !=
        SQLITE_OK) {
        KXBase_WriteInfo(KX_LOG_INFO, "sqlite prepare failed: %s", sqlite3_errmsg(db));
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
}

SqlStatement::~SqlStatement() {
    sqlite3_finalize(statement_);
}

bool SqlStatement::BindText(int index, std::string_view text) {
    return ok() && sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                                     SQLITE_TRANSIENT) == SQLITE_OK;
}

bool SqlStatement::BindInt(int index, int64_t value) {
    return ok() && sqlite3_bind_int64(statement_, index, value) == SQLITE_OK;
}

bool SqlStatement::BindBlob(int index, const void* data, size_t size) {
    return ok() &&
           sqlite3_bind_blob64(statement_, index, data, size, SQLITE_TRANSIENT) == SQLITE_OK;
}

bool SqlStatement::Step() {
    if (!ok() || done_) return false;
    int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) return true;
    if (result == SQLITE_DONE) {
        done_ = true;
    } else {
        KXBase_WriteInfo(KX_LOG_INFO, "sqlite step failed: %s",
                         sqlite3_errmsg(sqlite3_db_handle(statement_)));
    }
    return false;
}

bool SqlStatement::Run() {
    while (Step()) {
    }
    return done_;
}

void SqlStatement::Reset() {
    if (!ok()) return;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    done_ = false;
}

std::string SqlStatement::ColumnText(int index) const {
    const unsigned char* text = sqlite3_column_text(statement_, index);
    if (text == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<size_t>(sqlite3_column_bytes(statement_, index)));
}

int64_t SqlStatement::ColumnInt(int index) const {
    return sqlite3_column_int64(statement_, index);
}

std::span<const uint8_t> SqlStatement::ColumnBlob(int index) const {
    const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(statement_, index));
    int size = sqlite3_column_bytes(statement_, index);
    if (data == nullptr || size <= 0) return {};
    return {data, static_cast<size_t>(size)};
}

SqlTransaction::SqlTransaction(sqlite3* db) : db_(db) {
    begun_ = ExecSql(db_, "begin");
}

SqlTransaction::~SqlTransaction() {
    if (begun_ && !finished_) ExecSql(db_, "rollback");
}

bool SqlTransaction::Commit() {
    if (!begun_ || finished_) return false;
    if (!ExecSql(db_, "commit")) return false;
    finished_ = true;
    return true;
}

}  // namespace ver_2

// Small RAII helpers over the SQLite C API: a prepared statement that is
// always finalized, a transaction that rolls back unless committed, and
// quoting of identifiers. Values always travel as bound parameters, never
// inside statement text.
//
// Thread rule: a helper is used by the thread that owns the connection (the
// service thread for the back end's database). The helpers never own the
// connection.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ver_2 {

// Runs statements without results; true when every one succeeded.
bool ExecSql(sqlite3* db, const char* sql);

// The connection's last error for a log line: SQLite's message, and the
// system's reason when a system call failed ("unable to open database file
// (Permission denied)"). A null connection means SQLite ran out of memory.
std::string SqlErrorText(sqlite3* db);

// "database error: " and SqlErrorText, for a refusal.
std::string SqlFailure(sqlite3* db);

// "name" with every embedded double quote doubled, inside double quotes: a
// table or column name that is safe in statement text whatever it holds.
std::string QuoteSqlIdentifier(std::string_view name);

class SqlStatement {
  public:
    // Prepares sql; ok() tells whether that worked (a null db never does).
    SqlStatement(sqlite3* db, const std::string& sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    bool ok() const { return statement_ != nullptr; }

    // Parameters are numbered from 1. Text is copied by SQLite.
    bool BindText(int index, std::string_view text);
    bool BindInt(int index, int64_t value);
    bool BindBlob(int index, const void* data, size_t size);

    // One step: true while it yields a row (check done() for the end).
    bool Step();
    // True once the statement ran to completion without error.
    bool done() const { return done_; }
    // Runs a statement without results to completion; true on success.
    bool Run();
    // Clears the bindings and rewinds, for running the statement again.
    void Reset();

    // Columns of the current row, numbered from 0; text is empty for NULL.
    std::string ColumnText(int index) const;
    int64_t ColumnInt(int index) const;
    // The bytes of a blob column, valid until the next Step or Reset; empty
    // for NULL.
    std::span<const uint8_t> ColumnBlob(int index) const;

  private:
    sqlite3_stmt* statement_ = nullptr;
    bool done_ = false;
};

// "begin" on construction; "rollback" on destruction unless Commit()
// succeeded. A transaction that could not begin cannot commit.
class SqlTransaction {
  public:
    explicit SqlTransaction(sqlite3* db);
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;

    bool begun() const { return begun_; }
    bool Commit();

  private:
    sqlite3* db_;
    bool begun_ = false;
    bool finished_ = false;
};

}  // namespace ver_2

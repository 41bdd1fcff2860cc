#include "support/sqlite_rows.h"

#include <sqlite3.h>

namespace testing_support {

std::vector<std::string> QueryRows(const std::string& database, const std::string& sql) {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            db, sql.c_str(),
            [](void* out, int count, char** values, char**) {
                std::string row;
                for (int i = 0; i < count; ++i) {
                    if (i > 0) row += "|";
                    row += values[i] != nullptr ? values[i] : "NULL";
                }
                static_cast<std::vector<std::string>*>(out)->push_back(row);
                return 0;
            },
            &rows, nullptr);
    }
    sqlite3_close_v2(db);
    return rows;
}

}  // namespace testing_support

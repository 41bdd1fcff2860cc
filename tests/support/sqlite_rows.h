// Reading a database file the way any SQLite client would, for tests that
// check what the service stored.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// The rows of a query on the database file, each row's columns joined by
// "|" (NULL as "NULL"); empty when the file cannot be opened. The file is
// opened read-write, so a journal left by a killed process is rolled back
// first, as any client would.
std::vector<std::string> QueryRows(const std::string& database, const std::string& sql);

}  // namespace testing_support

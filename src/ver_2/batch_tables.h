// Statements on the tables of one batch: the image table "table_<name>"
// (id, format, tag, image, thumb) and the order table "table_<name>_idx"
// (id, idx). Table names are quoted identifiers and every value is a bound
// parameter, so any batch name and any tag works.
//
// Order invariant kept by every writer here: each image row has one order
// row, and the idx values are exactly 0 .. n-1.
//
// Thread rule: the thread that owns the connection (the service thread).
// Nothing here owns the connection or begins a transaction; the callers do.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "ver_2/batch_records.h"

namespace ver_2 {

// The quoted names of a batch's two tables.
struct BatchTables {
    explicit BatchTables(const std::string& batch);
    std::string images;
    std::string order;
};

// Creates both tables; false when either exists already or fails.
bool CreateBatchTables(sqlite3* db, const BatchTables& tables);

// The images in order; empty when the tables cannot be read.
std::vector<ImageEntry> ReadImageEntries(sqlite3* db, const BatchTables& tables);
// The row id at index, -1 when there is none.
int32_t ReadImageId(sqlite3* db, const BatchTables& tables, int32_t index);
// The number of order rows; -1 when they cannot be counted.
int64_t CountImages(sqlite3* db, const BatchTables& tables);

// One stored picture.
struct StoredPicture {
    std::string format;
    std::string tag;
    std::vector<uint8_t> bytes;
};
// The picture of row id; false when there is no such row.
bool ReadPicture(sqlite3* db, const BatchTables& tables, int32_t id, StoredPicture& picture);

// Every picture of the batch with its position in the order, in no
// particular order; false when the rows could not be read to the end.
using PictureVisit =
    std::function<void(int64_t index, const std::string& format, std::span<const uint8_t> bytes)>;
bool ForEachPicture(sqlite3* db, const BatchTables& tables, const PictureVisit& visit);

// A new image row; its row id in *id.
bool InsertImageRow(sqlite3* db, const BatchTables& tables, const std::string& format,
                    const std::string& tag, const std::vector<uint8_t>& image,
                    const std::vector<uint8_t>& thumb, int32_t* id);
// Replaces format, picture and thumbnail of row id (the tag stays).
bool UpdateImageRow(sqlite3* db, const BatchTables& tables, int32_t id, const std::string& format,
                    const std::vector<uint8_t>& image, const std::vector<uint8_t>& thumb);
bool DeleteImageRow(sqlite3* db, const BatchTables& tables, int32_t id);

// Makes the order the given ids from position first on: the order rows of
// positions first and later are replaced by ids[first], ids[first + 1], ...
// Positions before first are left as they are and must already hold
// ids[0 .. first-1].
bool RewriteOrderFrom(sqlite3* db, const BatchTables& tables, const std::vector<int32_t>& ids,
                      size_t first);

}  // namespace ver_2

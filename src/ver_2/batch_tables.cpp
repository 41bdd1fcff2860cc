#include "ver_2/batch_tables.h"

#include "ver_2/sqlite_helpers.h"

namespace ver_2 {

BatchTables::BatchTables(const std::string& batch)
    : images(QuoteSqlIdentifier("table_" + batch)),
      order(QuoteSqlIdentifier("table_" + batch + "_idx")) {}

bool CreateBatchTables(sqlite3* db, const BatchTables& tables) {
    std::string sql = "create table " + tables.images +
                      " (id integer primary key autoincrement, format text, tag text, image blob, "
                      "thumb blob);"
                      "create table " +
                      tables.order + " (id integer, idx integer)";
    return ExecSql(db, sql.c_str());
}

std::vector<ImageEntry> ReadImageEntries(sqlite3* db, const BatchTables& tables) {
    std::vector<ImageEntry> entries;
    SqlStatement select(db, "select i.id, i.format from " + tables.images + " as i join " +
                                tables.order + " as o on i.id = o.id order by o.idx asc");
    while (select.Step()) {
        entries.push_back({static_cast<int32_t>(select.ColumnInt(0)), select.ColumnText(1)});
    }
    if (!select.done()) entries.clear();
    return entries;
}

int32_t ReadImageId(sqlite3* db, const BatchTables& tables, int32_t index) {
    SqlStatement select(db, "select id from " + tables.order + " where idx = ?");
    if (!select.BindInt(1, index) || !select.Step()) return -1;
    return static_cast<int32_t>(select.ColumnInt(0));
}

int64_t CountImages(sqlite3* db, const BatchTables& tables) {
    SqlStatement count(db, "select count(*) from " + tables.order);
    if (!count.Step()) return -1;
    return count.ColumnInt(0);
}

bool ReadPicture(sqlite3* db, const BatchTables& tables, int32_t id, StoredPicture& picture) {
    SqlStatement select(db, "select format, tag, image from " + tables.images + " where id = ?");
    if (!select.BindInt(1, id) || !select.Step()) return false;
    picture.format = select.ColumnText(0);
    picture.tag = select.ColumnText(1);
    std::span<const uint8_t> image = select.ColumnBlob(2);
    picture.bytes.assign(image.begin(), image.end());
    return true;
}

bool ForEachPicture(sqlite3* db, const BatchTables& tables, const PictureVisit& visit) {
    SqlStatement select(db, "select o.idx, i.format, i.image from " + tables.images +
                                " as i join " + tables.order + " as o on i.id = o.id");
    while (select.Step())
        visit(select.ColumnInt(0), select.ColumnText(1), select.ColumnBlob(2));
    return select.done();
}

bool InsertImageRow(sqlite3* db, const BatchTables& tables, const std::string& format,
                    const std::string& tag, const std::vector<uint8_t>& image,
                    const std::vector<uint8_t>& thumb, int32_t* id) {
    SqlStatement insert(
        db, "insert into " + tables.images + " (format, tag, image, thumb) values (?, ?, ?, ?)");
    if (!insert.BindText(1, format) || !insert.BindText(2, tag) ||
        !insert.BindBlob(3, image.data(), image.size()) ||
        !insert.BindBlob(4, thumb.data(), thumb.size()) || !insert.Run()) {
        return false;
    }
    *id = static_cast<int32_t>(sqlite3_last_insert_rowid(db));
    return true;
}

bool UpdateImageRow(sqlite3* db, const BatchTables& tables, int32_t id, const std::string& format,
                    const std::vector<uint8_t>& image, const std::vector<uint8_t>& thumb) {
    SqlStatement update(
        db, "update " + tables.images + " set format = ?, image = ?, thumb = ? where id = ?");
    return update.BindText(1, format) && update.BindBlob(2, image.data(), image.size()) &&
           update.BindBlob(3, thumb.data(), thumb.size()) && update.BindInt(4, id) &&
           update.Run() && sqlite3_changes(db) == 1;
}

bool DeleteImageRow(sqlite3* db, const BatchTables& tables, int32_t id) {
    SqlStatement remove(db, "delete from " + tables.images + " where id = ?");
    return remove.BindInt(1, id) && remove.Run() && sqlite3_changes(db) == 1;
}

bool RewriteOrderFrom(sqlite3* db, const BatchTables& tables, const std::vector<int32_t>& ids,
                      size_t first) {
    SqlStatement remove(db, "delete from " + tables.order + " where idx >= ?");
    if (!remove.BindInt(1, static_cast<int64_t>(first)) || !remove.Run()) return false;
    SqlStatement insert(db, "insert into " + tables.order + " (id, idx) values (?, ?)");
    for (size_t i = first; i < ids.size(); ++i) {
        insert.Reset();
        if (!insert.BindInt(1, ids[i]) || !insert.BindInt(2, static_cast<int64_t>(i)) ||
            !insert.Run()) {
            return false;
        }
    }
    return true;
}

}  // namespace ver_2

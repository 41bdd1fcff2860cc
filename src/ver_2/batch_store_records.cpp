// Batch store records besides the batches: the saved-file rows (the list of
// files this service saved, kept across restarts) and the stored scanner
// options. Each rewrite of a table is one transaction.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/base/encoding.h"
#include "platform/base/kx_paths.h"
#include "ver_2/batch_store.h"
#include "ver_2/sqlite_helpers.h"

namespace ver_2 {

namespace {

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

std::vector<std::string> BatchStore::LoadSaveFilenames() {
    std::vector<std::string> paths;
    SqlStatement select(db_, "select filename from save_filenames order by rowid");
    while (select.Step()) {
        std::string path = Utf8ToAnsi(select.ColumnText(0));
        if (KXBase_PathExists(path.c_str()) && !KXBase_IsDirectory(path.c_str())) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

bool BatchStore::StoreSaveFilenames(const std::vector<std::string>& paths) {
    SqlTransaction transaction(db_);
    if (!transaction.begun() || !ExecSql(db_, "delete from save_filenames")) return false;
    for (const std::string& path : paths) {
        if (!InsertSaveFilename(db_, path)) return false;
    }
    return transaction.Commit();
}

bool BatchStore::AppendSaveFilename(const std::string& path) {
    return InsertSaveFilename(db_, path);
}

std::vector<DeviceParam> BatchStore::LoadDeviceParams() {
    std::vector<DeviceParam> list;
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
    return list;
}

bool BatchStore::StoreDeviceParams(const std::vector<DeviceParamGroup>& groups) {
    SqlTransaction transaction(db_);
    if (!transaction.begun() || !ExecSql(db_, "delete from device_params")) return false;
    SqlStatement insert(db_, "insert into device_params values (?, ?, ?)");
    for (const DeviceParamGroup& group : groups) {
        for (const DeviceParam& param : group.params) {
            if (!InsertDeviceParam(insert, param)) return false;
        }
    }
    return transaction.Commit();
}

}  // namespace ver_2

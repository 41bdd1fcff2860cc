// Batch store folder binding: binding the current batch to a folder of
// numbered files and keeping that folder in step with every committed
// change. A change while bound is refused up front when the folder cannot
// take files; a mirror step that fails afterwards (a file put into the folder
// by someone else, say) is repaired by writing the whole folder again, so the
// folder ends up matching the database. When even that fails (a full disk),
// the change stays in the database and the operation reports the failure.
#include "platform/base/kx_log.h"
#include "platform/base/kx_paths.h"
#include "platform/base/service_thread.h"
#include "ver_2/batch_store.h"
#include "ver_2/batch_tables.h"
#include "ver_2/bound_folder.h"
#include "ver_2/error_info.h"
#include "ver_2/global_config.h"

namespace ver_2 {

namespace {

// The folders that hold the service's own files (settings and database,
// temporary files, kept scans) are never bound: their numbered files are
// the service's, but not the binding's to delete.
bool HoldsServiceFiles(const std::string& folder, const std::vector<std::string>& serviceFolders) {
    for (const std::string& own : serviceFolders) {
        if (folder == StandardiseFolderPath(own) || KXBase_IsSameFile(folder.c_str(), own.c_str()))
            return true;
    }
    return false;
}

}  // namespace

int BatchStore::BindFolder(const std::string& folder, int32_t width, int32_t base,
                           const std::vector<std::string>& serviceFolders, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (folder.empty()) return Refuse(error, "folder is missing or empty");
    if (width < 1 || width > BoundFolder::kMaxWidth) {
        return Refuse(error, OutsideRange("name_width", width, 1, BoundFolder::kMaxWidth));
    }
    if (base < 0) return Refuse(error, OutsideRange("name_base", base, 0, INT32_MAX));
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    std::string standard = StandardiseFolderPath(folder);
    if (standard.empty()) return Refuse(error, AboutFile("not a usable folder path", folder));
    if (HoldsServiceFiles(standard, serviceFolders)) {
        return Refuse(error, AboutFile("the folder holds the service's own files", standard));
    }
    BoundFolder candidate(standard, width, base);
    if (!candidate.Writable()) {
        return Refuse(error, AboutFile("the folder cannot be created or written", standard));
    }
    // Binding empties the folder, so a folder holding anything the binding
    // did not write (a user's documents, say) is refused untouched.
    if (!candidate.HoldsOnlyOwnFiles()) {
        return Refuse(error,
                      AboutFile("the folder holds files the service did not write", standard));
    }
    bindFolder_ = standard;
    bindNameWidth_ = width;
    bindNameBase_ = base;
    boundFolderInStep_ = true;
    if (!ExportWholeBatch()) {
        // Nothing half-written stays behind a refused binding.
        boundFolder().Clear();
        ErrorInfo ignored;
        StopBindFolder(ignored);
        return Refuse(error, AboutFile("the batch could not be written into the folder", standard));
    }
    return 0;
}

int BatchStore::StopBindFolder(ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    bindFolder_.clear();
    bindNameWidth_ = 0;
    bindNameBase_ = 0;
    return 0;
}

BoundFolder BatchStore::boundFolder() const {
    return BoundFolder(bindFolder_, bindNameWidth_, bindNameBase_);
}

int BatchStore::CheckBoundFolder(ErrorInfo& error) const {
    if (!folderBound() || boundFolder().Writable()) return 0;
    return Refuse(error, AboutFile("the bound folder cannot take files", bindFolder_));
}

int BatchStore::MirrorChange(const std::function<bool(const BoundFolder&)>& mirror,
                             ErrorInfo& error) {
    if (!folderBound()) return 0;
    // A folder left out of step by an earlier failure is only ever written
    // whole again: a step applied to it would keep it wrong.
    if (boundFolderInStep_ && mirror(boundFolder())) return 0;
    KXBase_WriteInfo(KX_LOG_INFO, "bound folder out of step, writing it again, filePath=%s",
                     bindFolder_.c_str());
    return MirrorWholeBatch(error);
}

int BatchStore::MirrorWholeBatch(ErrorInfo& error) {
    boundFolderInStep_ = !folderBound() || ExportWholeBatch();
    if (boundFolderInStep_) return 0;
    return Refuse(error, AboutFile("the batch keeps the change, but the bound folder could not "
                                   "be written",
                                   bindFolder_));
}

bool BatchStore::ExportWholeBatch() {
    BatchTables tables(currBatchId_);
    return boundFolder().Rewrite(
        [&](const PictureVisit& visit) { return ForEachPicture(db_, tables, visit); });
}

}  // namespace ver_2

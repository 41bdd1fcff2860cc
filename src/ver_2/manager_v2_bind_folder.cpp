// ManagerV2 folder binding: binding the current batch to a folder of
// numbered files and keeping that folder in step with every committed
// change. A change while bound is refused up front when the folder cannot
// take files; a mirror step that fails afterwards (a file put into the folder
// by someone else, say) is repaired by writing the whole folder again, so the
// folder ends up matching the database. When even that fails (a full disk),
// the change stays in the database and the operation reports the failure.
#include "platform/base/kx_log.h"
#include "platform/base/kx_paths.h"
#include "platform/base/service_thread.h"
#include "ver_2/batch_tables.h"
#include "ver_2/bound_folder.h"
#include "ver_2/global_config.h"
#include "ver_2/manager_v2.h"
#include "ver_2/texts.h"

namespace ver_2 {

namespace {

constexpr char kOrderMode[] = "order";

// The folders that hold the service's own files (settings and database,
// temporary files, kept scans) are never bound: their numbered files are
// the service's, but not the binding's to delete.
bool HoldsServiceFiles(const std::string& folder, const std::string& saveFolder) {
    for (const std::string& own : {ConfigFolder(), TemporaryFolder(), saveFolder}) {
        if (folder == StandardiseFolderPath(own) || KXBase_IsSameFile(folder.c_str(), own.c_str()))
            return true;
    }
    return false;
}

}  // namespace

int ManagerV2::BindFolder(const std::string& folder, int32_t width, int32_t base,
                          std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (folder.empty() || width < 1 || base < 0 || db_ == nullptr) return -1;
    if (width > BoundFolder::kMaxWidth) return -1;
    std::string standard = StandardiseFolderPath(folder);
    if (standard.empty() || HoldsServiceFiles(standard, globalConfig_.fileSavePath)) return -1;
    BoundFolder candidate(standard, width, base);
    if (!candidate.Writable()) return -1;
    // Binding empties the folder, so a folder holding anything the binding
    // did not write (a user's documents, say) is refused untouched.
    if (!candidate.HoldsOnlyOwnFiles()) {
        KXBase_WriteInfo(KX_LOG_INFO,
                         "bind folder refused: it holds files the service did not write, "
                         "filePath=%s",
                         standard.c_str());
        return -1;
    }
    bindFolder_ = standard;
    bindNameMode_ = kOrderMode;
    bindNameWidth_ = width;
    bindNameBase_ = base;
    boundFolderInStep_ = true;
    if (!ExportWholeBatch()) {
        // Nothing half-written stays behind a refused binding.
        boundFolder().Clear();
        std::string ignored;
        StopBindFolder(ignored);
        return -1;
    }
    errorText.clear();
    return 0;
}

int ManagerV2::StopBindFolder(std::string& errorText) {
    SB_ASSERT_SERVICE_THREAD();
    errorText = kErrorText;
    if (db_ == nullptr) return -1;
    bindFolder_.clear();
    bindNameMode_.clear();
    bindNameWidth_ = 0;
    bindNameBase_ = 0;
    errorText.clear();
    return 0;
}

BoundFolder ManagerV2::boundFolder() const {
    return BoundFolder(bindFolder_, bindNameWidth_, bindNameBase_);
}

bool ManagerV2::BoundFolderReady() const {
    return !folderBound() || boundFolder().Writable();
}

bool ManagerV2::MirrorChange(const std::function<bool(const BoundFolder&)>& mirror) {
    if (!folderBound()) return true;
    // A folder left out of step by an earlier failure is only ever written
    // whole again: a step applied to it would keep it wrong.
    if (boundFolderInStep_ && mirror(boundFolder())) return true;
    KXBase_WriteInfo(KX_LOG_INFO, "bound folder out of step, writing it again, filePath=%s",
                     bindFolder_.c_str());
    return MirrorWholeBatch();
}

bool ManagerV2::MirrorWholeBatch() {
    boundFolderInStep_ = !folderBound() || ExportWholeBatch();
    if (!boundFolderInStep_) {
        KXBase_WriteInfo(KX_LOG_INFO,
                         "bound folder could not be written, the batch keeps the change, "
                         "filePath=%s",
                         bindFolder_.c_str());
    }
    return boundFolderInStep_;
}

bool ManagerV2::ExportWholeBatch() {
    return boundFolder().Rewrite(db_, BatchTables(currBatchId_));
}

}  // namespace ver_2

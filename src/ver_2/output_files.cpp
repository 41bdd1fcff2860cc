#include "ver_2/output_files.h"

#include <algorithm>

#include "platform/base/kx_log.h"
#include "platform/base/kx_paths.h"
#include "platform/base/service_thread.h"
#include "ver_2/batch_store.h"
#include "ver_2/image_conversions.h"

namespace ver_2 {

OutputFiles::OutputFiles(BatchStore& store, const GlobalConfig& config)
    : store_(store), config_(config), saveFilenames_(store.LoadSaveFilenames()) {
    store_.StoreSaveFilenames(saveFilenames_);
}

void OutputFiles::SetConfig(const GlobalConfig& config) {
    MutexLock guard(mutex_);
    config_ = config;
}

GlobalConfig OutputFiles::config() const {
    MutexLock guard(mutex_);
    return config_;
}

std::string OutputFiles::MakeFileName(bool temporary, const std::string& extension) {
    return NewFileName(config(), temporary, extension);
}

void OutputFiles::PreparePage(bool temporary, std::string& path, PageSaveSettings& settings) {
    GlobalConfig current = config();
    settings = PageSaveSettingsFor(current);
    path = NewFileName(current, temporary, settings.extension);
}

std::string OutputFiles::NewFileName(const GlobalConfig& config, bool temporary,
                                     const std::string& extension) {
    std::string folder = temporary ? TemporaryFolder() : config.fileSavePath;
    return MakeUniqueFileName(folder, config.fileNamePrefix, config.fileNameMode, extension);
}

int OutputFiles::SaveImage(KXImage image, bool temporary, std::string& path) {
    path.clear();
    std::string name;
    PageSaveSettings settings;
    PreparePage(temporary, name, settings);
    if (WritePageFile(image, settings, name) != 0) return -1;
    path = std::move(name);
    return 0;
}

int OutputFiles::SaveResultImage(KXImage image, bool temporary, std::string& path,
                                 ErrorInfo& error) {
    if (SaveImage(image, temporary, path) != 0) {
        return Refuse(error, temporary ? "cannot save the result in the temporary folder"
                                       : "cannot save the result in the save folder "
                                         "(see file_save_path and image_format)");
    }
    if (!temporary) AddSaveFilename(path);
    return 0;
}

int OutputFiles::SaveBytes(const uint8_t* bytes, size_t size, const std::string& extension,
                           bool temporary, std::string& path, ErrorInfo& error) {
    path.clear();
    std::string name = MakeFileName(temporary, extension);
    if (!WriteBytesToFile(bytes, size, name)) {
        return Refuse(error, AboutFile("cannot write file", name));
    }
    path = std::move(name);
    if (!temporary) AddSaveFilename(path);
    return 0;
}

void OutputFiles::AddSaveFilename(const std::string& path) {
    SB_ASSERT_SERVICE_THREAD();
    saveFilenames_.push_back(path);
    // Appending one row keeps the table equal to the list without rewriting
    // it; should that fail, the whole table is rewritten.
    if (!store_.AppendSaveFilename(path) && !store_.StoreSaveFilenames(saveFilenames_)) {
        KXBase_WriteInfo(KX_LOG_INFO, "saved-file list not stored, filePath=%s", path.c_str());
    }
}

void OutputFiles::RemoveSaveFilename(const std::string& path) {
    SB_ASSERT_SERVICE_THREAD();
    auto it = std::find(saveFilenames_.begin(), saveFilenames_.end(), path);
    if (it == saveFilenames_.end()) return;
    saveFilenames_.erase(it);
    store_.StoreSaveFilenames(saveFilenames_);
}

int OutputFiles::DeleteLocalFile(const std::string& path, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    auto it = std::find(saveFilenames_.begin(), saveFilenames_.end(), path);
    if (it == saveFilenames_.end()) {
        return Refuse(error, AboutFile("not a file this service saved", path));
    }
    if (KXBase_DeleteFile(path.c_str()) != 0) {
        return Refuse(error, AboutFile("cannot delete file", path));
    }
    saveFilenames_.erase(it);
    store_.StoreSaveFilenames(saveFilenames_);
    return 0;
}

void OutputFiles::ClearGlobalFileSavePath() {
    SB_ASSERT_SERVICE_THREAD();
    for (const std::string& path : saveFilenames_)
        KXBase_DeleteFile(path.c_str());
    saveFilenames_.clear();
    store_.StoreSaveFilenames(saveFilenames_);
}

}  // namespace ver_2

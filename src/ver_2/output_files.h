// The files the second generation writes: fresh file names under the
// file-name settings, scanned pages and produced images saved in the global
// image format, bytes saved under a name, and the saved-file list (the files
// kept in the save folder, which the page may later delete), stored in the
// batch store so that it outlives a restart.
//
// Thread rule: naming and saving (MakeFileName, PreparePage, SaveImage) run
// on any thread (the scan's page workers name and save pages) and copy the
// settings under the object's own mutex; everything that records in the
// saved-file list runs on the service thread.
//
// Ownership: the object keeps a reference to the batch store, which must
// outlive it. It owns no handle.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/base/annotated_mutex.h"
#include "platform/image/kx_image.h"
#include "ver_2/error_info.h"
#include "ver_2/global_config.h"
#include "ver_2/page_files.h"

namespace ver_2 {

class BatchStore;

class OutputFiles {
  public:
    // Loads the saved-file list (dropping files that are gone) and stores
    // it back.
    OutputFiles(BatchStore& store, const GlobalConfig& config);
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;

    // Takes over the settings that name and encode new files.
    void SetConfig(const GlobalConfig& config) EXCLUDES(mutex_);

    // A fresh path in the save folder, or in the temporary folder when
    // temporary, with the file-name settings and the extension. Any thread.
    std::string MakeFileName(bool temporary, const std::string& extension) EXCLUDES(mutex_);
    // A new page's file name and encoding settings. Any thread.
    void PreparePage(bool temporary, std::string& path, PageSaveSettings& settings)
        EXCLUDES(mutex_);
    // The image saved under a new name in the global image format; 0 and
    // the path, or -1 with nothing written. Records nothing. Any thread.
    int SaveImage(KXImage image, bool temporary, std::string& path) EXCLUDES(mutex_);

    // SaveImage for a produced image, which is kept (recorded in the
    // saved-file list) unless temporary; -1 with the reason.
    int SaveResultImage(KXImage image, bool temporary, std::string& path, ErrorInfo& error);
    // The bytes written to a new file named by MakeFileName with the
    // extension, kept unless temporary; -1 with the reason and no file.
    int SaveBytes(const uint8_t* bytes, size_t size, const std::string& extension, bool temporary,
                  std::string& path, ErrorInfo& error);

    // The saved-file list. Paths in the native encoding; the store mirrors
    // the list after every change.
    void AddSaveFilename(const std::string& path);
    void RemoveSaveFilename(const std::string& path);
    const std::vector<std::string>& saveFilenames() const { return saveFilenames_; }
    // Deletes a file of the list and forgets it; -1 for paths not in the list
    // and files that cannot be deleted (their entry stays).
    int DeleteLocalFile(const std::string& path, ErrorInfo& error);
    // Deletes every file of the list (results ignored) and empties it.
    void ClearGlobalFileSavePath();

  private:
    // A copy of the settings, taken under the mutex; names are then made
    // without it (MakeUniqueFileName serialises them itself).
    GlobalConfig config() const EXCLUDES(mutex_);
    static std::string NewFileName(const GlobalConfig& config, bool temporary,
                                   const std::string& extension);

    BatchStore& store_;
    mutable Mutex mutex_;
    GlobalConfig config_ GUARDED_BY(mutex_);
    std::vector<std::string> saveFilenames_;
};

}  // namespace ver_2

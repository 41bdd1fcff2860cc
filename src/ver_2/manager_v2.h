// The second-generation back end, a facade over three parts it owns: the
// batch store (the database "newConfig2.db": batches, the saved-file rows,
// the stored scanner options, and folder binding), the output files (file
// names, saving scanned and produced images, the saved-file list) and the
// scan session (the driver, the open scanner and the running scan, and the
// lock: the only state driver threads touch). The facade keeps the global
// settings and the calls the commands make; each call goes to the part
// that owns what it changes.
//
// Thread rule: the service thread, except what scan_session.h names for
// the driver threads. Operations that can fail return 0, or -1 with the
// reason in their ErrorInfo (see error_info.h).
//
// Ownership: the service thread constructs and destroys the object; servers
// keep a pointer to it. The parts live as long as the facade; the session
// is destroyed first, so no driver thread outlives the files and the store.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/manager.h"
#include "platform/base/kx_pump.h"
#include "ver_2/batch_store.h"
#include "ver_2/error_info.h"
#include "ver_2/global_config.h"
#include "ver_2/output_files.h"
#include "ver_2/scan_session.h"

namespace ver_2 {

struct StoredPicture;

class ManagerV2 : public Manager {
  public:
    // Reads the settings, opens (and on first use creates) the database and
    // loads the saved-file list.
    explicit ManagerV2(KXPump pump);
    // Ends the driver (stopping a scan), then closes the database.
    ~ManagerV2() override;
    ManagerV2(const ManagerV2&) = delete;
    ManagerV2& operator=(const ManagerV2&) = delete;

    // The parts that image operations and driver tests work on directly.
    OutputFiles& outputs() { return outputs_; }
    ScanSession& session() { return session_; }

    // Global settings (manager_v2.cpp). mask: GlobalConfigField bits. The
    // settings files are written first; only then do the output files (and
    // with them the driver threads naming pages) take the new values.
    int SetGlobalConfig(const GlobalConfig& config, uint32_t mask, ErrorInfo& error);
    void GetGlobalConfig(GlobalConfig& config) const;
    // "config2.ini" in the configuration folder.
    std::string GetConfigString(const char* section, const char* key,
                                const char* defaultValue) const;
    bool SetConfigString(const char* section, const char* key, const std::string& value);
    bool SetConfigInt(const char* section, const char* key, int value);

    // Callback slots, filled and cleared by the connection.
    void SetEventCallback(EventCallback callback, void* userData) {
        session_.SetEventCallback(callback, userData);
    }
    void SetImageCallback(ImageCallback callback, void* userData) {
        session_.SetImageCallback(callback, userData);
    }

    // Saved-file list.
    void AddSaveFilename(const std::string& path) { outputs_.AddSaveFilename(path); }
    void RemoveSaveFilename(const std::string& path) { outputs_.RemoveSaveFilename(path); }
    const std::vector<std::string>& saveFilenames() const { return outputs_.saveFilenames(); }
    int DeleteLocalFile(const std::string& path, ErrorInfo& error) {
        return outputs_.DeleteLocalFile(path, error);
    }
    void ClearGlobalFileSavePath() { outputs_.ClearGlobalFileSavePath(); }

    // Scanner driver, the open scanner and scanning.
    int InitDevice(ErrorInfo& error) { return session_.InitDevice(error); }
    int DeinitDevice(ErrorInfo& error) { return session_.DeinitDevice(error); }
    int GetDeviceNameList(std::vector<std::string>& names, ErrorInfo& error) {
        return session_.GetDeviceNameList(names, error);
    }
    int OpenDevice(const std::string& name, ErrorInfo& error) {
        return session_.OpenDevice(name, error);
    }
    int CloseDevice(ErrorInfo& error) { return session_.CloseDevice(error); }
    int GetCurrDeviceName(std::string& name, ErrorInfo& error) {
        return session_.GetCurrDeviceName(name, error);
    }
    int SetDeviceParam(const std::vector<DeviceParam>& list, ErrorInfo& error) {
        return session_.SetDeviceParam(list, error);
    }
    int GetDeviceParam(std::vector<DeviceParamGroup>& groups, ErrorInfo& error) {
        return session_.GetDeviceParam(groups, error);
    }
    int ResetDeviceParam(ErrorInfo& error) { return session_.ResetDeviceParam(error); }
    bool saneInited() const { return session_.saneInited(); }
    int StartScan(bool blankCheck, bool localSave, ErrorInfo& error) {
        return session_.StartScan(blankCheck, localSave, error);
    }
    int StopScan(ErrorInfo& error) { return session_.StopScan(error); }
    bool scanning() const { return session_.scanning(); }

    // Batches and their images.
    int GetBatchIdList(std::vector<std::string>& names, ErrorInfo& error) {
        return store_.GetBatchIdList(names, error);
    }
    int OpenBatch(const std::string& name, ErrorInfo& error) {
        return store_.OpenBatch(name, error);
    }
    int NewBatch(const std::string& name, ErrorInfo& error) { return store_.NewBatch(name, error); }
    int DeleteBatch(const std::string& name, ErrorInfo& error) {
        return store_.DeleteBatch(name, error);
    }
    int GetCurrBatchId(std::string& name, ErrorInfo& error) {
        return store_.GetCurrBatchId(name, error);
    }
    int ModifyBatchId(const std::string& oldName, const std::string& newName, ErrorInfo& error) {
        return store_.ModifyBatchId(oldName, newName, error);
    }
    int GetImageThumbnailList(std::vector<ThumbnailItem>& items, ErrorInfo& error) {
        return store_.GetImageThumbnailList(items, error);
    }
    int GetImageCount(int32_t& count, ErrorInfo& error) {
        return store_.GetImageCount(count, error);
    }
    int LoadImage(int32_t index, std::string& tag, std::string& dataUrl, ErrorInfo& error) {
        return store_.LoadImage(index, tag, dataUrl, error);
    }
    // Writes the picture at index to a new file named by the output files
    // with its format as extension: in the temporary folder (the caller
    // deletes it), or in the save folder and then added to the saved-file
    // list (manager_v2.cpp).
    int SaveImage(int32_t index, bool toTemporary, std::string& path, ErrorInfo& error);
    std::vector<ImageEntry> GetImageEntries() { return store_.GetImageEntries(); }

    // Image list editing. position -1 appends; mode "pos" moves before the
    // gap target, "index" so that the first moved image ends at index target.
    int InsertLocalImage(const std::string& path, int32_t position, const std::string& tag,
                         ErrorInfo& error) {
        return store_.InsertLocalImage(path, position, tag, error);
    }
    int InsertImage(const std::string& dataUrl, int32_t position, const std::string& tag,
                    ErrorInfo& error) {
        return store_.InsertImage(dataUrl, position, tag, error);
    }
    int ModifyImageTag(const std::vector<int32_t>& indexes, const std::vector<std::string>& tags,
                       ErrorInfo& error) {
        return store_.ModifyImageTag(indexes, tags, error);
    }
    int DeleteImage(const std::vector<int32_t>& indexes, ErrorInfo& error) {
        return store_.DeleteImage(indexes, error);
    }
    int ClearImageList(ErrorInfo& error) { return store_.ClearImageList(error); }
    int ModifyImage(int32_t index, const std::string& dataUrl, ErrorInfo& error) {
        return store_.ModifyImage(index, dataUrl, error);
    }
    int ModifyImageByLocal(int32_t index, const std::string& path, ErrorInfo& error) {
        return store_.ModifyImageByLocal(index, path, error);
    }
    int MoveImage(const std::vector<int32_t>& indexes, const std::string& mode, int32_t target,
                  ErrorInfo& error) {
        return store_.MoveImage(indexes, mode, target, error);
    }
    int ExchangeImage(int32_t index1, int32_t index2, ErrorInfo& error) {
        return store_.ExchangeImage(index1, index2, error);
    }
    int ImageBookSort(ErrorInfo& error) { return store_.ImageBookSort(error); }

    // Folder binding. The folders of the service's own files (settings and
    // database, temporary files, the save folder) are never bound
    // (manager_v2.cpp).
    int BindFolder(const std::string& folder, int32_t width, int32_t base, ErrorInfo& error);
    int StopBindFolder(ErrorInfo& error) { return store_.StopBindFolder(error); }
    const std::string& bindFolder() const { return store_.bindFolder(); }

    KXPump pump() const { return pump_; }
    // The scan session's lock, which the connection's event tags share.
    KXLock lock() const RETURN_CAPABILITY(session_.lock()) { return session_.lock(); }
    // The database connection, null when it could not be opened.
    sqlite3* database() const { return store_.database(); }
    const std::string& currBatchId() const { return store_.currBatchId(); }

  private:
    GlobalConfig ReadGlobalConfig() const;

    KXPump pump_;
    // The settings as the service thread knows them; the output files hold
    // the copy that names and encodes new files.
    GlobalConfig globalConfig_;
    // Declared in construction order: the session, destroyed first, ends
    // the driver before the files and the store go.
    BatchStore store_;
    OutputFiles outputs_;
    ScanSession session_;
};

}  // namespace ver_2

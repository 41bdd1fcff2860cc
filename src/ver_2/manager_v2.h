// The second-generation back end: global settings, the scanner driver and
// the open scanner, scans, the database "newConfig2.db" (batches, the list of
// files this service saved, the stored scanner options) and folder binding.
//
// Thread rule: every operation runs on the service thread, except
// DriverEventHandler, which the driver calls on its own threads, and the page
// saving it hands to the scan's worker threads. `lock` guards what both
// sides touch (marked GUARDED_BY below): the two callback slots, the scanner
// list, the driver side's copy of the settings, the running scan's options
// and counters, and the event tags of the connection (which the callbacks
// read); the driver side takes it to change the list, to call the callbacks
// and to take a page's settings and file name. The lock is not recursive.
// The callbacks run under `lock` and must not call operations that take it
// or wait for the driver. Operations that can fail return 0, or -1 with the
// reason in their ErrorInfo (see error_info.h).
//
// Ownership: the service thread constructs and destroys the object; servers
// keep a pointer to it. The object owns the lock, the database connection,
// the scan-done event and the page workers.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/manager.h"
#include "platform/base/kx_pump.h"
#include "platform/base/kx_thread.h"
#include "platform/base/thread_annotations.h"
#include "platform/driver/sane_qnsane.h"
#include "platform/image/kx_image.h"
#include "ver_2/batch_records.h"
#include "ver_2/device_param.h"
#include "ver_2/error_info.h"
#include "ver_2/global_config.h"

namespace ver_2 {

class BoundFolder;
struct StoredPicture;
class OrderedPipeline;
struct PageSaveSettings;
struct WatermarkRequest;

// Progress sink of the connected page: (code, text, flag, user data).
//   1 scanner arrived, 2 scanner removed (text = name); 3 driver status;
//   4 scan working; 5 scan finished, 6 driver error (flag 1 = error).
using EventCallback = void (*)(int code, const char* text, int flag, void* userData);
// Page sink of the connected page: (saved file path, is-blank flag, user data).
using ImageCallback = void (*)(const char* path, int isBlank, void* userData);

class ManagerV2 : public Manager {
  public:
    // Reads the settings, opens (and on first use creates) the database and
    // loads the saved-file list.
    explicit ManagerV2(KXPump pump);
    // Ends the driver (stopping a scan), then closes the database.
    ~ManagerV2() override;
    ManagerV2(const ManagerV2&) = delete;
    ManagerV2& operator=(const ManagerV2&) = delete;

    // Global settings (manager_v2.cpp). mask: GlobalConfigField bits.
    // The settings files are written before the lock is taken, so driver
    // threads naming pages never wait for the disk.
    int SetGlobalConfig(const GlobalConfig& config, uint32_t mask, ErrorInfo& error)
        EXCLUDES(lock_);
    void GetGlobalConfig(GlobalConfig& config) const;
    // "config2.ini" in the configuration folder.
    std::string GetConfigString(const char* section, const char* key,
                                const char* defaultValue) const;
    bool SetConfigString(const char* section, const char* key, const std::string& value);
    bool SetConfigInt(const char* section, const char* key, int value);

    // Callback slots, filled and cleared by the connection (they take `lock`).
    void SetEventCallback(EventCallback callback, void* userData) EXCLUDES(lock_);
    void SetImageCallback(ImageCallback callback, void* userData) EXCLUDES(lock_);

    // Saved-file list (manager_v2_database.cpp). Paths in the native
    // encoding; the table mirrors the list after every change.
    void AddSaveFilename(const std::string& path);
    void RemoveSaveFilename(const std::string& path);
    const std::vector<std::string>& saveFilenames() const { return saveFilenames_; }
    // Deletes a file of the list and forgets it; -1 for paths not in the list
    // and files that cannot be deleted (their entry stays).
    int DeleteLocalFile(const std::string& path, ErrorInfo& error);
    // Deletes every file of the list (results ignored) and empties it.
    void ClearGlobalFileSavePath();

    // Scanner driver and the open scanner (manager_v2_device.cpp).
    int InitDevice(ErrorInfo& error);
    int DeinitDevice(ErrorInfo& error);
    int GetDeviceNameList(std::vector<std::string>& names, ErrorInfo& error);
    int OpenDevice(const std::string& name, ErrorInfo& error);
    int CloseDevice(ErrorInfo& error);
    int GetCurrDeviceName(std::string& name, ErrorInfo& error);
    int SetDeviceParam(const std::vector<DeviceParam>& list, ErrorInfo& error);
    int GetDeviceParam(std::vector<DeviceParamGroup>& groups, ErrorInfo& error);
    int ResetDeviceParam(ErrorInfo& error);
    bool saneInited() const { return saneInited_; }

    // Scanning (manager_v2_scan.cpp).
    int StartScan(bool blankCheck, bool localSave, ErrorInfo& error);
    int StopScan(ErrorInfo& error);
    bool scanning() const { return scanning_; }
    // The driver's event callback; user is this object.
    static SANE_Int DriverEventHandler(void* opaque, SANE_Int code, void* data, SANE_Int* value,
                                       void* user);

    // New files (manager_v2_scan.cpp): a fresh path in the save folder, or in
    // the temporary folder when temporary, with the file-name settings; and
    // an image saved there in the global image format. Any thread.
    std::string MakeFileName(bool temporary, const std::string& extension) EXCLUDES(lock_);
    int SaveScannedImage(KXImage image, bool temporary, std::string& path) EXCLUDES(lock_);

    // Batch store (manager_v2_batch.cpp). Batches live in the database, one
    // of them current; images are addressed by their index, the position in
    // the current batch's order (0 first). A change is one transaction, and
    // `currBatchId` and the bound folder change only after its commit. Names
    // and tags are stored as given, any bytes. Service thread only.
    int GetBatchIdList(std::vector<std::string>& names, ErrorInfo& error);
    int OpenBatch(const std::string& name, ErrorInfo& error);
    int NewBatch(const std::string& name, ErrorInfo& error);
    int DeleteBatch(const std::string& name, ErrorInfo& error);
    int GetCurrBatchId(std::string& name, ErrorInfo& error);
    int ModifyBatchId(const std::string& oldName, const std::string& newName, ErrorInfo& error);
    int GetImageThumbnailList(std::vector<ThumbnailItem>& items, ErrorInfo& error);
    int GetImageCount(int32_t& count, ErrorInfo& error);
    // The tag and the whole picture as a data URL of its format.
    int LoadImage(int32_t index, std::string& tag, std::string& dataUrl, ErrorInfo& error);
    // Writes the picture to a new file named by MakeFileName with its format
    // as extension: in the temporary folder (the caller deletes it), or in
    // the save folder and then added to the saved-file list.
    int SaveImage(int32_t index, bool toTemporary, std::string& path, ErrorInfo& error);
    // The stored picture of the image at index.
    int ReadPictureAt(int32_t index, StoredPicture& picture, ErrorInfo& error);
    // The row id of the image at index, -1 when there is none.
    int32_t GetImageId(int32_t index);
    // The current batch's images in order; empty when they cannot be read.
    std::vector<ImageEntry> GetImageEntries();

    // Image list editing (manager_v2_image_list*.cpp). position -1 appends;
    // mode "pos" moves before the gap target, "index" so that the first moved
    // image ends at index target.
    int InsertLocalImage(const std::string& path, int32_t position, const std::string& tag,
                         ErrorInfo& error);
    int InsertImage(const std::string& dataUrl, int32_t position, const std::string& tag,
                    ErrorInfo& error);
    int ModifyImageTag(const std::vector<int32_t>& indexes, const std::vector<std::string>& tags,
                       ErrorInfo& error);
    int DeleteImage(const std::vector<int32_t>& indexes, ErrorInfo& error);
    int ClearImageList(ErrorInfo& error);
    int ModifyImage(int32_t index, const std::string& dataUrl, ErrorInfo& error);
    int ModifyImageByLocal(int32_t index, const std::string& path, ErrorInfo& error);
    int MoveImage(const std::vector<int32_t>& indexes, const std::string& mode, int32_t target,
                  ErrorInfo& error);
    int ExchangeImage(int32_t index1, int32_t index2, ErrorInfo& error);
    int ImageBookSort(ErrorInfo& error);

    // Folder binding (manager_v2_bind_folder.cpp): the current batch mirrored
    // as numbered files into a folder. Service thread only.
    int BindFolder(const std::string& folder, int32_t width, int32_t base, ErrorInfo& error);
    int StopBindFolder(ErrorInfo& error);
    const std::string& bindFolder() const { return bindFolder_; }

    // Image operations (image_operations_*.cpp). Inputs are files named by
    // full paths; every result is a new file named by MakeFileName, in the
    // temporary folder when temporary (the caller deletes it), else in the
    // save folder and added to the saved-file list. Single images are saved
    // like scanned pages, in the global image format. Inputs that do not
    // load are skipped by the list operations and fail the others. A failed
    // operation leaves no file. Service thread only.
    int MergeImageFiles(const std::vector<std::string>& paths, const std::string& mode,
                        const std::string& align, int32_t interval, bool temporary,
                        std::string& path, ErrorInfo& error);
    int MakeMultiImageFile(const std::vector<std::string>& paths, const std::string& format,
                           const std::string& compression, uint32_t quality, bool temporary,
                           std::string& path, ErrorInfo& error);
    // names: one entry name per path, or none to name entries after their files.
    int MakeZipArchive(const std::vector<std::string>& paths, const std::vector<std::string>& names,
                       bool temporary, std::string& path, ErrorInfo& error);
    // Up to two pieces, left or top first.
    int SplitImageFile(const std::string& path, const std::string& mode, int32_t location,
                       bool temporary, std::vector<std::string>& paths, ErrorInfo& error);
    int DeskewImageFile(const std::string& path, bool temporary, std::string& result,
                        ErrorInfo& error);
    int WatermarkImageFile(const std::string& path, const WatermarkRequest& request, bool temporary,
                           std::string& result, ErrorInfo& error);
    int DecontaminateImageFile(const std::string& path, const std::string& colorText, int32_t x,
                               int32_t y, int32_t width, int32_t height, bool temporary,
                               const std::string& area, std::string& result, ErrorInfo& error);
    int CorrectImageFileDirection(const std::string& path, bool temporary, std::string& result,
                                  ErrorInfo& error);
    int ClipImageFile(const std::string& path, int32_t x, int32_t y, int32_t width, int32_t height,
                      bool temporary, std::string& result, ErrorInfo& error);

    // Pump messages posted by the driver side.
    void OnDeviceLeft(const std::string& name);
    void OnScanFinished(uint64_t scanNumber);

    KXPump pump() const { return pump_; }
    KXLock lock() const RETURN_CAPABILITY(lock_) { return lock_; }
    // The database connection, null when it could not be opened. Service
    // thread only.
    sqlite3* database() const { return db_; }
    const std::string& currBatchId() const { return currBatchId_; }

  private:
    // manager_v2.cpp
    GlobalConfig ReadGlobalConfig() const;

    // manager_v2_database.cpp
    void OpenDatabase();
    void CreateTablesIfNew();
    void ReadCurrentBatch();
    void LoadSaveFilenames();
    bool StoreSaveFilenames();
    void LoadDeviceParams(std::vector<DeviceParam>& list);
    bool StoreDeviceParams();

    // manager_v2_device.cpp
    void RefreshDeviceParams();
    // Ends the page workers (after the driver has ended).
    void ReleasePageWorkers() EXCLUDES(lock_);

    // manager_v2_scan.cpp
    // Cancels the running scan and waits for the driver to report its end.
    void FinishScan();
    // Forgets the running scan's options and done event.
    void ClearScanState() EXCLUDES(lock_);
    void OnPageScanned(const SANE_Event_Image& page) EXCLUDES(lock_);
    int NextPageNumber() EXCLUDES(lock_);
    void PageLost(int number, const char* reason, const std::string& path);
    void OnScanEnded(const char* text, int flag) EXCLUDES(lock_);
    void DeviceArrived(const char* name) EXCLUDES(lock_);
    void DeviceLeft(const char* name) EXCLUDES(lock_);
    void ReportEvent(int code, const char* text, int flag) EXCLUDES(lock_);
    // The file name and settings of a new page, taken under `lock`.
    void PreparePage(bool temporary, std::string& path, PageSaveSettings& settings) EXCLUDES(lock_);
    void PreparePageLocked(bool temporary, std::string& path, PageSaveSettings& settings)
        REQUIRES(lock_);
    std::string MakeFileNameLocked(bool temporary, const std::string& extension) REQUIRES(lock_);

    // manager_v2_image_list.cpp: a picture stored at a position, or in place
    // of the picture at index; manager_v2_image_order.cpp: the images in a
    // new order (the same images), stored and mirrored.
    int InsertPicture(const NewPicture& picture, int32_t position, const std::string& tag,
                      ErrorInfo& error);
    int ReplacePicture(int32_t index, const NewPicture& picture, ErrorInfo& error);
    int StoreOrder(const std::vector<ImageEntry>& before, const std::vector<ImageEntry>& after,
                   ErrorInfo& error);

    // manager_v2_bind_folder.cpp. The hooks run only after a committed
    // change and only while a folder is bound.
    bool folderBound() const { return !bindFolder_.empty(); }
    BoundFolder boundFolder() const;
    // Before a change: -1 with the reason when a folder is bound that cannot
    // take files, else 0.
    int CheckBoundFolder(ErrorInfo& error) const;
    // -1 with the reason unless a batch of that name exists.
    int CheckBatchExists(const std::string& name, ErrorInfo& error);
    // After a committed change: mirror brings the folder up to date; should
    // it fail, the whole folder is written again from the database. False
    // (logged, refused with the reason) when the folder could not be brought
    // in step; the batch keeps the change either way.
    [[nodiscard]] int MirrorChange(const std::function<bool(const BoundFolder&)>& mirror,
                                   ErrorInfo& error);
    // When a folder is bound, writes the current batch into it as a whole;
    // -1 (logged, refused with the reason) when that fails.
    [[nodiscard]] int MirrorWholeBatch(ErrorInfo& error);
    // Writes the current batch into the folder and deletes the binding's
    // other files; a file that cannot be written keeps its old contents.
    bool ExportWholeBatch();

    KXPump pump_;
    KXLock lock_ = nullptr;
    // The settings: the service thread's own copy, and the one the driver
    // side names and saves pages with, updated after the files are written.
    GlobalConfig globalConfig_;
    GlobalConfig pageConfig_ GUARDED_BY(lock_);
    EventCallback eventCallback_ GUARDED_BY(lock_) = nullptr;
    void* eventUserData_ GUARDED_BY(lock_) = nullptr;
    ImageCallback imageCallback_ GUARDED_BY(lock_) = nullptr;
    void* imageUserData_ GUARDED_BY(lock_) = nullptr;
    bool saneInited_ = false;
    std::vector<std::string> deviceNameList_ GUARDED_BY(lock_);
    bool deviceOpened_ = false;
    SANE_Handle device_ = nullptr;
    std::string deviceName_;
    std::vector<DeviceParamGroup> deviceParams_;
    bool blankCheck_ GUARDED_BY(lock_) = false;
    bool saveToTemp_ GUARDED_BY(lock_) = false;
    bool scanning_ = false;
    KXEvent scanDoneEvent_ GUARDED_BY(lock_) = nullptr;
    // Numbers scans, so a finish message of an earlier scan never ends a
    // later one; the page counter names pages in the log.
    uint64_t scanNumber_ GUARDED_BY(lock_) = 0;
    int pagesReceived_ GUARDED_BY(lock_) = 0;
    // Pages of the running scan that could not be copied or saved; the
    // scan's end is reported as an error when there are any.
    std::atomic<int> pagesLost_{0};
    std::unique_ptr<OrderedPipeline> pageWorkers_ GUARDED_BY(lock_);
    sqlite3* db_ = nullptr;
    std::string currBatchId_;
    std::string bindFolder_;
    std::string bindNameMode_;
    int32_t bindNameWidth_ = 0;
    int32_t bindNameBase_ = 0;
    // False after the bound folder could not be brought in step with the
    // batch; the next change then writes it whole.
    bool boundFolderInStep_ = true;
    std::vector<std::string> saveFilenames_;
};

}  // namespace ver_2

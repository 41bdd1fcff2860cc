// The batch store of the second generation: the database "newConfig2.db"
// and every statement on it (the batches and their images, the saved-file
// rows, the stored scanner options) and the folder a batch is bound to.
//
// Batches live in the database, one of them current; images are addressed
// by their index, the position in the current batch's order (0 first). A
// change is one transaction, and `currBatchId` and the bound folder change
// only after its commit. Names and tags are stored as given, any bytes.
// Operations that can fail return 0, or -1 with the reason in their
// ErrorInfo (see error_info.h).
//
// Thread rule: the service thread only; no driver thread reaches the store.
//
// Ownership: the store opens its connection on construction and closes it
// on destruction; a store whose database could not be opened refuses every
// batch operation with kNoDatabase.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ver_2/batch_records.h"
#include "ver_2/device_param.h"
#include "ver_2/error_info.h"

namespace ver_2 {

class BoundFolder;
struct StoredPicture;

class BatchStore {
  public:
    // Opens (and on first use creates) the database in folder (ending in
    // "/"), deletes the old database "config2.db" there, and makes the newest
    // batch current.
    explicit BatchStore(const std::string& folder);
    ~BatchStore();
    BatchStore(const BatchStore&) = delete;
    BatchStore& operator=(const BatchStore&) = delete;

    // The connection, null when it could not be opened.
    sqlite3* database() const { return db_; }
    const std::string& currBatchId() const { return currBatchId_; }

    // Saved-file rows (batch_store_records.cpp). Paths in the native
    // encoding. Loading keeps only the paths that still name regular files.
    std::vector<std::string> LoadSaveFilenames();
    bool StoreSaveFilenames(const std::vector<std::string>& paths);
    bool AppendSaveFilename(const std::string& path);
    // Stored scanner options, applied by title to the next scanner opened.
    std::vector<DeviceParam> LoadDeviceParams();
    bool StoreDeviceParams(const std::vector<DeviceParamGroup>& groups);

    // The registry of batches and reading the current batch's images
    // (batch_store_batches.cpp).
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
    // The stored picture of the image at index.
    int ReadPictureAt(int32_t index, StoredPicture& picture, ErrorInfo& error);
    // The row id of the image at index, -1 when there is none.
    int32_t GetImageId(int32_t index);
    // The current batch's images in order; empty when they cannot be read.
    std::vector<ImageEntry> GetImageEntries();

    // Image list editing (batch_store_image_list.cpp, _image_order.cpp).
    // position -1 appends; mode "pos" moves before the gap target, "index"
    // so that the first moved image ends at index target.
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

    // Folder binding (batch_store_binding.cpp): the current batch mirrored
    // as numbered files into a folder. A folder that is, or is the same as,
    // one of serviceFolders (the service's own files) is never bound.
    int BindFolder(const std::string& folder, int32_t width, int32_t base,
                   const std::vector<std::string>& serviceFolders, ErrorInfo& error);
    int StopBindFolder(ErrorInfo& error);
    const std::string& bindFolder() const { return bindFolder_; }

  private:
    // batch_store.cpp
    void Open(const std::string& folder);
    void CreateTablesIfNew();
    void ReadCurrentBatch();

    // -1 with the reason unless a batch of that name exists.
    int CheckBatchExists(const std::string& name, ErrorInfo& error);
    // A picture stored at a position, or in place of the picture at index;
    // the images in a new order (the same images), stored and mirrored.
    int InsertPicture(const NewPicture& picture, int32_t position, const std::string& tag,
                      ErrorInfo& error);
    int ReplacePicture(int32_t index, const NewPicture& picture, ErrorInfo& error);
    int StoreOrder(const std::vector<ImageEntry>& before, const std::vector<ImageEntry>& after,
                   ErrorInfo& error);

    // The hooks run only after a committed change and only while a folder
    // is bound.
    bool folderBound() const { return !bindFolder_.empty(); }
    BoundFolder boundFolder() const;
    // Before a change: -1 with the reason when a folder is bound that cannot
    // take files, else 0.
    int CheckBoundFolder(ErrorInfo& error) const;
    // After a committed change: mirror brings the folder up to date; should
    // it fail, the whole folder is written again from the database. -1
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

    sqlite3* db_ = nullptr;
    std::string currBatchId_;
    std::string bindFolder_;
    int32_t bindNameWidth_ = 0;
    int32_t bindNameBase_ = 0;
    // False after the bound folder could not be brought in step with the
    // batch; the next change then writes it whole.
    bool boundFolderInStep_ = true;
};

}  // namespace ver_2

// File operations of the base platform library: queries, moves, whole-file
// reads and writes by replacement, folder listings. Every one goes through
// the current file table (file_system.h), so a test can make any of them
// fail the way a disk does. A failed write, move or delete is logged with
// the system's reason. Any thread may call these functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

bool KXBase_PathExists(const char* path);
bool KXBase_IsRegularFile(const char* path);
bool KXBase_IsDirectory(const char* path);
// A regular file that can be opened for reading (a folder, pipe or device,
// which could block a reader or never end, is not).
bool KXBase_IsReadableFile(const char* path);
// True when both paths name one existing file or folder (through links,
// "." and ".." or another mount of it).
bool KXBase_IsSameFile(const char* first, const char* second);
// Renames from to to; fails, changing nothing, when to exists.
int KXBase_MoveFile(const char* from, const char* to);
// Deletes a file (not a folder).
int KXBase_DeleteFile(const char* path);

// How KXBase_ReplaceFile finishes: durable flushes the new file to disk
// before the rename, so that even a power cut leaves old or new contents
// (for small records such as settings and lists); plain skips the flush (for
// image files written in bulk, where it would cost more than it saves).
enum KXReplaceMode : int {
    KX_REPLACE_PLAIN = 0,
    KX_REPLACE_DURABLE = 1,
};
// Who may read a file that KXBase_ReplaceFile writes: everyone (0644, for
// pictures other programs pick up) or the user alone (0600, for settings).
enum KXFileAccess : int {
    KX_FILE_SHARED = 0,
    KX_FILE_PRIVATE = 1,
};
// Makes path hold the size bytes at data: they are written to a new sibling
// file (path, "." and six letters or digits) and renamed over path, so that
// a reader, a full disk or a crash sees the old contents or the new ones
// whole, never a part. A private file is never readable by others, not even
// while it is being written.
int KXBase_ReplaceFile(const char* path, const void* data, size_t size, KXReplaceMode mode,
                       KXFileAccess access = KX_FILE_SHARED);

// The whole content of a regular file into bytes (empty for an empty file):
// KX_ERR_NOT_FOUND when it cannot be opened or is not a regular file,
// KX_ERR_DATA when it is larger than limit, KX_ERR_SYSTEM when a read fails.
// A file that shrinks while it is read gives what it had.
int KXBase_ReadWholeFile(const char* path, uint64_t limit, std::vector<uint8_t>* bytes);

// Names (not paths) of the regular files directly inside folder.
int KXBase_ListFiles(const char* folder, std::vector<std::string>* names);
// Every entry directly inside folder (hidden ones too), links not followed.
struct KXFolderEntry {
    std::string name;
    bool plainFile = false;  // a regular file, not a link to one
};
int KXBase_ListFolder(const char* folder, std::vector<KXFolderEntry>* entries);
// 0 when a file can be created in folder. Where the file system has no
// unnamed files, the probe is a file named probe that is deleted at once.
int KXBase_CheckFolderWritable(const char* folder, const char* probe);

// A regular file open for reading through the file table, closed with the
// object. Owned by one thread at a time.
class KXReadFile {
  public:
    KXReadFile() = default;
    ~KXReadFile();
    KXReadFile(const KXReadFile&) = delete;
    KXReadFile& operator=(const KXReadFile&) = delete;

    // KX_OK, or KX_ERR_NOT_FOUND when path cannot be opened or is not a
    // regular file (never blocks on a pipe or device); once per object.
    int Open(const char* path);
    bool IsOpen() const { return fd_ >= 0; }
    // The size when opened.
    uint64_t size() const { return size_; }
    // Up to size bytes into buffer, *got 0 at the end; KX_ERR_SYSTEM (logged)
    // when the read fails.
    int Read(void* buffer, size_t size, size_t* got);

  private:
    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
};

// A file written in pieces that replaces path when committed, as
// KXBase_ReplaceFile does in one piece; dropped without Commit (or after a
// failed Append), path keeps what it held and the sibling is deleted.
// Owned by one thread at a time.
class KXFileReplacement {
  public:
    KXFileReplacement(std::string path, KXReplaceMode mode, KXFileAccess access = KX_FILE_SHARED);
    ~KXFileReplacement();
    KXFileReplacement(const KXFileReplacement&) = delete;
    KXFileReplacement& operator=(const KXFileReplacement&) = delete;

    // False once any step has failed (the failure is logged once).
    bool ok() const { return error_ == 0; }
    bool Append(const void* data, size_t size);
    // Flushes (durable), closes and renames over path; KX_OK or KX_ERR_SYSTEM.
    int Commit();

  private:
    // True for error 0; else records and logs the failure of step.
    bool Check(const char* step, int error);
    bool Fail(const char* step, int error);
    void Discard();

    std::string path_;
    std::string sibling_;
    KXReplaceMode mode_;
    KXFileAccess access_;
    int fd_ = -1;
    int error_ = 0;
};

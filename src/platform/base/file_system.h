// The table of operating-system file calls that every file operation of the
// service goes through: the real POSIX calls by default, replaceable for a
// scope so that tests can make the disk fill up, a rename fail or a flush
// report an I/O error, and watch what the code above does about it.
//
// Every call returns 0 or the errno value of the failure (never -1), so the
// caller can log the system's own reason. Descriptors come from and go back
// to the same table.
//
// Thread rule: any thread may call the current table. A replacement is
// installed and removed (ScopedFileSystem) while no other thread does file
// work, as a test does between commands; the table it installs must stay
// alive until it is removed, and must itself be safe for any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kxbase {

enum class FileType { kMissing, kRegular, kDirectory, kLink, kOther };

struct FileStatus {
    FileType type = FileType::kMissing;
    uint64_t size = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Opens an existing file for reading; never blocks on a pipe or device.
    virtual int OpenForReading(const char* path, int* fd) = 0;
    // Creates a new file for writing (0600) beside path, named path, "." and
    // six letters or digits; *created receives its name.
    virtual int CreateSibling(const char* path, std::string* created, int* fd) = 0;
    // Creates a file for writing that has no name, in folder; EOPNOTSUPP or
    // EISDIR where the file system has no such files.
    virtual int CreateUnnamed(const char* folder, int* fd) = 0;
    // Creates a new file for writing (0600); EEXIST when path is taken.
    virtual int CreateExclusive(const char* path, int* fd) = 0;
    // Reads up to size bytes; *got is 0 at the end of the file.
    virtual int Read(int fd, void* buffer, size_t size, size_t* got) = 0;
    // Writes up to size bytes (at least one on success).
    virtual int Write(int fd, const void* data, size_t size, size_t* written) = 0;
    virtual int SetMode(int fd, unsigned mode) = 0;
    // Flushes the file's contents to the disk.
    virtual int Sync(int fd) = 0;
    virtual int Close(int fd) = 0;
    virtual int StatOpen(int fd, FileStatus* status) = 0;
    // followLink false describes a link itself (FileType::kLink).
    virtual int Stat(const char* path, bool followLink, FileStatus* status) = 0;
    // Renames over an existing target.
    virtual int Rename(const char* from, const char* to) = 0;
    // Renames; EEXIST, changing nothing, when to exists.
    virtual int RenameNoReplace(const char* from, const char* to) = 0;
    // Deletes a file (not a folder).
    virtual int Remove(const char* path) = 0;
    // Names of every entry of folder except "." and "..".
    virtual int ListFolder(const char* folder, std::vector<std::string>* names) = 0;
};

// The POSIX calls themselves; lives as long as the process.
FileSystem& RealFileSystem();
// The table in use: the real one unless a ScopedFileSystem replaced it.
FileSystem& CurrentFileSystem();

// Makes replacement the current table until destroyed, then restores the
// one before. Scopes nest.
class ScopedFileSystem {
  public:
    explicit ScopedFileSystem(FileSystem& replacement);
    ~ScopedFileSystem();
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

  private:
    FileSystem* previous_;
};

// Passes every call on to another table: the base of fakes that change only
// the calls they are about.
class ForwardingFileSystem : public FileSystem {
  public:
    explicit ForwardingFileSystem(FileSystem& target) : target_(target) {}

    int OpenForReading(const char* path, int* fd) override;
    int CreateSibling(const char* path, std::string* created, int* fd) override;
    int CreateUnnamed(const char* folder, int* fd) override;
    int CreateExclusive(const char* path, int* fd) override;
    int Read(int fd, void* buffer, size_t size, size_t* got) override;
    int Write(int fd, const void* data, size_t size, size_t* written) override;
    int SetMode(int fd, unsigned mode) override;
    int Sync(int fd) override;
    int Close(int fd) override;
    int StatOpen(int fd, FileStatus* status) override;
    int Stat(const char* path, bool followLink, FileStatus* status) override;
    int Rename(const char* from, const char* to) override;
    int RenameNoReplace(const char* from, const char* to) override;
    int Remove(const char* path) override;
    int ListFolder(const char* folder, std::vector<std::string>* names) override;

  private:
    FileSystem& target_;
};

}  // namespace kxbase

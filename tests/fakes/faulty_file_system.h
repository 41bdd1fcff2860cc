// A file table (platform/base/file_system.h) that passes every call to the
// real one except those it was told to fail: the disk fills up on the Nth
// write, a rename is refused, a flush reports an I/O error. Installed for a
// scope with kxbase::ScopedFileSystem.
//
// A fault may be limited to paths under a folder (for writes and flushes,
// the path the descriptor was created at), so a test can break the folder
// it is about while everything else keeps working.
//
// Any thread; the fake must outlive the scope that installs it.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/base/file_system.h"

namespace fakes {

class FaultyFileSystem : public kxbase::ForwardingFileSystem {
  public:
    enum class Call { kCreate, kWrite, kSync, kClose, kRename, kRenameNoReplace, kRemove, kRead };

    FaultyFileSystem() : ForwardingFileSystem(kxbase::RealFileSystem()) {}

    // From the nth call of the kind on (counted from now, only calls on
    // paths starting with under), each fails with error: a disk that stays
    // full. InjectOnce fails the nth call alone. One fault per kind.
    void Inject(Call call, int error, int nth = 1, const std::string& under = "");
    void InjectOnce(Call call, int error, int nth = 1, const std::string& under = "");
    void Clear();
    // How many calls of the kind have failed so far.
    int failures(Call call) const;

    int CreateSibling(const char* path, std::string* created, int* fd) override;
    int CreateExclusive(const char* path, int* fd) override;
    int CreateUnnamed(const char* folder, int* fd) override;
    int Read(int fd, void* buffer, size_t size, size_t* got) override;
    int Write(int fd, const void* data, size_t size, size_t* written) override;
    int Sync(int fd) override;
    int Close(int fd) override;
    int Rename(const char* from, const char* to) override;
    int RenameNoReplace(const char* from, const char* to) override;
    int Remove(const char* path) override;

  private:
    struct Armed {
        int error = 0;
        int nth = 1;
        bool persistent = true;
        std::string under;
        int seen = 0;
        int failed = 0;
    };
    // The error the call fails with, or 0 to pass it on.
    int Trip(Call call, const std::string& path);
    std::string PathOf(int fd);
    int Opened(int result, int fd, const std::string& path);

    mutable std::mutex mutex_;
    std::map<Call, Armed> faults_;
    std::map<int, std::string> paths_;
};

}  // namespace fakes

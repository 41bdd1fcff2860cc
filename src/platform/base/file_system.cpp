#include "platform/base/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace kxbase {

namespace {

int ErrnoOf(bool ok) {
    return ok ? 0 : errno;
}

int Opened(int fd, int* out) {
    *out = fd;
    return ErrnoOf(fd >= 0);
}

FileType TypeOf(mode_t mode) {
    if (S_ISREG(mode)) return FileType::kRegular;
    if (S_ISDIR(mode)) return FileType::kDirectory;
    if (S_ISLNK(mode)) return FileType::kLink;
    return FileType::kOther;
}

void Describe(const struct stat& info, FileStatus* status) {
    status->type = TypeOf(info.st_mode);
    status->size = static_cast<uint64_t>(info.st_size);
    status->device = static_cast<uint64_t>(info.st_dev);
    status->inode = static_cast<uint64_t>(info.st_ino);
}

class PosixFileSystem final : public FileSystem {
  public:
    int OpenForReading(const char* path, int* fd) override {
        return Opened(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK), fd);
    }

    int CreateSibling(const char* path, std::string* created, int* fd) override {
        std::string name = std::string(path) + ".XXXXXX";
        int result = Opened(mkostemp(name.data(), O_CLOEXEC), fd);
        if (result == 0) *created = name;
        return result;
    }

    int CreateUnnamed(const char* folder, int* fd) override {
        return Opened(open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600), fd);
    }

    int CreateExclusive(const char* path, int* fd) override {
        return Opened(open(path, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600), fd);
    }

    int Read(int fd, void* buffer, size_t size, size_t* got) override {
        ssize_t count;
        do {
            count = read(fd, buffer, size);
        } while (count < 0 && errno == EINTR);
        *got = count > 0 ? static_cast<size_t>(count) : 0;
        return ErrnoOf(count >= 0);
    }

    int Write(int fd, const void* data, size_t size, size_t* written) override {
        ssize_t count;
        do {
            count = write(fd, data, size);
        } while (count < 0 && errno == EINTR);
        *written = count > 0 ? static_cast<size_t>(count) : 0;
        if (count == 0 && size != 0) return EIO;
        return ErrnoOf(count >= 0);
    }

    int SetMode(int fd, unsigned mode) override {
        return ErrnoOf(fchmod(fd, static_cast<mode_t>(mode)) == 0);
    }

    int Sync(int fd) override { return ErrnoOf(fsync(fd) == 0); }

    int Close(int fd) override { return ErrnoOf(close(fd) == 0); }

    int StatOpen(int fd, FileStatus* status) override {
        struct stat info {};
        if (fstat(fd, &info) != 0) return errno;
        Describe(info, status);
        return 0;
    }

    int Stat(const char* path, bool followLink, FileStatus* status) override {
        struct stat info {};
        *status = FileStatus{};
        if ((followLink ? stat(path, &info) : lstat(path, &info)) != 0) return errno;
        Describe(info, status);
        return 0;
    }

    int Rename(const char* from, const char* to) override { return ErrnoOf(rename(from, to) == 0); }

    int RenameNoReplace(const char* from, const char* to) override {
        if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
        if (errno != EINVAL && errno != ENOSYS) return errno;
        // File systems without RENAME_NOREPLACE: link fails when the target exists.
        if (link(from, to) != 0) return errno;
        unlink(from);
        return 0;
    }

    int Remove(const char* path) override { return ErrnoOf(unlink(path) == 0); }

    int ListFolder(const char* folder, std::vector<std::string>* names) override {
        names->clear();
        DIR* dir = opendir(folder);
        if (dir == nullptr) return errno;
        errno = 0;
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names->push_back(std::move(name));
            errno = 0;
        }
        int result = errno;
        closedir(dir);
        return result;
    }
};

std::atomic<FileSystem*>& Current() {
    static std::atomic<FileSystem*> current{&RealFileSystem()};
    return current;
}

}  // namespace

FileSystem& RealFileSystem() {
    static PosixFileSystem real;
    return real;
}

FileSystem& CurrentFileSystem() {
    return *Current().load(std::memory_order_acquire);
}

ScopedFileSystem::ScopedFileSystem(FileSystem& replacement)
    : previous_(Current().exchange(&replacement, std::memory_order_acq_rel)) {}

ScopedFileSystem::~ScopedFileSystem() {
    Current().store(previous_, std::memory_order_release);
}

int ForwardingFileSystem::OpenForReading(const char* path, int* fd) {
    return target_.OpenForReading(path, fd);
}
int ForwardingFileSystem::CreateSibling(const char* path, std::string* created, int* fd) {
    return target_.CreateSibling(path, created, fd);
}
int ForwardingFileSystem::CreateUnnamed(const char* folder, int* fd) {
    return target_.CreateUnnamed(folder, fd);
}
int ForwardingFileSystem::CreateExclusive(const char* path, int* fd) {
    return target_.CreateExclusive(path, fd);
}
int ForwardingFileSystem::Read(int fd, void* buffer, size_t size, size_t* got) {
    return target_.Read(fd, buffer, size, got);
}
int ForwardingFileSystem::Write(int fd, const void* data, size_t size, size_t* written) {
    return target_.Write(fd, data, size, written);
}
int ForwardingFileSystem::SetMode(int fd, unsigned mode) {
    return target_.SetMode(fd, mode);
}
int ForwardingFileSystem::Sync(int fd) {
    return target_.Sync(fd);
}
int ForwardingFileSystem::Close(int fd) {
    return target_.Close(fd);
}
int ForwardingFileSystem::StatOpen(int fd, FileStatus* status) {
    return target_.StatOpen(fd, status);
}
int ForwardingFileSystem::Stat(const char* path, bool followLink, FileStatus* status) {
    return target_.Stat(path, followLink, status);
}
int ForwardingFileSystem::Rename(const char* from, const char* to) {
    return target_.Rename(from, to);
}
int ForwardingFileSystem::RenameNoReplace(const char* from, const char* to) {
    return target_.RenameNoReplace(from, to);
}
int ForwardingFileSystem::Remove(const char* path) {
    return target_.Remove(path);
}
int ForwardingFileSystem::ListFolder(const char* folder, std::vector<std::string>* names) {
    return target_.ListFolder(folder, names);
}

}  // namespace kxbase

#include "platform/base/kx_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/base/file_system.h"
#include "platform/base/kx_log.h"
#include "platform/base/kx_status.h"

using kxbase::CurrentFileSystem;
using kxbase::FileStatus;
using kxbase::FileType;

namespace {

constexpr size_t kReadChunk = size_t{1} << 20;

FileStatus StatusOf(const char* path, bool followLink = true) {
    FileStatus status;
    if (path != nullptr) CurrentFileSystem().Stat(path, followLink, &status);
    return status;
}

int LogFailure(const char* action, const char* path, int error) {
    KXBase_WriteInfo(KX_LOG_INFO, "%s failed, path=%s: %s", action, path, std::strerror(error));
    return KX_ERR_SYSTEM;
}

}  // namespace

bool KXBase_PathExists(const char* path) {
    return StatusOf(path).type != FileType::kMissing;
}

bool KXBase_IsRegularFile(const char* path) {
    return StatusOf(path).type == FileType::kRegular;
}

bool KXBase_IsDirectory(const char* path) {
    return StatusOf(path).type == FileType::kDirectory;
}

bool KXBase_IsReadableFile(const char* path) {
    return KXReadFile().Open(path) == KX_OK;
}

bool KXBase_IsSameFile(const char* first, const char* second) {
    FileStatus one = StatusOf(first);
    FileStatus other = StatusOf(second);
    return one.type != FileType::kMissing && other.type != FileType::kMissing &&
           one.device == other.device && one.inode == other.inode;
}

int KXBase_MoveFile(const char* from, const char* to) {
    if (from == nullptr || to == nullptr) return KX_ERR_ARGUMENT;
    int error = CurrentFileSystem().RenameNoReplace(from, to);
    return error == 0 ? KX_OK : LogFailure("move file", from, error);
}

int KXBase_DeleteFile(const char* path) {
    if (path == nullptr || *path == '\0') return KX_ERR_ARGUMENT;
    if (KXBase_IsDirectory(path)) return KX_ERR_ARGUMENT;
    int error = CurrentFileSystem().Remove(path);
    if (error == 0) return KX_OK;
    // Deleting what is already gone is how cleanup paths run; not worth a line.
    return error == ENOENT ? KX_ERR_SYSTEM : LogFailure("delete file", path, error);
}

int KXBase_ReplaceFile(const char* path, const void* data, size_t size, KXReplaceMode mode,
                       KXFileAccess access) {
    if (path == nullptr || (data == nullptr && size != 0)) return KX_ERR_ARGUMENT;
    KXFileReplacement file(path, mode, access);
    if (!file.Append(data, size)) return KX_ERR_SYSTEM;
    return file.Commit();
}

int KXBase_ReadWholeFile(const char* path, uint64_t limit, std::vector<uint8_t>* bytes) {
    if (bytes == nullptr) return KX_ERR_ARGUMENT;
    bytes->clear();
    KXReadFile file;
    int status = file.Open(path);
    if (status != KX_OK) return status;
    if (file.size() > limit) return KX_ERR_DATA;
    bytes->resize(static_cast<size_t>(file.size()));
    size_t done = 0;
    while (done < bytes->size()) {
        size_t got = 0;
        size_t want = std::min(kReadChunk, bytes->size() - done);
        if (file.Read(bytes->data() + done, want, &got) != KX_OK) {
            bytes->clear();
            return KX_ERR_SYSTEM;
        }
        if (got == 0) break;
        done += got;
    }
    bytes->resize(done);
    return KX_OK;
}

int KXBase_ListFiles(const char* folder, std::vector<std::string>* names) {
    if (folder == nullptr || names == nullptr) return KX_ERR_ARGUMENT;
    std::vector<KXFolderEntry> entries;
    names->clear();
    int status = KXBase_ListFolder(folder, &entries);
    if (status != KX_OK) return status;
    std::string base = folder;
    if (base.empty() || base.back() != '/') base.push_back('/');
    for (KXFolderEntry& entry : entries) {
        if (entry.plainFile || KXBase_IsRegularFile((base + entry.name).c_str()))
            names->push_back(std::move(entry.name));
    }
    return KX_OK;
}

int KXBase_ListFolder(const char* folder, std::vector<KXFolderEntry>* entries) {
    if (folder == nullptr || entries == nullptr) return KX_ERR_ARGUMENT;
    entries->clear();
    std::vector<std::string> names;
    int error = CurrentFileSystem().ListFolder(folder, &names);
    if (error != 0)
        return error == ENOENT ? KX_ERR_NOT_FOUND : LogFailure("list folder", folder, error);
    std::string base = folder;
    if (base.empty() || base.back() != '/') base.push_back('/');
    for (std::string& name : names) {
        bool plain = StatusOf((base + name).c_str(), false).type == FileType::kRegular;
        entries->push_back(KXFolderEntry{std::move(name), plain});
    }
    return KX_OK;
}

int KXBase_CheckFolderWritable(const char* folder, const char* probe) {
    if (folder == nullptr || probe == nullptr) return KX_ERR_ARGUMENT;
    // An unnamed file has no name to leave behind.
    int fd = -1;
    int error = CurrentFileSystem().CreateUnnamed(folder, &fd);
    if (error == 0) {
        CurrentFileSystem().Close(fd);
        return KX_OK;
    }
    if (error != EOPNOTSUPP && error != EISDIR) return LogFailure("write probe", folder, error);
    error = CurrentFileSystem().CreateExclusive(probe, &fd);
    if (error != 0) return LogFailure("write probe", probe, error);
    CurrentFileSystem().Close(fd);
    return KXBase_DeleteFile(probe);
}

KXReadFile::~KXReadFile() {
    if (fd_ >= 0) CurrentFileSystem().Close(fd_);
}

int KXReadFile::Open(const char* path) {
    if (path == nullptr || fd_ >= 0) return KX_ERR_ARGUMENT;
    FileStatus status;
    int fd = -1;
    if (CurrentFileSystem().OpenForReading(path, &fd) != 0) return KX_ERR_NOT_FOUND;
    if (CurrentFileSystem().StatOpen(fd, &status) != 0 || status.type != FileType::kRegular) {
        CurrentFileSystem().Close(fd);
        return KX_ERR_NOT_FOUND;
    }
    fd_ = fd;
    path_ = path;
    size_ = status.size;
    return KX_OK;
}

int KXReadFile::Read(void* buffer, size_t size, size_t* got) {
    *got = 0;
    if (fd_ < 0) return KX_ERR_STATE;
    int error = CurrentFileSystem().Read(fd_, buffer, size, got);
    return error == 0 ? KX_OK : LogFailure("read file", path_.c_str(), error);
}

KXFileReplacement::KXFileReplacement(std::string path, KXReplaceMode mode, KXFileAccess access)
    : path_(std::move(path)), mode_(mode), access_(access) {
    int error = CurrentFileSystem().CreateSibling(path_.c_str(), &sibling_, &fd_);
    if (error != 0) {
        fd_ = -1;
        Fail("create", error);
    }
}

KXFileReplacement::~KXFileReplacement() {
    Discard();
}

bool KXFileReplacement::Append(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t done = 0; ok() && done < size;) {
        size_t wrote = 0;
        int error = CurrentFileSystem().Write(fd_, bytes + done, size - done, &wrote);
        if (!Check("write", error)) return false;
        done += wrote;
    }
    return ok();
}

int KXFileReplacement::Commit() {
    if (!ok()) return KX_ERR_SYSTEM;
    kxbase::FileSystem& files = CurrentFileSystem();
    // The sibling was created 0600, the private mode.
    if (access_ != KX_FILE_PRIVATE && !Check("set mode", files.SetMode(fd_, 0644)))
        return KX_ERR_SYSTEM;
    if (mode_ == KX_REPLACE_DURABLE && !Check("flush", files.Sync(fd_))) return KX_ERR_SYSTEM;
    int fd = std::exchange(fd_, -1);
    if (!Check("close", files.Close(fd)) ||
        !Check("rename", files.Rename(sibling_.c_str(), path_.c_str()))) {
        return KX_ERR_SYSTEM;
    }
    sibling_.clear();
    return KX_OK;
}

bool KXFileReplacement::Check(const char* step, int error) {
    return error == 0 || Fail(step, error);
}

bool KXFileReplacement::Fail(const char* step, int error) {
    if (error_ == 0) {
        error_ = error;
        KXBase_WriteInfo(KX_LOG_INFO, "replace file failed, path=%s: %s: %s", path_.c_str(), step,
                         std::strerror(error));
    }
    return false;
}

void KXFileReplacement::Discard() {
    if (fd_ >= 0) CurrentFileSystem().Close(fd_);
    fd_ = -1;
    if (!sibling_.empty()) CurrentFileSystem().Remove(sibling_.c_str());
    sibling_.clear();
}

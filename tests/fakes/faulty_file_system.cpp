#include "fakes/faulty_file_system.h"

namespace fakes {

void FaultyFileSystem::Inject(Call call, int error, int nth, const std::string& under) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_[call] = Armed{error, nth, true, under};
}

void FaultyFileSystem::InjectOnce(Call call, int error, int nth, const std::string& under) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_[call] = Armed{error, nth, false, under};
}

void FaultyFileSystem::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
}

int FaultyFileSystem::failures(Call call) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = faults_.find(call);
    return found == faults_.end() ? 0 : found->second.failed;
}

int FaultyFileSystem::Trip(Call call, const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = faults_.find(call);
    if (found == faults_.end()) return 0;
    Armed& armed = found->second;
    if (!path.starts_with(armed.under)) return 0;
    ++armed.seen;
    bool fails = armed.persistent ? armed.seen >= armed.nth : armed.seen == armed.nth;
    if (!fails) return 0;
    ++armed.failed;
    return armed.error;
}

std::string FaultyFileSystem::PathOf(int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = paths_.find(fd);
    return found == paths_.end() ? std::string() : found->second;
}

int FaultyFileSystem::Opened(int result, int fd, const std::string& path) {
    if (result == 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        paths_[fd] = path;
    }
    return result;
}

int FaultyFileSystem::CreateSibling(const char* path, std::string* created, int* fd) {
    if (int error = Trip(Call::kCreate, path)) return error;
    int result = ForwardingFileSystem::CreateSibling(path, created, fd);
    return Opened(result, *fd, path);
}

int FaultyFileSystem::CreateExclusive(const char* path, int* fd) {
    if (int error = Trip(Call::kCreate, path)) return error;
    int result = ForwardingFileSystem::CreateExclusive(path, fd);
    return Opened(result, *fd, path);
}

int FaultyFileSystem::CreateUnnamed(const char* folder, int* fd) {
    if (int error = Trip(Call::kCreate, folder)) return error;
    int result = ForwardingFileSystem::CreateUnnamed(folder, fd);
    return Opened(result, *fd, folder);
}

int FaultyFileSystem::Read(int fd, void* buffer, size_t size, size_t* got) {
    *got = 0;
    if (int error = Trip(Call::kRead, PathOf(fd))) return error;
    return ForwardingFileSystem::Read(fd, buffer, size, got);
}

int FaultyFileSystem::Write(int fd, const void* data, size_t size, size_t* written) {
    *written = 0;
    if (int error = Trip(Call::kWrite, PathOf(fd))) return error;
    return ForwardingFileSystem::Write(fd, data, size, written);
}

int FaultyFileSystem::Sync(int fd) {
    if (int error = Trip(Call::kSync, PathOf(fd))) return error;
    return ForwardingFileSystem::Sync(fd);
}

int FaultyFileSystem::Close(int fd) {
    std::string path = PathOf(fd);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        paths_.erase(fd);
    }
    // The descriptor is released even when the close reports an error, as
    // close(2) does.
    int result = ForwardingFileSystem::Close(fd);
    if (int error = Trip(Call::kClose, path)) return error;
    return result;
}

int FaultyFileSystem::Rename(const char* from, const char* to) {
    if (int error = Trip(Call::kRename, to)) return error;
    return ForwardingFileSystem::Rename(from, to);
}

int FaultyFileSystem::RenameNoReplace(const char* from, const char* to) {
    if (int error = Trip(Call::kRenameNoReplace, to)) return error;
    return ForwardingFileSystem::RenameNoReplace(from, to);
}

int FaultyFileSystem::Remove(const char* path) {
    if (int error = Trip(Call::kRemove, path)) return error;
    return ForwardingFileSystem::Remove(path);
}

}  // namespace fakes

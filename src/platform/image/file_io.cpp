#include "platform/image/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/base/file_holders.h"
#include "platform/base/kx_status.h"

namespace kximage {

bool IsReadableFile(const char* path) {
    struct stat status {};
    return stat(path, &status) == 0 && S_ISREG(status.st_mode);
}

int ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
    bytes->clear();
    FdHolder file(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) return KX_ERR_NOT_FOUND;
    struct stat status {};
    if (fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return KX_ERR_NOT_FOUND;
    if (status.st_size <= 0 || static_cast<uint64_t>(status.st_size) > kMaxInputFileBytes)
        return KX_ERR_DATA;
    bytes->resize(static_cast<size_t>(status.st_size));
    size_t done = 0;
    while (done < bytes->size()) {
        ssize_t got = read(file.get(), bytes->data() + done, bytes->size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    bytes->resize(done);  // a file that shrank while being read gives what it had
    return done == 0 ? KX_ERR_DATA : KX_OK;
}

int WriteWholeFile(const char* path, const uint8_t* data, size_t size) {
    FdHolder file(open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (file.get() < 0) return KX_ERR_SYSTEM;
    RemoveOnFailure guard(path);
    size_t done = 0;
    while (done < size) {
        ssize_t put = write(file.get(), data + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return KX_ERR_SYSTEM;
        done += static_cast<size_t>(put);
    }
    if (!file.Close()) return KX_ERR_SYSTEM;
    guard.Keep();
    return KX_OK;
}

RemoveOnFailure::~RemoveOnFailure() {
    if (!keep_) unlink(path_.c_str());
}

}  // namespace kximage

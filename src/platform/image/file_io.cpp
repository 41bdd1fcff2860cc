#include "platform/image/file_io.h"

#include "platform/base/kx_files.h"
#include "platform/base/kx_status.h"

namespace kximage {

bool IsReadableFile(const char* path) {
    return KXBase_IsRegularFile(path);
}

int ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
    int status = KXBase_ReadWholeFile(path, kMaxInputFileBytes, bytes);
    if (status == KX_ERR_SYSTEM) status = KX_ERR_DATA;
    return status == KX_OK && bytes->empty() ? KX_ERR_DATA : status;
}

int WriteWholeFile(const char* path, const uint8_t* data, size_t size) {
    return KXBase_ReplaceFile(path, data, size, KX_REPLACE_DURABLE);
}

RemoveOnFailure::~RemoveOnFailure() {
    if (!keep_) KXBase_DeleteFile(path_.c_str());
}

}  // namespace kximage

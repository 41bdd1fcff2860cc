#include "ver_2/error_info.h"

#include <utility>

#include "platform/base/encoding.h"
#include "platform/base/kx_files.h"
#include "platform/driver/sane_qnsane.h"

namespace ver_2 {

int Refuse(ErrorInfo& error, std::string detail) {
    error.text = kErrorText;
    error.detail = std::move(detail);
    return -1;
}

int RefuseSetting(ErrorInfo& error, std::string detail) {
    error.text = kParameterErrorText;
    error.detail = std::move(detail);
    return -1;
}

std::string AboutFile(const char* what, const std::string& path) {
    return std::string(what) + ": " + AnsiToUtf8(path);
}

std::string FileRefusal(const std::string& path) {
    if (path.empty()) return "no file path given";
    if (!KXBase_PathExists(path.c_str())) return AboutFile("file not found", path);
    if (!KXBase_IsRegularFile(path.c_str())) return AboutFile("not a regular file", path);
    if (!KXBase_IsReadableFile(path.c_str())) return AboutFile("file cannot be read", path);
    return {};
}

std::string OutsideRange(const char* what, long long value, long long low, long long high) {
    return std::string(what) + " " + std::to_string(value) + " is outside " + std::to_string(low) +
           ".." + std::to_string(high);
}

std::string NoImageAt(const char* what, int32_t index, size_t count) {
    if (count == 0) {
        return std::string(what) + " " + std::to_string(index) +
               " is outside the current batch, which has no images";
    }
    return OutsideRange(what, index, 0, static_cast<long long>(count) - 1);
}

int CheckImageIndex(const char* what, int32_t index, size_t count, ErrorInfo& error) {
    if (index >= 0 && static_cast<size_t>(index) < count) return 0;
    return Refuse(error, NoImageAt(what, index, count));
}

int CheckImageIndexList(const std::vector<int32_t>& indexes, size_t count, ErrorInfo& error) {
    if (indexes.empty()) return Refuse(error, "image_index_list is missing or empty");
    for (int32_t index : indexes) {
        if (CheckImageIndex("image_index_list entry", index, count, error) != 0) return -1;
    }
    return 0;
}

std::string DriverStatusText(int status) {
    switch (status) {
        case SANE_STATUS_UNSUPPORTED:
            return "operation not supported";
        case SANE_STATUS_INVAL:
            return "invalid argument";
        case SANE_STATUS_DEVICE_BUSY:
            return "device busy";
        case SANE_STATUS_IO_ERROR:
            return "input/output error";
        case SANE_STATUS_NO_MEM:
            return "out of memory";
        case SANE_STATUS_ACCESS_DENIED:
            return "access denied";
        default:
            return "driver status " + std::to_string(status);
    }
}

}  // namespace ver_2

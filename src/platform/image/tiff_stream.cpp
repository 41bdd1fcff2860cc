#include "platform/image/tiff_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/base/kx_log.h"

namespace kximage {
namespace {

constexpr tmsize_t kMaxLibraryAllocation = tmsize_t{256} << 20;

int LogError(TIFF*, void*, const char* module, const char* format, va_list args) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    KXBase_WriteInfo(KX_LOG_INFO, "tiff %s: %s", module == nullptr ? "" : module, text);
    return 1;
}

int DropWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

void LogGlobalError(const char* module, const char* format, va_list args) {
    LogError(nullptr, nullptr, module, format, args);
}

// Messages libtiff sends without a handle go to the process-wide handlers.
void RouteGlobalMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(LogGlobalError);
        TIFFSetWarningHandler(nullptr);
    });
}

struct Options {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    Options() {
        RouteGlobalMessages();
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibraryAllocation);
        TIFFOpenOptionsSetErrorHandlerExtR(options, LogError, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options, DropWarning, nullptr);
    }
    ~Options() { TIFFOpenOptionsFree(options); }
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;
};

TiffMemory* MemoryOf(thandle_t handle) {
    return static_cast<TiffMemory*>(handle);
}

tmsize_t ReadMemory(thandle_t handle, void* buffer, tmsize_t size) {
    TiffMemory* memory = MemoryOf(handle);
    if (memory->input == nullptr || size < 0 || memory->position >= memory->inputSize)
        return memory->input == nullptr ? -1 : 0;
    uint64_t count =
        std::min<uint64_t>(static_cast<uint64_t>(size), memory->inputSize - memory->position);
    std::memcpy(buffer, memory->input + memory->position, count);
    memory->position += count;
    return static_cast<tmsize_t>(count);
}

bool Store(std::vector<uint8_t>* output, uint64_t at, const void* data, size_t size) noexcept {
    try {
        if (at + size > output->size()) output->resize(at + size);
        std::memcpy(output->data() + at, data, size);
        return true;
    } catch (...) {
        return false;
    }
}

tmsize_t WriteMemory(thandle_t handle, void* buffer, tmsize_t size) {
    TiffMemory* memory = MemoryOf(handle);
    if (memory->output == nullptr || size < 0) return -1;
    if (!Store(memory->output, memory->position, buffer, static_cast<size_t>(size))) return -1;
    memory->position += static_cast<uint64_t>(size);
    return size;
}

toff_t SeekMemory(thandle_t handle, toff_t offset, int whence) {
    TiffMemory* memory = MemoryOf(handle);
    uint64_t size = memory->output != nullptr ? memory->output->size() : memory->inputSize;
    uint64_t base = whence == SEEK_CUR ? memory->position : whence == SEEK_END ? size : 0;
    memory->position = base + offset;
    return memory->position;
}

int CloseMemory(thandle_t) {
    return 0;
}

toff_t SizeOfMemory(thandle_t handle) {
    TiffMemory* memory = MemoryOf(handle);
    return memory->output != nullptr ? memory->output->size() : memory->inputSize;
}

int MapMemory(thandle_t handle, void** base, toff_t* size) {
    TiffMemory* memory = MemoryOf(handle);
    if (memory->input == nullptr) return 0;
    *base = const_cast<uint8_t*>(memory->input);
    *size = memory->inputSize;
    return 1;
}

void UnmapMemory(thandle_t, void*, toff_t) {}

TiffPtr OpenMemory(TiffMemory* memory, const char* mode) {
    Options options;
    return TiffPtr(TIFFClientOpenExt("memory", mode, memory, ReadMemory, WriteMemory, SeekMemory,
                                     CloseMemory, SizeOfMemory, MapMemory, UnmapMemory,
                                     options.options));
}

}  // namespace

TiffPtr OpenTiffReader(TiffMemory* memory) {
    memory->position = 0;
    return OpenMemory(memory, "r");
}

TiffPtr OpenTiffMemoryWriter(TiffMemory* memory) {
    memory->position = 0;
    memory->output->clear();
    return OpenMemory(memory, "w");
}

TiffPtr OpenTiffFileWriter(const char* path) {
    Options options;
    return TiffPtr(TIFFOpenExt(path, "w", options.options));
}

}  // namespace kximage

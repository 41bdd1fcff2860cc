// Whole-file reads and writes for the image-file library, through the base
// library's file table. A write replaces the file: it leaves the complete new
// file, or, when it fails, the file as it was. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kximage {

// Files larger than this are not read as images.
constexpr uint64_t kMaxInputFileBytes = uint64_t{1} << 30;

// True for an existing regular file (not a folder, pipe or device, which
// could block or never end).
bool IsReadableFile(const char* path);

// KX_ERR_NOT_FOUND when the file cannot be opened, KX_ERR_DATA when it is
// empty or larger than kMaxInputFileBytes.
int ReadWholeFile(const char* path, std::vector<uint8_t>* bytes);

// Creates or replaces path with the bytes, flushed to disk before the
// rename; on failure path keeps what it held.
int WriteWholeFile(const char* path, const uint8_t* data, size_t size);

// Removes a file on destruction unless Keep() was called: the guard of code
// that writes a file in several steps.
class RemoveOnFailure {
  public:
    explicit RemoveOnFailure(std::string path) : path_(std::move(path)) {}
    ~RemoveOnFailure();
    RemoveOnFailure(const RemoveOnFailure&) = delete;
    RemoveOnFailure& operator=(const RemoveOnFailure&) = delete;

    void Keep() { keep_ = true; }

  private:
    std::string path_;
    bool keep_ = false;
};

}  // namespace kximage

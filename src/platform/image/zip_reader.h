// Read access to the entries of a ZIP archive (libzip), for OFD documents.
// Entry sizes are checked before anything is allocated. One thread at a time
// per reader; the reader owns the open archive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct zip;

namespace kximage {

class ZipReader {
  public:
    // Null when path is not a readable ZIP archive.
    static std::unique_ptr<ZipReader> Open(const char* path);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // Entry names match exactly, else without regard to case; a leading "/"
    // is ignored.
    bool Has(const std::string& name) const;
    // KX_ERR_NOT_FOUND when there is no such entry, KX_ERR_DATA when it is
    // larger than maxBytes or cannot be read completely.
    int Read(const std::string& name, uint64_t maxBytes, std::vector<uint8_t>* bytes) const;

  private:
    explicit ZipReader(struct zip* archive) : archive_(archive) {}
    int64_t Locate(const std::string& name) const;

    struct zip* archive_;
};

}  // namespace kximage

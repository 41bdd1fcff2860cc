// A ZIP archive built in memory with libzip and written to its path through
// the file table (kx_files.h) when closed: the path then holds the complete
// archive, or, after any failure, what it held before.
//
// Entries read from files are read (through the file table) when added, so a
// file that cannot be read is left out there instead of failing the close.
// A later entry of the same name replaces the earlier one. Names are UTF-8.
//
// Thread rule: one thread at a time. The writer owns its archive and the
// bytes of the entries it read; AddBorrowed's bytes stay the caller's and
// must live until Close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/base/kx_files.h"

struct zip;
struct zip_source;

class KXZipWriter {
  public:
    explicit KXZipWriter(std::string path);
    ~KXZipWriter();
    KXZipWriter(const KXZipWriter&) = delete;
    KXZipWriter& operator=(const KXZipWriter&) = delete;

    bool IsOpen() const { return archive_ != nullptr; }
    // Entries added so far (a replaced name counts once per add).
    size_t entries() const { return entries_; }

    // Compressed entries: text, or the whole content of a readable regular
    // file (false, adding nothing, for anything else).
    bool AddText(const std::string& name, std::string text);
    bool AddFile(const std::string& name, const std::string& path);
    // Bytes stored as they are (for images, already compressed).
    bool AddBorrowed(const std::string& name, const void* data, size_t size);

    // Builds the archive and writes it to the path, flushed to disk before
    // it replaces what is there; KX_ERR_STATE when it has no entry,
    // KX_ERR_SYSTEM when building or writing it fails (logged).
    int Close();

  private:
    bool Add(const std::string& name, const void* data, size_t size, bool compress);
    int WriteOut(zip_source* built);

    std::string path_;
    zip_source* buffer_ = nullptr;
    zip* archive_ = nullptr;
    size_t entries_ = 0;
    std::deque<std::string> texts_;
    std::deque<std::vector<uint8_t>> files_;
};

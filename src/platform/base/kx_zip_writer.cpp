#include "platform/base/kx_zip_writer.h"

#include <zip.h>

#include "platform/base/kx_log.h"
#include "platform/base/kx_status.h"

namespace {

// Inputs larger than this are left out of an archive.
constexpr uint64_t kMaxEntryBytes = uint64_t{1} << 30;
constexpr size_t kCopyChunk = size_t{1} << 20;

int Failed(const std::string& path, const char* step, const char* reason) {
    KXBase_WriteInfo(KX_LOG_INFO, "zip write failed, path=%s: %s: %s", path.c_str(), step, reason);
    return KX_ERR_SYSTEM;
}

// Opens the built archive's source for reading and closes it on scope exit.
class SourceReading {
  public:
    explicit SourceReading(zip_source_t* source)
        : source_(source), open_(zip_source_open(source) == 0) {}
    ~SourceReading() {
        if (open_) zip_source_close(source_);
    }
    SourceReading(const SourceReading&) = delete;
    SourceReading& operator=(const SourceReading&) = delete;

    bool open() const { return open_; }

  private:
    zip_source_t* source_;
    bool open_;
};

}  // namespace

KXZipWriter::KXZipWriter(std::string path) : path_(std::move(path)) {
    zip_error_t error;
    zip_error_init(&error);
    buffer_ = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (buffer_ != nullptr) {
        // Kept past zip_close, which writes the archive into it.
        zip_source_keep(buffer_);
        archive_ = zip_open_from_source(buffer_, ZIP_CREATE | ZIP_TRUNCATE, &error);
    }
    if (archive_ == nullptr) Failed(path_, "open", zip_error_strerror(&error));
    zip_error_fini(&error);
}

KXZipWriter::~KXZipWriter() {
    if (archive_ != nullptr) zip_discard(archive_);
    if (buffer_ != nullptr) zip_source_free(buffer_);
}

bool KXZipWriter::AddText(const std::string& name, std::string text) {
    texts_.push_back(std::move(text));
    return Add(name, texts_.back().data(), texts_.back().size(), true);
}

bool KXZipWriter::AddFile(const std::string& name, const std::string& path) {
    if (!IsOpen()) return false;
    std::vector<uint8_t> bytes;
    if (KXBase_ReadWholeFile(path.c_str(), kMaxEntryBytes, &bytes) != KX_OK) return false;
    files_.push_back(std::move(bytes));
    return Add(name, files_.back().data(), files_.back().size(), true);
}

bool KXZipWriter::AddBorrowed(const std::string& name, const void* data, size_t size) {
    return Add(name, data, size, false);
}

bool KXZipWriter::Add(const std::string& name, const void* data, size_t size, bool compress) {
    if (!IsOpen()) return false;
    zip_source_t* source = zip_source_buffer(archive_, data, size, 0);
    if (source == nullptr) return false;
    zip_int64_t index =
        zip_file_add(archive_, name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    ++entries_;
    zip_int32_t method = compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
    return zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), method, 0) == 0;
}

int KXZipWriter::Close() {
    if (!IsOpen()) return KX_ERR_SYSTEM;
    if (entries_ == 0) return KX_ERR_STATE;
    if (zip_close(archive_) != 0) return Failed(path_, "build", zip_strerror(archive_));
    archive_ = nullptr;
    return WriteOut(buffer_);
}

int KXZipWriter::WriteOut(zip_source_t* built) {
    SourceReading reading(built);
    if (!reading.open())
        return Failed(path_, "read back", zip_error_strerror(zip_source_error(built)));
    KXFileReplacement file(path_, KX_REPLACE_DURABLE);
    std::vector<uint8_t> chunk(kCopyChunk);
    for (;;) {
        zip_int64_t got = zip_source_read(built, chunk.data(), chunk.size());
        if (got < 0) return Failed(path_, "read back", zip_error_strerror(zip_source_error(built)));
        if (got == 0) break;
        if (!file.Append(chunk.data(), static_cast<size_t>(got))) return KX_ERR_SYSTEM;
    }
    return file.Commit();
}

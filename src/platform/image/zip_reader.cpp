#include "platform/image/zip_reader.h"

#include <zip.h>

#include "platform/base/kx_status.h"

namespace kximage {

std::unique_ptr<ZipReader> ZipReader::Open(const char* path) {
    int error = 0;
    zip_t* archive = zip_open(path, ZIP_RDONLY, &error);
    if (archive == nullptr) return nullptr;
    return std::unique_ptr<ZipReader>(new ZipReader(archive));
}

ZipReader::~ZipReader() {
    zip_discard(archive_);
}

int64_t ZipReader::Locate(const std::string& name) const {
    std::string entry = name;
    while (!entry.empty() && entry.front() == '/')
        entry.erase(entry.begin());
    if (entry.empty()) return -1;
    zip_int64_t index = zip_name_locate(archive_, entry.c_str(), 0);
    if (index < 0) index = zip_name_locate(archive_, entry.c_str(), ZIP_FL_NOCASE);
    return index;
}

bool ZipReader::Has(const std::string& name) const {
    return Locate(name) >= 0;
}

int ZipReader::Read(const std::string& name, uint64_t maxBytes, std::vector<uint8_t>* bytes) const {
    bytes->clear();
    int64_t index = Locate(name);
    if (index < 0) return KX_ERR_NOT_FOUND;
    zip_stat_t status;
    zip_stat_init(&status);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &status) != 0 ||
        (status.valid & ZIP_STAT_SIZE) == 0 || status.size == 0 || status.size > maxBytes)
        return KX_ERR_DATA;
    zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (file == nullptr) return KX_ERR_DATA;
    bytes->resize(status.size);
    zip_int64_t got = zip_fread(file, bytes->data(), status.size);
    zip_fclose(file);
    if (got < 0 || static_cast<zip_uint64_t>(got) != status.size) {
        bytes->clear();
        return KX_ERR_DATA;
    }
    return KX_OK;
}

}  // namespace kximage

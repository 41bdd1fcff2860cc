#include "platform/base/kx_profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

#include "platform/base/ini_document.h"

namespace {

std::mutex& ProfileMutex() {
    static std::mutex mutex;
    return mutex;
}

IniDocument ReadDocument(const char* file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return IniDocument::Parse("");
    std::ostringstream text;
    text << in.rdbuf();
    return IniDocument::Parse(text.str());
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote <= 0) return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// Writes the text to a temporary sibling, flushes it to disk, then renames it
// over the file, so readers see either the old or the new file complete.
int ReplaceFile(const char* file, const std::string& text) {
    std::string temporary = std::string(file) + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) return KX_ERR_SYSTEM;
    bool ok = WriteAll(fd, text) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) {
        chmod(temporary.c_str(), 0644);
        ok = rename(temporary.c_str(), file) == 0;
    }
    if (!ok) unlink(temporary.c_str());
    return ok ? KX_OK : KX_ERR_SYSTEM;
}

int SetValue(const char* file, const char* section, const char* key, const std::string& value) {
    if (file == nullptr || section == nullptr || key == nullptr) return KX_ERR_ARGUMENT;
    std::lock_guard guard(ProfileMutex());
    IniDocument document = ReadDocument(file);
    document.Set(section, key, value);
    return ReplaceFile(file, document.Text());
}

}  // namespace

int KXBase_GetProfileInt(const char* file, const char* section, const char* key, int defaultValue,
                         int* value) {
    if (file == nullptr || section == nullptr || key == nullptr || value == nullptr) {
        return KX_ERR_ARGUMENT;
    }
    std::lock_guard guard(ProfileMutex());
    auto text = ReadDocument(file).Get(section, key);
    if (!text) {
        *value = defaultValue;
        return KX_OK;
    }
    long number = std::strtol(text->c_str(), nullptr, 10);
    *value = static_cast<int>(std::clamp<long>(number, INT_MIN, INT_MAX));
    return KX_OK;
}

int KXBase_GetProfileString(const char* file, const char* section, const char* key,
                            const char* defaultValue, char* buffer, size_t size) {
    if (file == nullptr || section == nullptr || key == nullptr || buffer == nullptr || size == 0) {
        return KX_ERR_ARGUMENT;
    }
    std::string result;
    {
        std::lock_guard guard(ProfileMutex());
        auto text = ReadDocument(file).Get(section, key);
        result = text ? *text : (defaultValue != nullptr ? defaultValue : "");
    }
    size_t length = std::min(result.size(), size - 1);
    std::memcpy(buffer, result.data(), length);
    buffer[length] = '\0';
    return KX_OK;
}

int KXBase_SetProfileInt(const char* file, const char* section, const char* key, int value) {
    return SetValue(file, section, key, std::to_string(value));
}

int KXBase_SetProfileString(const char* file, const char* section, const char* key,
                            const char* text) {
    return SetValue(file, section, key, text != nullptr ? text : "");
}

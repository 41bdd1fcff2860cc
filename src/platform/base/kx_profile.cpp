#include "platform/base/kx_profile.h"

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
#include "platform/base/kx_paths.h"

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

int SetValue(const char* file, const char* section, const char* key, const std::string& value) {
    if (key == nullptr) return KX_ERR_ARGUMENT;
    return KXBase_SetProfileStrings(file, section, {{key, value}});
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

int KXBase_SetProfileStrings(const char* file, const char* section,
                             const std::vector<std::pair<std::string, std::string>>& values) {
    if (file == nullptr || section == nullptr) return KX_ERR_ARGUMENT;
    std::lock_guard guard(ProfileMutex());
    IniDocument document = ReadDocument(file);
    for (const auto& [key, value] : values)
        document.Set(section, key.c_str(), value);
    std::string text = document.Text();
    // Settings may hold passwords and upload addresses: the user's alone.
    return KXBase_ReplaceFile(file, text.data(), text.size(), KX_REPLACE_DURABLE, KX_FILE_PRIVATE);
}

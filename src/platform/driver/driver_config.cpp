#include "platform/driver/driver_config.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "platform/base/kx_log.h"
#include "platform/base/kx_paths.h"
#include "platform/base/kx_profile.h"
#include "platform/base/kx_system.h"

namespace {

constexpr size_t kLongValue = 8192;

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string ReadString(const char* section, const char* key, const char* defaultValue) {
    std::vector<char> buffer(kLongValue, '\0');
    std::string file = DriverConfigFile();
    if (KXBase_GetProfileString(file.c_str(), section, key, defaultValue, buffer.data(),
                                buffer.size()) != 0) {
        return defaultValue;
    }
    return buffer.data();
}

int ReadInt(const char* section, const char* key, int defaultValue) {
    int value = defaultValue;
    std::string file = DriverConfigFile();
    if (KXBase_GetProfileInt(file.c_str(), section, key, defaultValue, &value) != 0)
        return defaultValue;
    return value;
}

// A positive decimal number filling the whole entry, else 0.
int PageNumber(const std::string& entry) {
    if (entry.empty() || entry.size() > 9 ||
        !std::all_of(entry.begin(), entry.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    return std::atoi(entry.c_str());
}

}  // namespace

std::string DriverConfigFile() {
    char folder[4096] = {};
    if (KXBase_GetConfigPath(folder, sizeof folder) != 0) return "config.ini";
    return std::string(folder) + "config.ini";
}

std::string ReadDriverName() {
    std::string name = Trim(KXBase_GetEnvironment("SCANBRIDGE_DRIVER"));
    if (name.empty()) name = Trim(ReadString("driver", "name", "sane"));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name.empty() ? "sane" : name;
}

std::vector<std::string> ReadVirtualDevices() {
    return ParseDeviceList(ReadString("virtual", "devices", "Virtual Scanner"));
}

VirtualScanConfig ReadVirtualScanConfig() {
    VirtualScanConfig config;
    config.sheets = std::max(0, ReadInt("virtual", "sheets", config.sheets));
    config.pageDelayMs = std::max(0, ReadInt("virtual", "page_delay_ms", config.pageDelayMs));
    config.blankPages = ParsePageList(ReadString("virtual", "blank_pages", ""));
    config.failStart = ReadInt("virtual", "fail_start", 0) != 0;
    config.jamAfter = std::max(0, ReadInt("virtual", "jam_after", 0));
    return config;
}

SaneConfig ReadSaneConfig() {
    SaneConfig config;
    config.readTimeoutS = std::max(1, ReadInt("sane", "read_timeout_s", config.readTimeoutS));
    config.pollMs = std::max(100, ReadInt("sane", "poll_ms", config.pollMs));
    config.firstListMs = std::max(0, ReadInt("sane", "first_list_ms", config.firstListMs));
    return config;
}

std::vector<std::string> ParseDeviceList(const std::string& text) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('|', start);
        if (end == std::string::npos) end = text.size();
        std::string name = Trim(text.substr(start, end - start));
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
        start = end + 1;
    }
    return names;
}

std::set<int> ParsePageList(const std::string& text) {
    std::set<int> pages;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        std::string entry = Trim(text.substr(start, end - start));
        int page = PageNumber(entry);
        if (page > 0)
            pages.insert(page);
        else if (!entry.empty())
            KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner: ignoring blank page entry \"%s\"",
                             entry.c_str());
        start = end + 1;
    }
    return pages;
}

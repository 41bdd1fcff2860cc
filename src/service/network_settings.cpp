#include "service/network_settings.h"

#include <algorithm>
#include <cstdlib>

#include "platform/base/kx_log.h"
#include "platform/base/kx_paths.h"
#include "platform/base/kx_profile.h"
#include "platform/base/kx_system.h"

namespace {

constexpr int kDefaultHeadTimeoutMs = 10000;

std::string ReadSecurityKey(const char* key) {
    char folder[256];
    KXBase_GetConfigPath(folder, sizeof folder);
    std::string path = std::string(folder) + "config.ini";
    char value[4096] = {};
    KXBase_GetProfileString(path.c_str(), "security", key, "", value, sizeof value);
    return value;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(" \t", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

void AddOrigins(OriginPolicy& policy, const std::string& list, const char* source) {
    for (const std::string& skipped : policy.AddList(list)) {
        KXBase_WriteInfo(KX_LOG_INFO, "%s: \"%s\" is not an origin, ignored", source,
                         skipped.c_str());
    }
}

int HeadTimeoutMs() {
    std::string text = KXBase_GetEnvironment("SCANBRIDGE_HEAD_TIMEOUT_MS");
    int value = std::atoi(text.c_str());
    return value > 0 ? value : kDefaultHeadTimeoutMs;
}

}  // namespace

std::vector<std::string> ListenAddresses(const std::string& listed) {
    std::vector<std::string> extra;
    for (std::string word : Words(listed)) {
        if (word.size() > 2 && word.front() == '[' && word.back() == ']') {
            word = word.substr(1, word.size() - 2);
        }
        extra.push_back(word);
    }
    auto listedHas = [&](const char* address) {
        return std::find(extra.begin(), extra.end(), address) != extra.end();
    };
    std::vector<std::string> addresses;
    // A socket on the wildcard takes the port for the loopback address too.
    if (!listedHas("0.0.0.0")) addresses.push_back("127.0.0.1");
    if (!listedHas("::")) addresses.push_back("::1");
    for (const std::string& address : extra) {
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) {
            addresses.push_back(address);
        }
    }
    return addresses;
}

NetworkSettings ReadNetworkSettings() {
    NetworkSettings settings;
    std::string listed = ReadSecurityKey("listen");
    settings.addresses = ListenAddresses(listed);
    if (!Words(listed).empty()) {
        KXBase_WriteInfo(KX_LOG_INFO,
                         "listening for other machines too, on %s ([security] listen in "
                         "config.ini)",
                         listed.c_str());
    }
    std::string configured = ReadSecurityKey("allowed_origins");
    std::string environment = KXBase_GetEnvironment("SCANBRIDGE_ALLOWED_ORIGINS");
    AddOrigins(settings.origins, configured, "[security] allowed_origins");
    AddOrigins(settings.origins, environment, "SCANBRIDGE_ALLOWED_ORIGINS");
    if (settings.origins.allowsAny()) {
        KXBase_WriteInfo(KX_LOG_INFO, "pages of every origin may use the service");
    } else if (!Words(configured + " " + environment).empty()) {
        KXBase_WriteInfo(KX_LOG_INFO, "pages of these origins may use the service too: %s %s",
                         configured.c_str(), environment.c_str());
    }
    settings.headTimeoutMs = HeadTimeoutMs();
    return settings;
}

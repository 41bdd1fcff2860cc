#include "platform/driver/sane/scanner_names.h"

#include <set>

namespace {

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string BaseName(const WireDevice& device) {
    std::string name = Trim(Trim(device.vendor) + " " + Trim(device.model));
    return name.empty() ? device.name : name;
}

std::vector<NamedDevice> ScannerNames::Update(const std::vector<WireDevice>& listed) {
    std::vector<NamedDevice> named(listed.size());
    std::set<std::string> taken;
    // Devices listed before under the same SANE name keep their names first.
    for (size_t i = 0; i < listed.size(); ++i) {
        named[i].device = listed[i];
        auto it = given_.find(listed[i].name);
        if (it != given_.end() && taken.insert(it->second).second) named[i].name = it->second;
    }
    for (NamedDevice& entry : named) {
        if (!entry.name.empty()) continue;
        std::string base = BaseName(entry.device);
        std::string name = base;
        for (int number = 2; taken.count(name) != 0; ++number)
            name = base + " #" + std::to_string(number);
        taken.insert(name);
        entry.name = name;
    }
    for (const NamedDevice& entry : named) {
        // A name now held by another device is no longer the old holder's.
        for (auto it = given_.begin(); it != given_.end();) {
            it = it->second == entry.name && it->first != entry.device.name ? given_.erase(it)
                                                                            : std::next(it);
        }
        given_[entry.device.name] = entry.name;
    }
    return named;
}

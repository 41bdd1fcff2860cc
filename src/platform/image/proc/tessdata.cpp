#include "platform/image/proc/tessdata.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/base/kx_system.h"

namespace kximgproc {
namespace {

constexpr const char* kSystemFolders[] = {
    "/usr/share/tesseract-ocr/5/tessdata/",
    "/usr/share/tesseract-ocr/4.00/tessdata/",
    "/usr/share/tessdata/",
    "/usr/local/share/tessdata/",
};

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

bool HasAll(const std::string& folder, const std::vector<std::string>& languages) {
    for (const std::string& language : languages) {
        if (!IsFile(folder + language + ".traineddata")) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string FindTessdata(const std::vector<std::string>& languages) {
    std::vector<std::string> candidates;
    if (std::string prefix = KXBase_GetEnvironment("TESSDATA_PREFIX"); !prefix.empty()) {
        candidates.push_back(WithSlash(prefix));
        candidates.push_back(WithSlash(prefix) + "tessdata/");
    }
    candidates.insert(candidates.end(), std::begin(kSystemFolders), std::end(kSystemFolders));
    for (const std::string& folder : candidates) {
        if (HasAll(folder, languages)) {
            return folder;
        }
    }
    return {};
}

}  // namespace kximgproc

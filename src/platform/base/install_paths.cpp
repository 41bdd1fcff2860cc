#include "platform/base/install_paths.h"

#include <unistd.h>

#include <vector>

#include "platform/base/kx_paths.h"

std::string ExecutableFolder() {
    std::vector<char> path(4096);
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<size_t>(length) >= path.size()) return {};
    std::string executable(path.data(), static_cast<size_t>(length));
    return executable.substr(0, executable.rfind('/') + 1);
}

std::string ChooseShareFolder(const std::string& executableFolder,
                              const std::string& sourceFolder) {
    if (!executableFolder.empty()) {
        std::string installed = executableFolder + "../share/scanbridge/";
        std::vector<char> clean(installed.size() + 2);
        if (KXBase_StandardiseFileName(installed.c_str(), clean.data(), clean.size()) == KX_OK &&
            KXBase_IsDirectory(clean.data())) {
            return clean.data();
        }
    }
    return sourceFolder;
}

std::string ShareFolder() {
    return ChooseShareFolder(ExecutableFolder(), SCANBRIDGE_SOURCE_DIR "/");
}

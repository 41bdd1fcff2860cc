#include "platform/base/kx_paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/base/kx_system.h"

namespace {

int CopyOut(const std::string& text, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return KX_ERR_ARGUMENT;
    if (text.size() + 1 > size) {
        buffer[0] = '\0';
        return KX_ERR_BUFFER;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return KX_OK;
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return folder;
}

std::string HomeFolder() {
    std::string home = KXBase_GetEnvironment("HOME");
    return home.empty() ? "/" : WithSlash(home);
}

// The override when set, else the first non-empty base + tail, else the fallback.
std::string Folder(const char* overrideName, const char* baseName, const std::string& tail,
                   const std::string& fallback) {
    std::string value = KXBase_GetEnvironment(overrideName);
    if (!value.empty()) return WithSlash(value);
    std::string base = baseName != nullptr ? KXBase_GetEnvironment(baseName) : "";
    if (!base.empty()) return WithSlash(WithSlash(base) + tail);
    return WithSlash(fallback);
}

std::string ConfigFolder() {
    return Folder("SCANBRIDGE_CONFIG_DIR", "XDG_CONFIG_HOME", "scanbridge",
                  HomeFolder() + ".config/scanbridge");
}

std::string DocumentsFolder() {
    return Folder("SCANBRIDGE_DOCUMENTS_DIR", "XDG_DOCUMENTS_DIR", "", HomeFolder() + "Documents");
}

constexpr mode_t kGroupAndOthersBits = 077;

// Narrows what a user's own entry grants the group and others to nothing.
void NarrowToOwner(const char* path, const struct stat& info) {
    if (info.st_uid == geteuid() && (info.st_mode & kGroupAndOthersBits) != 0)
        chmod(path, info.st_mode & 07700);
}

// The user's own folder at path: created private when missing (with its
// parents), made private when the user owns it; false when it is not a plain
// folder of this user (another user made it first, or it is a link).
bool OwnPrivateFolder(const std::string& path) {
    KXBase_CreatePrivateDir(path.c_str());
    struct stat info {};
    std::string folder = path.substr(0, path.size() - 1);
    return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid();
}

// The temporary folder holds scans in passing, so the default one (in a
// folder every user can write) must be the user's own; when another user
// holds that name, a folder named after the user id is used instead. A
// folder named by the override is taken as it is.
std::string TmpFolder() {
    std::string chosen = KXBase_GetEnvironment("SCANBRIDGE_TMP_DIR");
    if (!chosen.empty()) return WithSlash(chosen);
    std::string shared = Folder("SCANBRIDGE_TMP_DIR", "TMPDIR", "scanbridge", "/tmp/scanbridge");
    if (OwnPrivateFolder(shared)) return shared;
    std::string personal =
        shared.substr(0, shared.size() - 1) + "-" + std::to_string(geteuid()) + "/";
    OwnPrivateFolder(personal);
    return personal;
}

std::string Standardise(const std::string& path) {
    bool absolute = !path.empty() && path.front() == '/';
    bool trailing = !path.empty() && path.back() == '/';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
            } else if (!absolute) {
                parts.push_back(part);
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result(absolute ? 1 : 0, '/');
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) result.push_back('/');
        result += parts[i];
    }
    if (trailing && !parts.empty()) result.push_back('/');
    if (result.empty()) result.assign(1, absolute ? '/' : '.');
    return result;
}

}  // namespace

int KXBase_GetConfigPath(char* buffer, size_t size) {
    return CopyOut(ConfigFolder(), buffer, size);
}

int KXBase_GetDocumentsPath(char* buffer, size_t size) {
    return CopyOut(DocumentsFolder(), buffer, size);
}

int KXBase_GetTmpPath(char* buffer, size_t size) {
    return CopyOut(TmpFolder(), buffer, size);
}

int KXBase_GetProcessName(char* buffer, size_t size) {
    return CopyOut("scanbridge", buffer, size);
}

int KXBase_GetTmpFileName(const char* suffix, char* buffer, size_t size) {
    std::string folder = TmpFolder();
    if (KXBase_CreateDir(folder.c_str()) != KX_OK) return KX_ERR_SYSTEM;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char uuid[40];
        if (KXBase_GetUuid(uuid, sizeof uuid) != KX_OK) return KX_ERR_SYSTEM;
        std::string path = folder + "sb" + uuid + (suffix != nullptr ? suffix : "");
        if (!KXBase_PathExists(path.c_str())) return CopyOut(path, buffer, size);
    }
    return KX_ERR_SYSTEM;
}

int KXBase_CreateDir(const char* path) {
    if (path == nullptr || *path == '\0') return KX_ERR_ARGUMENT;
    std::string text = path;
    for (size_t i = 1; i <= text.size(); ++i) {
        if (i != text.size() && text[i] != '/') continue;
        std::string prefix = text.substr(0, i);
        if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return KX_ERR_SYSTEM;
    }
    return KXBase_IsDirectory(path) ? KX_OK : KX_ERR_SYSTEM;
}

int KXBase_CreatePrivateDir(const char* path) {
    if (path == nullptr || *path == '\0') return KX_ERR_ARGUMENT;
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (mkdir(folder.c_str(), 0700) != 0 && errno == ENOENT) {
        KXBase_CreateDir(folder.substr(0, folder.rfind('/') + 1).c_str());
        mkdir(folder.c_str(), 0700);
    }
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return KXBase_IsDirectory(path) ? KX_OK : KX_ERR_SYSTEM;
    }
    NarrowToOwner(folder.c_str(), info);
    return KX_OK;
}

int KXBase_CreatePrivateFile(const char* path) {
    if (path == nullptr || *path == '\0') return KX_ERR_ARGUMENT;
    int fd = open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return KX_ERR_SYSTEM;
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok && info.st_uid == geteuid() && (info.st_mode & kGroupAndOthersBits) != 0)
        ok = fchmod(fd, info.st_mode & 07700) == 0;
    close(fd);
    return ok ? KX_OK : KX_ERR_SYSTEM;
}

int KXBase_SecureConfigFolder() {
    std::string folder = ConfigFolder();
    if (KXBase_CreatePrivateDir(folder.c_str()) != KX_OK) return KX_ERR_SYSTEM;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return KX_ERR_SYSTEM;
    while (dirent* entry = readdir(dir)) {
        std::string path = folder + entry->d_name;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            NarrowToOwner(path.c_str(), info);
    }
    closedir(dir);
    return KX_OK;
}

int KXBase_GetFileName(const char* path, char* buffer, size_t size) {
    if (path == nullptr) return KX_ERR_ARGUMENT;
    const char* slash = std::strrchr(path, '/');
    return CopyOut(slash != nullptr ? slash + 1 : path, buffer, size);
}

int KXBase_GetFileSuffix(const char* path, char* buffer, size_t size) {
    if (path == nullptr) return KX_ERR_ARGUMENT;
    const char* slash = std::strrchr(path, '/');
    const char* name = slash != nullptr ? slash + 1 : path;
    const char* dot = std::strrchr(name, '.');
    return CopyOut(dot != nullptr ? dot + 1 : "", buffer, size);
}

int KXBase_StandardiseFileName(const char* path, char* buffer, size_t size) {
    if (path == nullptr) return KX_ERR_ARGUMENT;
    return CopyOut(Standardise(path), buffer, size);
}

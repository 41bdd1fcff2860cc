#include "ver_2/demo_files.h"

#include <filesystem>
#include <vector>

#include "platform/base/install_paths.h"
#include "platform/base/kx_files.h"

namespace ver_2 {

namespace {

namespace fs = std::filesystem;

constexpr char kDemoPrefix[] = "/demo/";
// Far above the demo page's largest file.
constexpr uint64_t kMaxDemoFileBytes = uint64_t{16} << 20;

struct ContentType {
    const char* extension;
    const char* type;
};

constexpr ContentType kContentTypes[] = {
    {".html", "text/html; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".mjs", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".json", "application/json"},
    {".svg", "image/svg+xml"},
    {".png", "image/png"},
    {".ico", "image/x-icon"},
};

const char* ContentTypeOf(const std::string& name) {
    std::string extension = fs::path(name).extension().string();
    for (const ContentType& entry : kContentTypes) {
        if (extension == entry.extension) return entry.type;
    }
    return nullptr;
}

// The file name under the demo folder, or "" when the path names none: only
// plain names of letters, digits, "-", "_" and ".", in sub-folders at most,
// without "." or ".." parts, so no request reaches outside the folder.
std::string DemoName(const std::string& path) {
    if (path == "/" || path == "/demo/" || path == "/demo") return "index.html";
    if (path.rfind(kDemoPrefix, 0) != 0) return "";
    std::string name = path.substr(sizeof(kDemoPrefix) - 1);
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return "";
        for (char c : part) {
            bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
            if (!plain) return "";
        }
        start = end + 1;
    }
    return ContentTypeOf(name) != nullptr ? name : "";
}

// The installed demo folder among the shared files, else the source tree's.
fs::path DemoFolder() {
    fs::path installed = fs::path(ShareFolder()) / "demo";
    if (KXBase_IsDirectory(installed.c_str())) return installed;
    return fs::path(SCANBRIDGE_SOURCE_DIR) / "client" / "demo";
}

std::optional<std::string> ReadDemoFile(const std::string& name) {
    fs::path folder = DemoFolder();
    fs::path file = folder / name;
    // The client module lives beside the demo folder (installed and in the
    // source tree).
    if (!KXBase_IsRegularFile(file.c_str()) && name == "scanbridge.js") {
        file = folder / ".." / "scanbridge.js";
    }
    std::vector<uint8_t> bytes;
    if (KXBase_ReadWholeFile(file.c_str(), kMaxDemoFileBytes, &bytes) != 0) return std::nullopt;
    return std::string(bytes.begin(), bytes.end());
}

std::string Reply(const char* status, const char* type, const std::string& body, bool head) {
    return std::string("HTTP/1.1 ") + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nX-Content-Type-Options: nosniff\r\nCache-Control: no-cache\r\n"
           "Connection: close\r\n\r\n" +
           (head ? std::string() : body);
}

}  // namespace

bool IsDemoRequest(const HttpRequest& request) {
    if (request.method != "GET" && request.method != "HEAD") return false;
    // Any sign of a WebSocket handshake keeps the request on that path.
    if (!request.HeaderIgnoreCase("Upgrade").empty()) return false;
    if (!request.HeaderIgnoreCase("Sec-WebSocket-Key").empty()) return false;
    return request.path == "/" || request.path == "/demo" ||
           request.path.rfind(kDemoPrefix, 0) == 0;
}

std::string DemoReply(const HttpRequest& request) {
    bool head = request.method == "HEAD";
    std::string name = DemoName(request.path);
    std::optional<std::string> body = name.empty() ? std::nullopt : ReadDemoFile(name);
    if (!body) {
        return Reply("404 Not Found", "text/plain; charset=utf-8", "No such demo file\n", head);
    }
    return Reply("200 OK", ContentTypeOf(name), *body, head);
}

}  // namespace ver_2

#include "platform/base/kx_log.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/base/kx_status.h"
#include "platform/base/kx_system.h"

namespace {

std::mutex& LogMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string FormatText(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length < 0) return {};
    std::string text(static_cast<size_t>(length), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
}

// Control characters other than the tab are written as escapes so that every
// call stays one line: texts from peers (request heads, file names) cannot
// start a line of their own or forge one.
std::string OneLine(std::string text) {
    auto isControl = [](unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7f; };
    if (std::none_of(text.begin(), text.end(), isControl)) return text;
    std::string line;
    line.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '\r') {
            line += "\\r";
        } else if (c == '\n') {
            line += "\\n";
        } else if (isControl(c)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            line += escape;
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    return line;
}

}  // namespace

const char* KXLogLevelName(int level) {
    if (level <= KX_LOG_ERROR) return "error";
    if (level <= KX_LOG_WARNING) return "warning";
    if (level <= KX_LOG_INFO) return "info";
    return "detail";
}

int KXBase_WriteInfo(int level, const char* format, ...) {
    if (format == nullptr) return KX_ERR_ARGUMENT;
    va_list args;
    va_start(args, format);
    std::string text = OneLine(FormatText(format, args));
    va_end(args);

    KXLocalTime now;
    KXBase_GetLocalTime(&now);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.year, now.month,
                  now.day, now.hour, now.minute, now.second, now.milliseconds);
    long tid = syscall(SYS_gettid);

    std::lock_guard guard(LogMutex());
    std::fprintf(stderr, "%s [%ld] %s %s\n", stamp, tid, KXLogLevelName(level), text.c_str());
    std::fflush(stderr);
    return KX_OK;
}

// GCC says __SANITIZE_ADDRESS__, Clang __has_feature(address_sanitizer).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SB_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(SB_ADDRESS_SANITIZER)
// fontconfig (used for watermark text and by poppler) keeps blocks of its
// parsed configuration unreachable for the rest of the process; sanitizer
// builds would report them as leaks at every exit. Defined here, in the one
// file every program links, so that there is exactly one definition.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

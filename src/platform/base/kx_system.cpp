#include "platform/base/kx_system.h"

#include <malloc.h>
#include <sys/random.h>
#include <sys/time.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

int KXBase_GetLocalTime(KXLocalTime* time) {
    if (time == nullptr) return KX_ERR_ARGUMENT;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    time->year = static_cast<uint16_t>(local.tm_year + 1900);
    time->month = static_cast<uint16_t>(local.tm_mon + 1);
    time->day = static_cast<uint16_t>(local.tm_mday);
    time->dayOfWeek = static_cast<uint16_t>(local.tm_wday);
    time->hour = static_cast<uint16_t>(local.tm_hour);
    time->minute = static_cast<uint16_t>(local.tm_min);
    time->second = static_cast<uint16_t>(local.tm_sec);
    time->milliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
    return KX_OK;
}

int KXBase_GetUuid(char* buffer, size_t size) {
    if (buffer == nullptr || size < 37) return KX_ERR_ARGUMENT;
    std::array<unsigned char, 16> bytes{};
    size_t filled = 0;
    while (filled < bytes.size()) {
        ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got <= 0) return KX_ERR_SYSTEM;
        filled += static_cast<size_t>(got);
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    std::snprintf(buffer, size,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return KX_OK;
}

std::string KXBase_GetEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string KXBase_ErrorText(int error) {
    char buffer[256] = {};
    // The GNU strerror_r returns the text, which may or may not be the buffer.
    return strerror_r(error, buffer, sizeof buffer);
}

void KXBase_ReleaseFreeMemory() {
    malloc_trim(0);
}

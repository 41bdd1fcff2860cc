// Local time, UUIDs, Base64 and the environment of the base platform library. Any thread may
// call these functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/base/kx_status.h"

struct KXLocalTime {
    uint16_t year;
    uint16_t month;
    uint16_t day;
    uint16_t dayOfWeek;  // 0 = Sunday
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};

int KXBase_GetLocalTime(KXLocalTime* time);

// A random (version 4) UUID as 36 lower-case characters, e.g.
// "3f2b9c1e-07a4-4d5e-9b1a-2c3d4e5f6a7b".
int KXBase_GetUuid(char* buffer, size_t size);

// Base64 with the standard alphabet and "=" padding. Called first with out
// null to learn the size (*outSize), then with a buffer of at least that size;
// on return *outSize is the number of bytes written. The encoder writes no
// terminating NUL. The decoder accepts only the standard alphabet with
// correct padding (line breaks are skipped) and fails on anything else.
int KXBase_Base64Encode(const void* data, size_t size, char* out, size_t* outSize);
int KXBase_Base64Decode(const char* text, size_t size, void* out, size_t* outSize);

// The value of an environment variable, or "" when it is not set.
std::string KXBase_GetEnvironment(const char* name);

// The system's description of an errno value, e.g. "Address already in use".
std::string KXBase_ErrorText(int error);

// Hands memory the process has freed back to the system instead of keeping
// it for later allocations (after a scan's page buffers are gone, say).
void KXBase_ReleaseFreeMemory();

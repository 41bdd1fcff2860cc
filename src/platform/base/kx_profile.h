// INI profile files with the behaviour of Windows profile files.
//
// Section and key names match without regard to letter case; a missing file,
// section or key gives the default. A write keeps everything else in the file
// (other sections and keys, comments, blank lines) and replaces the file
// atomically: the new text goes to a temporary file in the same folder, which
// is then renamed over the old one, so a crash never leaves half a file. Calls
// are serialised process-wide, so any thread may use them.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/kx_status.h"

// *value = the key's integer (read as C's atoi reads: leading blanks, sign,
// digits; 0 when there are none), or defaultValue when the key is missing.
int KXBase_GetProfileInt(const char* file, const char* section, const char* key, int defaultValue,
                         int* value);
// Copies the key's value (or the default) into buffer, truncated to size - 1.
int KXBase_GetProfileString(const char* file, const char* section, const char* key,
                            const char* defaultValue, char* buffer, size_t size);
int KXBase_SetProfileInt(const char* file, const char* section, const char* key, int value);
int KXBase_SetProfileString(const char* file, const char* section, const char* key,
                            const char* text);
// Writes several keys of one section in a single replacement of the file, so
// a record is stored whole or not at all.
int KXBase_SetProfileStrings(const char* file, const char* section,
                             const std::vector<std::pair<std::string, std::string>>& values);

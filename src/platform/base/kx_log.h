// Logging of the base platform library.
//
// KXBase_WriteInfo writes one line per call to standard error: local time with
// milliseconds, thread id, level, then the printf-formatted text with its
// control characters but the tab written as escapes (\r, \n, \xNN). Lines
// from different threads never interleave. Any thread may call it.
#pragma once

enum KXLogLevel : int {
    KX_LOG_INFO = 8,
    KX_LOG_DETAIL = 16,
};

int KXBase_WriteInfo(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

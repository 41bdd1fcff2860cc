// Logging of the base platform library.
//
// KXBase_WriteInfo writes one line per call to standard error: local time with
// milliseconds, thread id, the level as a word ("error", "warning", "info",
// "detail"), then the printf-formatted text with its
// control characters but the tab written as escapes (\r, \n, \xNN). Lines
// from different threads never interleave. Any thread may call it.
#pragma once

// Lower values are more severe. Any other value prints as the word of the
// smallest level not below it.
enum KXLogLevel : int {
    KX_LOG_ERROR = 2,
    KX_LOG_WARNING = 4,
    KX_LOG_INFO = 8,
    KX_LOG_DETAIL = 16,
};

// The word a level prints as.
const char* KXLogLevelName(int level);

int KXBase_WriteInfo(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

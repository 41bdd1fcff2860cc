#include <gtest/gtest.h>

#include <string>

#include "platform/base/kx_log.h"
#include "support/stderr_capture.h"
#include "support/temp_dir.h"

namespace {

using testing_support::CaptureStderr;
using testing_support::TempDir;

TEST(Log, WritesStampThreadLevelAndTextOnOneLine) {
    TempDir dir;
    std::string out = CaptureStderr(dir, [] { KXBase_WriteInfo(KX_LOG_INFO, "port=%d", 38999); });
    unsigned year, month, day, hour, minute, second, millis;
    long thread = 0;
    char level[16] = {};
    int consumed = 0;
    int fields =
        std::sscanf(out.c_str(), "%4u-%2u-%2u %2u:%2u:%2u.%3u [%ld] %15s %n", &year, &month, &day,
                    &hour, &minute, &second, &millis, &thread, level, &consumed);
    ASSERT_EQ(fields, 9) << out;
    EXPECT_EQ(consumed, 32 + static_cast<int>(std::to_string(thread).size())) << out;
    EXPECT_STREQ(level, "info");
    EXPECT_EQ(out.substr(consumed), "port=38999\n");
}

TEST(Log, ControlCharactersFromPeersCannotStartALine) {
    TempDir dir;
    const char* head = "GET / HTTP/1.1\r\nSec-WebSocket-Key: k\r\n\r\n\x1b[2J\x7f\tend";
    std::string out = CaptureStderr(dir, [&] { KXBase_WriteInfo(KX_LOG_INFO, "%s", head); });
    ASSERT_EQ(out.find('\n'), out.size() - 1) << out;
    EXPECT_NE(out.find(R"(GET / HTTP/1.1\r\nSec-WebSocket-Key: k\r\n\r\n\x1b[2J\x7f)"
                       "\tend"),
              std::string::npos)
        << out;
}

TEST(Log, UnicodeTextPassesUnchanged) {
    TempDir dir;
    std::string out = CaptureStderr(dir, [] { KXBase_WriteInfo(KX_LOG_DETAIL, "%s", "扫描完成"); });
    EXPECT_NE(out.find(" detail 扫描完成\n"), std::string::npos) << out;
}

TEST(Log, LevelsPrintAsWords) {
    EXPECT_STREQ(KXLogLevelName(KX_LOG_ERROR), "error");
    EXPECT_STREQ(KXLogLevelName(KX_LOG_WARNING), "warning");
    EXPECT_STREQ(KXLogLevelName(KX_LOG_INFO), "info");
    EXPECT_STREQ(KXLogLevelName(KX_LOG_DETAIL), "detail");
    EXPECT_STREQ(KXLogLevelName(6), "info");
    EXPECT_STREQ(KXLogLevelName(3), "warning");
}

}  // namespace

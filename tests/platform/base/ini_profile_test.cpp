#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/base/kx_profile.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string GetString(const std::string& file, const char* section, const char* key,
                      const char* fallback = "dflt", size_t size = 256) {
    std::string buffer(size, '\0');
    EXPECT_EQ(KXBase_GetProfileString(file.c_str(), section, key, fallback, buffer.data(), size),
              0);
    return buffer.c_str();
}

int GetInt(const std::string& file, const char* section, const char* key, int fallback = -7) {
    int value = 0;
    EXPECT_EQ(KXBase_GetProfileInt(file.c_str(), section, key, fallback, &value), 0);
    return value;
}

TEST(IniProfile, MissingFileSectionOrKeyGivesDefault) {
    TempDir dir;
    std::string file = dir.File("none.ini");
    EXPECT_EQ(GetString(file, "global", "x"), "dflt");
    EXPECT_EQ(GetInt(file, "global", "x"), -7);
    WriteFile(file, "[global]\nother=1\n");
    EXPECT_EQ(GetString(file, "global", "x"), "dflt");
    EXPECT_EQ(GetInt(file, "connect", "port", 38999), 38999);
}

TEST(IniProfile, NamesMatchWithoutCaseAndValuesAreTrimmed) {
    TempDir dir;
    std::string file = dir.File("a.ini");
    WriteFile(file, "; comment\r\n[Version]\r\n  VerNum =  1  \r\nname = Zembo scan\r\n");
    EXPECT_EQ(GetInt(file, "version", "vernum"), 1);
    EXPECT_EQ(GetString(file, "VERSION", "NAME"), "Zembo scan");
}

TEST(IniProfile, IntegersAreReadLikeAtoi) {
    TempDir dir;
    std::string file = dir.File("n.ini");
    WriteFile(file, "[s]\na=42abc\nb=abc\nc=\nd=-5\ne= 7\nf=99999999999\n");
    EXPECT_EQ(GetInt(file, "s", "a"), 42);
    EXPECT_EQ(GetInt(file, "s", "b"), 0);
    EXPECT_EQ(GetInt(file, "s", "c"), 0);
    EXPECT_EQ(GetInt(file, "s", "d"), -5);
    EXPECT_EQ(GetInt(file, "s", "e"), 7);
    EXPECT_EQ(GetInt(file, "s", "f"), 2147483647);
}

TEST(IniProfile, LongValuesAreTruncatedToTheBuffer) {
    TempDir dir;
    std::string file = dir.File("l.ini");
    WriteFile(file, "[s]\nk=" + std::string(300, 'x') + "\n");
    EXPECT_EQ(GetString(file, "s", "k", "", 256), std::string(255, 'x'));
}

TEST(IniProfile, WritesKeepTheRestOfTheFile) {
    TempDir dir;
    std::string file = dir.File("w.ini");
    WriteFile(file, "; keep me\n[global]\nimage_format=jpg\n\n[connect]\nport=38999\n");
    ASSERT_EQ(KXBase_SetProfileString(file.c_str(), "GLOBAL", "Image_Format", "png"), 0);
    ASSERT_EQ(KXBase_SetProfileInt(file.c_str(), "global", "image_jpeg_quality", 90), 0);
    ASSERT_EQ(KXBase_SetProfileString(file.c_str(), "new", "key", "value with spaces"), 0);
    EXPECT_EQ(ReadFile(file),
              "; keep me\n[global]\nimage_format=png\nimage_jpeg_quality=90\n\n"
              "[connect]\nport=38999\n[new]\nkey=value with spaces\n");
    EXPECT_EQ(GetString(file, "new", "key"), "value with spaces");
}

TEST(IniProfile, WriteCreatesTheFileAndLeavesNoTemporaryBehind) {
    TempDir dir;
    std::string file = dir.File("c.ini");
    ASSERT_EQ(KXBase_SetProfileInt(file.c_str(), "version", "verNum", 1), 0);
    EXPECT_EQ(GetInt(file, "version", "verNum"), 1);
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(IniProfile, WriteIntoMissingFolderFails) {
    TempDir dir;
    std::string file = dir.path() + "missing/x.ini";
    EXPECT_NE(KXBase_SetProfileInt(file.c_str(), "s", "k", 1), 0);
}

// A process killed at any moment of a write leaves either the old or the new
// file, never a mixture.
TEST(IniProfile, KilledWriterLeavesAWholeFile) {
    TempDir dir;
    std::string file = dir.File("k.ini");
    std::string big(4000, 'v');
    ASSERT_EQ(KXBase_SetProfileString(file.c_str(), "s", "k", "old"), 0);
    for (int round = 0; round < 20; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                KXBase_SetProfileString(file.c_str(), "s", "k", (i % 2) != 0 ? "old" : big.c_str());
            }
        }
        usleep(2000 + round * 500);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        std::string value = GetString(file, "s", "k", "", 8192);
        EXPECT_TRUE(value == "old" || value == big) << value.size();
    }
}

}  // namespace

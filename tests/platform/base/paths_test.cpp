#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/base/kx_paths.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Exists;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

using PathCall = int (*)(const char*, char*, size_t);

std::string Call(PathCall call, const std::string& in) {
    char out[256];
    EXPECT_EQ(call(in.c_str(), out, sizeof out), 0) << in;
    return out;
}

std::string Folder(int (*call)(char*, size_t)) {
    char out[256];
    EXPECT_EQ(call(out, sizeof out), 0);
    return out;
}

TEST(Paths, FoldersFollowTheirVariablesAndEndWithSlash) {
    ScopedEnv config("SCANBRIDGE_CONFIG_DIR", "/x/conf");
    ScopedEnv documents("SCANBRIDGE_DOCUMENTS_DIR", "/x/docs/");
    ScopedEnv tmp("SCANBRIDGE_TMP_DIR", "/x/tmp");
    EXPECT_EQ(Folder(KXBase_GetConfigPath), "/x/conf/");
    EXPECT_EQ(Folder(KXBase_GetDocumentsPath), "/x/docs/");
    EXPECT_EQ(Folder(KXBase_GetTmpPath), "/x/tmp/");
    EXPECT_EQ(Folder(KXBase_GetProcessName), "scanbridge");
}

// The default temporary folder is created when it is resolved, so it is
// resolved in a private TMPDIR: a test never touches the user's real one.
TEST(Paths, DefaultsComeFromXdgAndHome) {
    TempDir dir;
    ScopedEnv config("SCANBRIDGE_CONFIG_DIR", "");
    ScopedEnv documents("SCANBRIDGE_DOCUMENTS_DIR", "");
    ScopedEnv tmp("SCANBRIDGE_TMP_DIR", "");
    ScopedEnv home("HOME", "/home/u");
    ScopedEnv xdgConfig("XDG_CONFIG_HOME", "");
    ScopedEnv xdgDocuments("XDG_DOCUMENTS_DIR", "/home/u/Docs");
    ScopedEnv tmpdir("TMPDIR", dir.path());
    EXPECT_EQ(Folder(KXBase_GetConfigPath), "/home/u/.config/scanbridge/");
    EXPECT_EQ(Folder(KXBase_GetDocumentsPath), "/home/u/Docs/");
    EXPECT_EQ(Folder(KXBase_GetTmpPath), dir.path() + "scanbridge/");
}

// The default temporary folder is made private, and one that another user
// holds is not used.
TEST(Paths, TheDefaultTemporaryFolderIsTheUsersOwn) {
    TempDir dir;
    ScopedEnv tmp("SCANBRIDGE_TMP_DIR", "");
    ScopedEnv tmpdir("TMPDIR", dir.path() + "base");
    std::string own = Folder(KXBase_GetTmpPath);
    EXPECT_EQ(own, dir.path() + "base/scanbridge/");
    struct stat info {};
    ASSERT_EQ(stat(own.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    ScopedEnv elsewhere("TMPDIR", dir.path() + "shared");
    std::string taken = dir.path() + "shared/scanbridge";
    ASSERT_EQ(KXBase_CreateDir(taken.c_str()), 0);
    if (chown(taken.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "needs to change owners";
    std::string personal = Folder(KXBase_GetTmpPath);
    EXPECT_EQ(personal, dir.path() + "shared/scanbridge-" + std::to_string(geteuid()) + "/");
    ASSERT_EQ(stat(personal.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(Paths, StandardiseFileName) {
    const std::pair<const char*, const char*> cases[] = {
        {"/a/b/", "/a/b/"},           {"/a//b///", "/a/b/"},
        {"/a/./b/../c/", "/a/c/"},    {"/../a", "/a"},
        {"a/../../b", "../b"},        {"/", "/"},
        {"/a/b/c.jpg", "/a/b/c.jpg"}, {"//", "/"},
    };
    for (const auto& [in, expected] : cases) {
        EXPECT_EQ(Call(KXBase_StandardiseFileName, in), expected) << in;
    }
}

TEST(Paths, FileNameAndSuffix) {
    EXPECT_EQ(Call(KXBase_GetFileName, "/a/b/c.tar.gz"), "c.tar.gz");
    EXPECT_EQ(Call(KXBase_GetFileSuffix, "/a/b/c.tar.gz"), "gz");
    EXPECT_EQ(Call(KXBase_GetFileSuffix, "/a.b/c"), "");
    EXPECT_EQ(Call(KXBase_GetFileName, "plain"), "plain");
}

TEST(Paths, CreateDirDeleteFileAndMoveWithoutReplacing) {
    TempDir dir;
    std::string nested = dir.path() + "a/b/c/";
    EXPECT_EQ(KXBase_CreateDir(nested.c_str()), 0);
    EXPECT_EQ(KXBase_CreateDir(nested.c_str()), 0);
    EXPECT_TRUE(KXBase_IsDirectory(nested.c_str()));
    EXPECT_NE(KXBase_DeleteFile(nested.c_str()), 0);

    std::string one = nested + "1.jpg";
    std::string two = nested + "2.jpg";
    WriteFile(one, "one");
    WriteFile(two, "two");
    EXPECT_NE(KXBase_MoveFile(one.c_str(), two.c_str()), 0);
    EXPECT_EQ(testing_support::ReadFile(two), "two");
    std::string three = nested + "3.jpg";
    EXPECT_EQ(KXBase_MoveFile(one.c_str(), three.c_str()), 0);
    EXPECT_FALSE(Exists(one));

    std::vector<std::string> names;
    ASSERT_EQ(KXBase_ListFiles(nested.c_str(), &names), 0);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"2.jpg", "3.jpg"}));

    EXPECT_EQ(KXBase_DeleteFile(two.c_str()), 0);
    EXPECT_NE(KXBase_DeleteFile(two.c_str()), 0);
}

TEST(Paths, ReplaceFileSwapsContentsWholeOrNotAtAll) {
    TempDir dir;
    std::string path = dir.File("list.txt");
    ASSERT_EQ(KXBase_ReplaceFile(path.c_str(), "new", 3, KX_REPLACE_DURABLE), 0);
    EXPECT_EQ(testing_support::ReadFile(path), "new");
    ASSERT_EQ(KXBase_ReplaceFile(path.c_str(), "", 0, KX_REPLACE_PLAIN), 0);
    EXPECT_EQ(testing_support::ReadFile(path), "");

    std::string folder = dir.path() + "in-the-way";
    ASSERT_EQ(KXBase_CreateDir((folder + "/x").c_str()), 0);
    EXPECT_NE(KXBase_ReplaceFile(folder.c_str(), "data", 4, KX_REPLACE_PLAIN), 0);
    EXPECT_NE(KXBase_ReplaceFile((dir.path() + "missing/f").c_str(), "data", 4, KX_REPLACE_DURABLE),
              0);
    std::vector<std::string> names;
    ASSERT_EQ(KXBase_ListFiles(dir.path().c_str(), &names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"list.txt"});
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// Settings files are the user's alone from the moment they appear (the new
// sibling is never readable by others, not even while it is written);
// pictures stay readable by the programs that pick them up.
TEST(Paths, ReplaceFileGivesPrivateOrSharedModes) {
    TempDir dir;
    std::string settings = dir.File("config2.ini");
    WriteFile(settings, "old");
    chmod(settings.c_str(), 0644);
    ASSERT_EQ(KXBase_ReplaceFile(settings.c_str(), "a=1", 3, KX_REPLACE_DURABLE, KX_FILE_PRIVATE),
              0);
    EXPECT_EQ(ModeOf(settings), 0600u);
    EXPECT_EQ(testing_support::ReadFile(settings), "a=1");
    std::string picture = dir.File("0001.jpg");
    ASSERT_EQ(KXBase_ReplaceFile(picture.c_str(), "jpg", 3, KX_REPLACE_PLAIN), 0);
    EXPECT_EQ(ModeOf(picture), 0644u);
}

TEST(Paths, PrivateFoldersAndFilesAreCreatedOrNarrowedForTheUserAlone) {
    TempDir dir;
    std::string fresh = dir.path() + "parent/fresh/";
    ASSERT_EQ(KXBase_CreatePrivateDir(fresh.c_str()), 0);
    EXPECT_EQ(ModeOf(fresh), 0700u);
    std::string open = dir.path() + "open";
    ASSERT_EQ(KXBase_CreateDir(open.c_str()), 0);
    chmod(open.c_str(), 0755);
    ASSERT_EQ(KXBase_CreatePrivateDir(open.c_str()), 0);
    EXPECT_EQ(ModeOf(open), 0700u);

    std::string database = fresh + "newConfig2.db";
    ASSERT_EQ(KXBase_CreatePrivateFile(database.c_str()), 0);
    EXPECT_EQ(ModeOf(database), 0600u);
    std::string existing = fresh + "old.db";
    WriteFile(existing, "pages");
    chmod(existing.c_str(), 0644);
    ASSERT_EQ(KXBase_CreatePrivateFile(existing.c_str()), 0);
    EXPECT_EQ(ModeOf(existing), 0600u);
    EXPECT_EQ(testing_support::ReadFile(existing), "pages");
    // A link is refused, and what it points at is left as it was.
    std::string target = dir.path() + "target";
    WriteFile(target, "elsewhere");
    chmod(target.c_str(), 0644);
    ASSERT_EQ(symlink(target.c_str(), (fresh + "link.db").c_str()), 0);
    EXPECT_NE(KXBase_CreatePrivateFile((fresh + "link.db").c_str()), 0);
    EXPECT_EQ(ModeOf(target), 0644u);
}

TEST(Paths, SecuringTheConfigurationFolderNarrowsItAndItsFiles) {
    TempDir dir;
    std::string folder = dir.path() + "config/";
    ScopedEnv config("SCANBRIDGE_CONFIG_DIR", folder);
    ASSERT_EQ(KXBase_CreateDir(folder.c_str()), 0);
    chmod(folder.c_str(), 0755);
    for (const char* name :
         {"config.ini", "config2.ini", "newConfig2.db", "newConfig2.db-journal"}) {
        WriteFile(folder + name, "x");
        chmod((folder + name).c_str(), 0664);
    }
    std::string target = dir.path() + "target";
    WriteFile(target, "elsewhere");
    chmod(target.c_str(), 0644);
    ASSERT_EQ(symlink(target.c_str(), (folder + "link.ini").c_str()), 0);

    ASSERT_EQ(KXBase_SecureConfigFolder(), 0);
    EXPECT_EQ(ModeOf(folder), 0700u);
    for (const char* name : {"config.ini", "config2.ini", "newConfig2.db", "newConfig2.db-journal"})
        EXPECT_EQ(ModeOf(folder + name), 0600u) << name;
    EXPECT_EQ(ModeOf(target), 0644u);

    std::string missing = dir.path() + "missing/config/";
    ScopedEnv elsewhere("SCANBRIDGE_CONFIG_DIR", missing);
    ASSERT_EQ(KXBase_SecureConfigFolder(), 0);
    EXPECT_EQ(ModeOf(missing), 0700u);
}

TEST(Paths, TemporaryNamesAreFreshAndCarryTheSuffix) {
    TempDir dir;
    ScopedEnv tmp("SCANBRIDGE_TMP_DIR", dir.path() + "t");
    char first[256];
    char second[256];
    ASSERT_EQ(KXBase_GetTmpFileName(".ofd", first, sizeof first), 0);
    ASSERT_EQ(KXBase_GetTmpFileName(nullptr, second, sizeof second), 0);
    EXPECT_NE(std::string(first), second);
    EXPECT_EQ(std::string(first).rfind(dir.path() + "t/", 0), 0u);
    EXPECT_TRUE(std::string(first).ends_with(".ofd"));
    EXPECT_FALSE(Exists(first));
    EXPECT_TRUE(KXBase_IsDirectory((dir.path() + "t").c_str()));
}

TEST(Paths, SmallBuffersFail) {
    char out[4];
    EXPECT_NE(KXBase_GetProcessName(out, sizeof out), 0);
}

}  // namespace

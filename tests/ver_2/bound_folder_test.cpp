// The bound folder's claim on names: which names it treats as its own, that
// clearing spares every other entry, and that the write probe never leaves
// or even creates a name outside its own.
#include "ver_2/bound_folder.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace ver_2 {
namespace {

namespace fs = std::filesystem;
using testing_support::Exists;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(BoundFolderNames, OwnNamesAreNumberedImagesAndTheirStagingFiles) {
    const std::pair<const char*, bool> cases[] = {
        {"0001.jpg", true},
        {"7.png", true},
        {"123456789012.ofd", true},
        {"0001.tif", true},
        {"0001.bmp", true},
        {"0001.pdf", true},
        {"0001.jpg.Ab12Cd", true},
        {".scanbridge-swap", true},
        {".scanbridge-swap-1a2b3c4d", true},
        {".scanbridge-reorder-1a2b3c4d-12", true},
        {".scanbridge-probe", true},
        {"0001.JPG", false},
        {"0001.jpeg", false},
        {"0001.txt", false},
        {".jpg", false},
        {"a001.jpg", false},
        {"0001.jpg.bak", false},
        {"0001.jpg.Ab12Cd7", false},
        {"0001.jpg.Ab-2Cd", false},
        {"0001", false},
        {"Temp", false},
        {".probe", false},
        {".scanbridge-notes", false},
        {".scanbridge-swap.txt", false},
        {"notes.txt", false},
        {".hidden", false},
    };
    for (const auto& [name, own] : cases)
        EXPECT_EQ(BoundFolder::IsOwnName(name), own) << name;
}

TEST(BoundFolderFiles, ClearSparesEverythingButOwnFiles) {
    TempDir dir;
    std::string folder = dir.path() + "bound/";
    BoundFolder bound(folder, 4, 0);
    ASSERT_TRUE(bound.Writable());
    EXPECT_TRUE(bound.HoldsOnlyOwnFiles());
    WriteFile(folder + "0000.jpg", "own");
    WriteFile(folder + ".scanbridge-swap", "own");
    EXPECT_TRUE(bound.HoldsOnlyOwnFiles());

    WriteFile(folder + "letter.txt", "foreign");
    fs::create_directories(folder + "sub");
    WriteFile(folder + "sub/0001.jpg", "foreign, below");
    EXPECT_FALSE(bound.HoldsOnlyOwnFiles());
    EXPECT_TRUE(bound.Clear());
    EXPECT_FALSE(Exists(folder + "0000.jpg"));
    EXPECT_FALSE(Exists(folder + ".scanbridge-swap"));
    EXPECT_TRUE(Exists(folder + "letter.txt"));
    EXPECT_TRUE(Exists(folder + "sub/0001.jpg"));

    fs::remove(folder + "letter.txt");
    EXPECT_FALSE(bound.HoldsOnlyOwnFiles());  // the subfolder alone
    fs::remove_all(folder + "sub");
    EXPECT_TRUE(bound.HoldsOnlyOwnFiles());
    EXPECT_FALSE(BoundFolder(dir.path() + "missing/", 4, 0).HoldsOnlyOwnFiles());
}

// Every name that appears in the folder while probing, however briefly, is
// one that Clear deletes, so a process killed mid-probe leaves nothing that
// the next binding would refuse or keep.
TEST(BoundFolderFiles, TheWriteProbeCreatesNoForeignName) {
    TempDir dir;
    std::string folder = dir.path() + "bound/";
    fs::create_directories(folder);
    int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, folder.c_str(), IN_CREATE | IN_MOVED_TO), 0);

    EXPECT_TRUE(BoundFolder(folder, 2, 0).Writable());

    std::vector<std::string> created;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + got;) {
            auto* event = reinterpret_cast<inotify_event*>(at);
            if (event->len > 0) created.emplace_back(event->name);
            at += sizeof(inotify_event) + event->len;
        }
    }
    close(watch);
    for (const std::string& name : created)
        EXPECT_EQ(name.rfind(".scanbridge-probe", 0), 0u) << name;
    EXPECT_TRUE(fs::is_empty(folder));
}

}  // namespace
}  // namespace ver_2

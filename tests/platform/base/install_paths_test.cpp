#include "platform/base/install_paths.h"

#include <gtest/gtest.h>

#include "platform/base/kx_paths.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

TEST(InstallPaths, ExecutableFolderHoldsTheRunningProgram) {
    std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(KXBase_IsRegularFile((folder + "platform_base_tests").c_str())) << folder;
}

// Installed, the shared files sit beside the bin folder; without them (a
// build tree) the source tree is used.
TEST(InstallPaths, SharedFilesAreFoundRelativeToTheExecutable) {
    TempDir prefix;
    std::string bin = prefix.path() + "bin/";
    ASSERT_EQ(KXBase_CreateDir(bin.c_str()), 0);
    EXPECT_EQ(ChooseShareFolder(bin, "/source/"), "/source/");
    EXPECT_EQ(ChooseShareFolder("", "/source/"), "/source/");

    ASSERT_EQ(KXBase_CreateDir((prefix.path() + "share/scanbridge").c_str()), 0);
    EXPECT_EQ(ChooseShareFolder(bin, "/source/"), prefix.path() + "share/scanbridge/");
}

}  // namespace

// The file table and the file operations over it: each OS failure leaves the
// previous file whole, leaves no sibling behind and is logged with the
// system's reason; whole-file reads respect their limit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "fakes/faulty_file_system.h"
#include "platform/base/file_system.h"
#include "platform/base/kx_files.h"
#include "platform/base/kx_status.h"
#include "support/stderr_capture.h"
#include "support/temp_dir.h"

namespace {

using fakes::FaultyFileSystem;
using Call = FaultyFileSystem::Call;
using testing_support::CaptureStderr;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    KXBase_ListFiles(folder.c_str(), &names);
    return names;
}

struct ReplaceFault {
    const char* what;
    Call call;
    int error;
    KXReplaceMode mode;
};

class ReplaceUnderFault : public ::testing::TestWithParam<ReplaceFault> {};

TEST_P(ReplaceUnderFault, KeepsThePreviousFileLeavesNoSiblingAndLogsTheReason) {
    const ReplaceFault& fault = GetParam();
    TempDir dir;
    std::string path = dir.File("data/list.txt");
    WriteFile(path, "old contents");
    FaultyFileSystem faulty;
    faulty.Inject(fault.call, fault.error);
    int status = KX_OK;
    std::string log = CaptureStderr(dir, [&] {
        kxbase::ScopedFileSystem scope(faulty);
        status = KXBase_ReplaceFile(path.c_str(), "new contents", 12, fault.mode);
    });
    EXPECT_NE(status, KX_OK);
    EXPECT_EQ(faulty.failures(fault.call), 1);
    EXPECT_EQ(ReadFile(path), "old contents");
    EXPECT_EQ(Names(dir.path() + "data/"), std::vector<std::string>{"list.txt"});
    EXPECT_NE(log.find(std::strerror(fault.error)), std::string::npos) << log;
    EXPECT_NE(log.find(path), std::string::npos) << log;

    // The same write succeeds once the disk is well again.
    ASSERT_EQ(KXBase_ReplaceFile(path.c_str(), "new contents", 12, fault.mode), KX_OK);
    EXPECT_EQ(ReadFile(path), "new contents");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReplaceUnderFault,
    ::testing::Values(ReplaceFault{"CreateRefused", Call::kCreate, EACCES, KX_REPLACE_PLAIN},
                      ReplaceFault{"DiskFull", Call::kWrite, ENOSPC, KX_REPLACE_PLAIN},
                      ReplaceFault{"FlushFails", Call::kSync, EIO, KX_REPLACE_DURABLE},
                      ReplaceFault{"CloseFails", Call::kClose, EIO, KX_REPLACE_PLAIN},
                      ReplaceFault{"RenameAcrossDevices", Call::kRename, EXDEV, KX_REPLACE_PLAIN},
                      ReplaceFault{"RenameRefused", Call::kRename, EACCES, KX_REPLACE_DURABLE}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(FileReplacement, OnlyDurableReplacementsFlushAndAFailedPieceDropsTheWhole) {
    TempDir dir;
    std::string path = dir.File("scan.jpg");
    WriteFile(path, "old");
    FaultyFileSystem faulty;
    kxbase::ScopedFileSystem scope(faulty);
    faulty.Inject(Call::kSync, EIO);
    EXPECT_EQ(KXBase_ReplaceFile(path.c_str(), "plain", 5, KX_REPLACE_PLAIN), KX_OK);
    EXPECT_EQ(faulty.failures(Call::kSync), 0);
    EXPECT_EQ(ReadFile(path), "plain");

    // The disk fills up at the second piece: nothing of the first shows.
    faulty.Inject(Call::kWrite, ENOSPC, 2);
    {
        KXFileReplacement file(path, KX_REPLACE_PLAIN);
        EXPECT_TRUE(file.Append("first", 5));
        EXPECT_FALSE(file.Append("second", 6));
        EXPECT_FALSE(file.Append("third", 5));
        EXPECT_NE(file.Commit(), KX_OK);
    }
    EXPECT_EQ(ReadFile(path), "plain");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"scan.jpg"});
}

TEST(ReadWholeFile, ReadsRegularFilesWithinTheLimitOnly) {
    TempDir dir;
    WriteFile(dir.File("page"), "0123456789");
    WriteFile(dir.File("empty"), "");
    std::vector<uint8_t> bytes;
    ASSERT_EQ(KXBase_ReadWholeFile(dir.File("page").c_str(), 10, &bytes), KX_OK);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
    EXPECT_EQ(KXBase_ReadWholeFile(dir.File("page").c_str(), 9, &bytes), KX_ERR_DATA);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(KXBase_ReadWholeFile(dir.File("empty").c_str(), 9, &bytes), KX_OK);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(KXBase_ReadWholeFile(dir.path().c_str(), 9, &bytes), KX_ERR_NOT_FOUND);
    EXPECT_EQ(KXBase_ReadWholeFile(dir.File("missing").c_str(), 9, &bytes), KX_ERR_NOT_FOUND);
    EXPECT_TRUE(KXBase_IsReadableFile(dir.File("page").c_str()));
    EXPECT_FALSE(KXBase_IsReadableFile(dir.path().c_str()));

    FaultyFileSystem faulty;
    faulty.Inject(Call::kRead, EIO);
    kxbase::ScopedFileSystem scope(faulty);
    EXPECT_EQ(KXBase_ReadWholeFile(dir.File("page").c_str(), 10, &bytes), KX_ERR_SYSTEM);
    EXPECT_TRUE(bytes.empty());
}

TEST(SameFile, FollowsLinksAndDotDotButNotLookAlikes) {
    TempDir dir;
    WriteFile(dir.File("scans/a.jpg"), "same");
    std::string folder = dir.path() + "scans";
    WriteFile(dir.File("b.jpg"), "same");
    ASSERT_EQ(symlink(folder.c_str(), (dir.path() + "link").c_str()), 0);
    EXPECT_TRUE(KXBase_IsSameFile(folder.c_str(), (dir.path() + "link").c_str()));
    EXPECT_TRUE(KXBase_IsSameFile(folder.c_str(), (dir.path() + "scans/../scans/").c_str()));
    EXPECT_TRUE(
        KXBase_IsSameFile(dir.File("scans/a.jpg").c_str(), (dir.path() + "link/a.jpg").c_str()));
    EXPECT_FALSE(KXBase_IsSameFile(dir.File("scans/a.jpg").c_str(), dir.File("b.jpg").c_str()));
    EXPECT_FALSE(KXBase_IsSameFile((dir.path() + "gone").c_str(), (dir.path() + "gone").c_str()));
}

TEST(FolderListing, TellsPlainFilesFromLinksAndFolders) {
    TempDir dir;
    WriteFile(dir.File("0001.jpg"), "x");
    WriteFile(dir.File(".hidden"), "x");
    WriteFile(dir.File("sub/inner"), "x");
    ASSERT_EQ(symlink("0001.jpg", (dir.path() + "link.jpg").c_str()), 0);
    std::vector<KXFolderEntry> entries;
    ASSERT_EQ(KXBase_ListFolder(dir.path().c_str(), &entries), KX_OK);
    std::vector<std::string> plain;
    for (const KXFolderEntry& entry : entries) {
        if (entry.plainFile) plain.push_back(entry.name);
    }
    std::sort(plain.begin(), plain.end());
    EXPECT_EQ(entries.size(), 4u);
    EXPECT_EQ(plain, (std::vector<std::string>{".hidden", "0001.jpg"}));
    EXPECT_EQ(KXBase_ListFolder((dir.path() + "missing").c_str(), &entries), KX_ERR_NOT_FOUND);
}

TEST(ScopedFileSystem, ReplacementsNestAndRestoreTheRealTable) {
    FaultyFileSystem outer;
    FaultyFileSystem inner;
    {
        kxbase::ScopedFileSystem first(outer);
        {
            kxbase::ScopedFileSystem second(inner);
            EXPECT_EQ(&kxbase::CurrentFileSystem(), &inner);
        }
        EXPECT_EQ(&kxbase::CurrentFileSystem(), &outer);
    }
    EXPECT_EQ(&kxbase::CurrentFileSystem(), &kxbase::RealFileSystem());
}

}  // namespace

// The ZIP writer: archives libzip reads back entry for entry, inputs that
// cannot be read left out, and an archive that cannot be written in full
// leaving the previous one at its path.
#include <gtest/gtest.h>
#include <zip.h>

#include <cerrno>
#include <map>
#include <string>

#include "fakes/faulty_file_system.h"
#include "platform/base/kx_status.h"
#include "platform/base/kx_zip_writer.h"
#include "support/temp_dir.h"

namespace {

using fakes::FaultyFileSystem;
using Call = FaultyFileSystem::Call;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// Entry name to content, as libzip reads the archive; empty when it cannot.
std::map<std::string, std::string> Entries(const std::string& path) {
    std::map<std::string, std::string> entries;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (archive == nullptr) return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string content(stat.size, '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        zip_fread(file, content.data(), content.size());
        zip_fclose(file);
        entries[stat.name] = content;
    }
    zip_close(archive);
    return entries;
}

// Bytes that do not compress, so the archive is as large as they are.
std::string Noise(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

TEST(ZipWriter, WritesEveryReadableEntryAndLeavesOutTheRest) {
    TempDir dir;
    WriteFile(dir.File("in/0001.jpg"), "first page");
    WriteFile(dir.File("in/0002.jpg"), "second page");
    std::string stored = Noise(1000);
    KXZipWriter zip(dir.File("out/pages.zip"));
    ASSERT_TRUE(zip.IsOpen());
    EXPECT_TRUE(zip.AddFile("a.jpg", dir.File("in/0001.jpg")));
    EXPECT_TRUE(zip.AddFile("b.jpg", dir.File("in/0002.jpg")));
    EXPECT_FALSE(zip.AddFile("c.jpg", dir.File("in/missing.jpg")));
    EXPECT_FALSE(zip.AddFile("d.jpg", dir.path() + "in"));
    EXPECT_TRUE(zip.AddFile("a.jpg", dir.File("in/0002.jpg"))) << "a later entry replaces";
    EXPECT_TRUE(zip.AddText("doc/中文.xml", "<x/>"));
    EXPECT_TRUE(zip.AddBorrowed("raw.bin", stored.data(), stored.size()));
    ASSERT_EQ(zip.Close(), KX_OK);

    std::map<std::string, std::string> expected = {{"a.jpg", "second page"},
                                                   {"b.jpg", "second page"},
                                                   {"doc/中文.xml", "<x/>"},
                                                   {"raw.bin", stored}};
    EXPECT_EQ(Entries(dir.File("out/pages.zip")), expected);
}

TEST(ZipWriter, AnArchiveWithoutEntriesIsNotWritten) {
    TempDir dir;
    KXZipWriter zip(dir.File("empty.zip"));
    EXPECT_FALSE(zip.AddFile("x", dir.File("missing")));
    EXPECT_EQ(zip.Close(), KX_ERR_STATE);
    EXPECT_FALSE(testing_support::Exists(dir.File("empty.zip")));
}

struct ZipFault {
    const char* what;
    Call call;
    int error;
    int nth;
};

class ZipUnderFault : public ::testing::TestWithParam<ZipFault> {};

TEST_P(ZipUnderFault, KeepsThePreviousArchiveWhole) {
    const ZipFault& fault = GetParam();
    TempDir dir;
    std::string path = dir.File("pages.zip");
    {
        KXZipWriter previous(path);
        previous.AddText("old.txt", "old");
        ASSERT_EQ(previous.Close(), KX_OK);
    }
    std::string before = ReadFile(path);
    // Larger than one write, so a disk that fills up midway is seen too.
    std::string large = Noise(3 << 20);
    FaultyFileSystem faulty;
    faulty.Inject(fault.call, fault.error, fault.nth);
    {
        kxbase::ScopedFileSystem scope(faulty);
        KXZipWriter zip(path);
        ASSERT_TRUE(zip.AddBorrowed("new.bin", large.data(), large.size()));
        EXPECT_EQ(zip.Close(), KX_ERR_SYSTEM);
    }
    EXPECT_EQ(faulty.failures(fault.call), 1);
    EXPECT_EQ(ReadFile(path), before);
    std::vector<std::string> names;
    KXBase_ListFiles(dir.path().c_str(), &names);
    EXPECT_EQ(names, std::vector<std::string>{"pages.zip"});
}

INSTANTIATE_TEST_SUITE_P(Faults, ZipUnderFault,
                         ::testing::Values(ZipFault{"DiskFullMidway", Call::kWrite, ENOSPC, 2},
                                           ZipFault{"FlushFails", Call::kSync, EIO, 1},
                                           ZipFault{"RenameFails", Call::kRename, EXDEV, 1}),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace

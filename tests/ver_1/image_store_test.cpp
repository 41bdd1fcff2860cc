// Names, numbering and the list file of the image folders.
#include "ver_1/image_store.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "fakes/faulty_file_system.h"
#include "platform/base/kx_paths.h"
#include "support/temp_dir.h"

namespace ver_1 {
namespace {

using fakes::FaultyFileSystem;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(ImageNames, NextNumberFollowsTheLargestLeadingNumber) {
    EXPECT_EQ(NextImageName({}, "jpg"), "1.jpg");
    EXPECT_EQ(NextImageName({"7.jpg", "abc.jpg", "12.jpg"}, "jpg"), "13.jpg");
    EXPECT_EQ(NextImageName({"abc.jpg"}, "png"), "1.png");
    EXPECT_EQ(NextImageName({"3x.jpg", "-9.jpg"}, "jpg"), "4.jpg");
    EXPECT_EQ(NextImageName({"99999999999999999999.jpg"}, "jpg"), "9223372036854775807.jpg");
}

TEST(ImageNames, OnlyNamesThatStayInTheFolderAreSafe) {
    for (const char* name : {"1.jpg", "a b.png", "扫描.jpg", ".hidden", "x.y.z"})
        EXPECT_TRUE(IsSafeName(name)) << name;
    for (const char* name : {"", ".", "..", "../a", "a/b", "a\\b", "a..b", "images.txt", "/"})
        EXPECT_FALSE(IsSafeName(name)) << name;
}

TEST(ImageNames, StoredExtensionFallsBackToJpeg) {
    EXPECT_EQ(StoredImageExtension("png"), "png");
    EXPECT_EQ(StoredImageExtension("TIF"), "TIF");
    EXPECT_EQ(StoredImageExtension(""), "jpg");
    EXPECT_EQ(StoredImageExtension("exe"), "jpg");
    EXPECT_EQ(StoredImageExtension("/../x"), "jpg");
}

class ImageList : public ::testing::Test {
  protected:
    TempDir documents_;
    ScopedEnv env_{"SCANBRIDGE_DOCUMENTS_DIR", documents_.path()};
};

// Scanner names become folder names: the ones that can stay as they are,
// the others with their troublesome bytes percent-encoded, never two names
// in one folder.
TEST(ImageNames, PidFolderNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"Virtual Scanner", "Virtual Scanner"},
        {"扫描仪 B", "扫描仪 B"},
        {"50% off", "50% off"},
        {"a.b", "a.b"},
        {"test:0", "test%3A0"},
        {"net:host:test:0/1", "net%3Ahost%3Atest%3A0%2F1"},
        {"hpaio:/usb/x\\y", "hpaio%3A%2Fusb%2Fx%5Cy"},
        {"tab\there", "tab%09here"},
        {"a%2Fb", "a%252Fb"},  // would read as the escape of "a/b"
        {"%2", "%2"},
        {"..", "%2E%2E"},
        {".", "%2E"},
        {"../x", "%2E%2E%2Fx"},
        {"", ""},
    };
    for (const auto& [pid, folder] : cases)
        EXPECT_EQ(PidFolderName(pid), folder) << pid;
    EXPECT_NE(PidFolderName("a/b"), PidFolderName("a%2Fb"));
}

TEST_F(ImageList, FolderIsUnderTheDocumentsTree) {
    std::string folder;
    ASSERT_TRUE(ImageDirectory("Virtual Scanner", &folder));
    EXPECT_EQ(folder, documents_.path() + "scanbridge/Virtual Scanner/");
    ASSERT_TRUE(ImageDirectory("../x", &folder));
    EXPECT_EQ(folder, documents_.path() + "scanbridge/%2E%2E%2Fx/");
    EXPECT_FALSE(ImageDirectory("", &folder));
    EXPECT_EQ(folder, "");
}

TEST_F(ImageList, ReadSkipsEmptyAndUnsafeLinesAndWriteRoundTrips) {
    EXPECT_TRUE(ReadImageList("p").empty());
    EXPECT_FALSE(WriteImageList("p", {"1.jpg"}));  // the folder is not created
    std::string list = documents_.File("scanbridge/p/images.txt");
    WriteFile(list, "1.jpg\n\n../../etc/passwd\n2 b.jpg\nlast.png");
    EXPECT_EQ(ReadImageList("p"), (std::vector<std::string>{"1.jpg", "2 b.jpg", "last.png"}));
    ASSERT_TRUE(WriteImageList("p", {"b.jpg", "a.jpg"}));
    EXPECT_EQ(ReadFile(list), "b.jpg\na.jpg\n");
    EXPECT_TRUE(ReadImageList("..").empty());
}

TEST_F(ImageList, WindowsLineEndsReadLikeTextMode) {
    std::string list = documents_.File("scanbridge/p/images.txt");
    WriteFile(list, "2.jpg\r\n1.jpg\r\n");
    EXPECT_EQ(ReadImageList("p"), (std::vector<std::string>{"2.jpg", "1.jpg"}));
}

// The list is replaced whole and flushed: when the new one cannot be
// written, flushed or renamed into place, the old one stays, and no stray
// file is left in the folder.
TEST_F(ImageList, AFailedWriteKeepsTheOldList) {
    std::string list = documents_.File("scanbridge/p/images.txt");
    ASSERT_TRUE(WriteImageList("p", {"1.jpg", "2.jpg"}));
    EXPECT_EQ(ReadFile(list), "1.jpg\n2.jpg\n");

    const std::pair<int, FaultyFileSystem::Call> faults[] = {
        {ENOSPC, FaultyFileSystem::Call::kWrite},
        {EIO, FaultyFileSystem::Call::kSync},
        {EXDEV, FaultyFileSystem::Call::kRename},
    };
    for (const auto& [error, call] : faults) {
        FaultyFileSystem faulty;
        faulty.Inject(call, error);
        kxbase::ScopedFileSystem scope(faulty);
        EXPECT_FALSE(WriteImageList("p", {"1.jpg", "2.jpg", "3.jpg"})) << error;
        EXPECT_EQ(ReadImageList("p"), (std::vector<std::string>{"1.jpg", "2.jpg"})) << error;
    }
    std::vector<std::string> names;
    KXBase_ListFiles((documents_.path() + "scanbridge/p/").c_str(), &names);
    EXPECT_EQ(names, std::vector<std::string>{"images.txt"});
}

}  // namespace
}  // namespace ver_1

// ManagerV2 on a failing disk: a full disk, a failed flush or a refused
// rename while a folder is bound or a document is exported. The command
// reports the failure, the files already there stay whole, and the batch and
// the saved-file list keep every page they had.
#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fakes/faulty_file_system.h"
#include "platform/base/kx_files.h"
#include "platform/base/kx_pump.h"
#include "platform/image/image_test_util.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"
#include "ver_2/bound_folder.h"
#include "ver_2/image_operations.h"
#include "ver_2/manager_fixture.h"
#include "ver_2/manager_v2.h"
#include "ver_2/texts.h"

namespace ver_2 {
namespace {

using fakes::FaultyFileSystem;
using Call = FaultyFileSystem::Call;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;

// File name to contents of the files in a folder.
std::map<std::string, std::string> FolderFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::vector<std::string> names;
    KXBase_ListFiles(folder.c_str(), &names);
    for (const std::string& name : names)
        files[name] = ReadFile(folder + name);
    return files;
}

bool HoldsAll(const std::map<std::string, std::string>& files,
              const std::map<std::string, std::string>& before) {
    for (const auto& [name, contents] : before) {
        bool found = false;
        for (const auto& [_, now] : files)
            found = found || now == contents;
        if (!found) return false;
    }
    return true;
}

class ManagerFileFaults : public PrivateTreeManager {
  protected:
    ManagerFileFaults() { Restart(); }

    // A JPEG file of its own size, so every page has other bytes.
    std::string PageFile(int n) {
        std::string path = root_.File("in/page" + std::to_string(n) + ".jpg");
        image_test::ImagePtr image = image_test::Pattern(40 + n, 30, KX_PIXEL_RGB);
        EXPECT_EQ(KXImgFmt_SaveImage(image.get(), KX_FORMAT_JPEG, nullptr, path.c_str()), 0);
        return path;
    }

    void InsertPages(int count) {
        for (int n = 1; n <= count; ++n) {
            ErrorInfo error;
            ASSERT_EQ(manager_->InsertLocalImage(PageFile(n), -1, "", error), 0) << error.detail;
        }
    }
};

struct FolderFault {
    const char* what;
    Call call;
    int error;
    bool reported;  // false: the whole-folder rewrite repairs it
};

class BoundFolderFault : public ManagerFileFaults,
                         public ::testing::WithParamInterface<FolderFault> {};

TEST_P(BoundFolderFault, TheChangeStaysInTheBatchAndNoFileIsLost) {
    const FolderFault& fault = GetParam();
    std::string folder = root_.path() + "bound/";
    InsertPages(2);
    ErrorInfo error;
    ASSERT_EQ(manager_->BindFolder(folder, 4, 1, error), 0) << error.detail;
    std::map<std::string, std::string> before = FolderFiles(folder);
    ASSERT_EQ(before.size(), 2u);
    std::string third = PageFile(3);

    FaultyFileSystem faulty;
    faulty.Inject(fault.call, fault.error, 1, folder);
    {
        kxbase::ScopedFileSystem scope(faulty);
        // At the front, so the mirror has to move both files and write one.
        ErrorInfo inserted;
        int result = manager_->InsertLocalImage(third, 0, "", inserted);
        EXPECT_EQ(result, fault.reported ? -1 : 0);
        if (fault.reported)
            EXPECT_EQ(
                inserted.detail,
                "the batch keeps the change, but the bound folder could not be written: " + folder);
        else
            EXPECT_EQ(inserted.detail, "");
    }
    EXPECT_GE(faulty.failures(fault.call), 1);
    EXPECT_EQ(manager_->GetImageEntries().size(), 3u) << "the page stays in the batch";
    std::map<std::string, std::string> after = FolderFiles(folder);
    EXPECT_TRUE(HoldsAll(after, before)) << "an image file already in the folder was lost";
    for (const auto& [name, _] : after)
        EXPECT_TRUE(BoundFolder::IsOwnName(name) && name.find('.') == 4) << name;

    // With the disk well again the next change brings the whole folder in step.
    ASSERT_EQ(manager_->InsertLocalImage(PageFile(4), -1, "", error), 0) << error.detail;
    after = FolderFiles(folder);
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after["0002.jpg"], before["0001.jpg"]);
    EXPECT_EQ(after["0003.jpg"], before["0002.jpg"]);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BoundFolderFault,
    ::testing::Values(FolderFault{"DiskFull", Call::kWrite, ENOSPC, true},
                      FolderFault{"FlushFails", Call::kSync, EIO, true},
                      FolderFault{"ReplaceRenameFails", Call::kRename, EACCES, true},
                      FolderFault{"MoveFailsAndIsRepaired", Call::kRenameNoReplace, EXDEV, false}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(ManagerFileFaults, AFolderThatCannotBeWrittenIsNotBound) {
    InsertPages(1);
    std::string folder = root_.path() + "bound/";
    FaultyFileSystem faulty;
    faulty.Inject(Call::kWrite, ENOSPC, 1, folder);
    kxbase::ScopedFileSystem scope(faulty);
    ErrorInfo error;
    EXPECT_EQ(manager_->BindFolder(folder, 4, 1, error), -1);
    EXPECT_EQ(error.text, kErrorText);
    EXPECT_FALSE(error.detail.empty());
    EXPECT_EQ(manager_->bindFolder(), "");
    EXPECT_TRUE(FolderFiles(folder).empty());
}

struct ExportFault {
    const char* what;
    const char* format;  // "pdf", "ofd" or "zip"
    Call call;
    int error;
};

class DocumentExportFault : public ManagerFileFaults,
                            public ::testing::WithParamInterface<ExportFault> {
  protected:
    int Export(const std::vector<std::string>& pages, std::string& path, ErrorInfo& error) {
        std::string format = GetParam().format;
        if (format == "zip")
            return MakeZipArchive(manager_->outputs(), pages, {}, false, path, error);
        return MakeMultiImageFile(manager_->outputs(), pages, format, "jpeg", 80, false, path,
                                  error);
    }
};

TEST_P(DocumentExportFault, ReportsFailureLeavesNoFileAndKeepsTheSavedList) {
    const ExportFault& fault = GetParam();
    std::vector<std::string> pages = {PageFile(1), PageFile(2)};
    std::string path;
    ErrorInfo error;
    ASSERT_EQ(Export(pages, path, error), 0) << error.detail;
    std::vector<std::string> saved = manager_->saveFilenames();
    std::map<std::string, std::string> before = FolderFiles(SaveFolder());

    FaultyFileSystem faulty;
    faulty.Inject(fault.call, fault.error, 1, SaveFolder());
    {
        kxbase::ScopedFileSystem scope(faulty);
        EXPECT_EQ(Export(pages, path, error), -1);
    }
    EXPECT_EQ(faulty.failures(fault.call), 1);
    EXPECT_EQ(error.text, kErrorText);
    EXPECT_FALSE(error.detail.empty());
    EXPECT_EQ(path, "");
    EXPECT_EQ(manager_->saveFilenames(), saved);
    EXPECT_EQ(FolderFiles(SaveFolder()), before) << "a partial document was left behind";

    // The list on disk is the one in memory.
    EXPECT_EQ(Restart().saveFilenames(), saved);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DocumentExportFault,
    ::testing::Values(ExportFault{"PdfDiskFull", "pdf", Call::kWrite, ENOSPC},
                      ExportFault{"PdfFlushFails", "pdf", Call::kSync, EIO},
                      ExportFault{"PdfRenameFails", "pdf", Call::kRename, EXDEV},
                      ExportFault{"OfdDiskFull", "ofd", Call::kWrite, ENOSPC},
                      ExportFault{"OfdFlushFails", "ofd", Call::kSync, EIO},
                      ExportFault{"OfdMoveFails", "ofd", Call::kRenameNoReplace, EACCES},
                      ExportFault{"ZipDiskFull", "zip", Call::kWrite, ENOSPC},
                      ExportFault{"ZipFlushFails", "zip", Call::kSync, EIO},
                      ExportFault{"ZipRenameFails", "zip", Call::kRename, EXDEV}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace ver_2

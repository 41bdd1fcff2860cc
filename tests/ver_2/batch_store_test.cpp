// The batch store and the output files on their own, without a scanner
// driver: batches across a reopen of the database, edits that keep the
// order and the bound folder in step, and the saved-file list.
#include "ver_2/batch_store.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/base/kx_files.h"
#include "platform/image/image_test_util.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"
#include "ver_2/batch_tables.h"
#include "ver_2/output_files.h"

namespace ver_2 {
namespace {

using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;

class BatchStoreTest : public ::testing::Test {
  protected:
    BatchStoreTest() : tmp_("SCANBRIDGE_TMP_DIR", root_.path() + "tmp/") {}

    std::string DatabaseFolder() const { return root_.path() + "db/"; }

    // A JPEG file of its own size, so every page has other bytes.
    std::string PageFile(int n) {
        std::string path = root_.File("in/page" + std::to_string(n) + ".jpg");
        image_test::ImagePtr image = image_test::Pattern(40 + n, 30, KX_PIXEL_RGB);
        EXPECT_EQ(KXImgFmt_SaveImage(image.get(), KX_FORMAT_JPEG, nullptr, path.c_str()), 0);
        return path;
    }

    static std::vector<std::string> Tags(BatchStore& store) {
        std::vector<ThumbnailItem> items;
        ErrorInfo error;
        EXPECT_EQ(store.GetImageThumbnailList(items, error), 0) << error.detail;
        std::vector<std::string> tags;
        for (const ThumbnailItem& item : items)
            tags.push_back(item.tag);
        return tags;
    }

    TempDir root_;
    ScopedEnv tmp_;
};

TEST_F(BatchStoreTest, BatchesOutliveAReopenAndTheNewestIsCurrent) {
    {
        BatchStore store(DatabaseFolder());
        ASSERT_NE(store.database(), nullptr);
        EXPECT_EQ(store.currBatchId(), "default");
        ErrorInfo error;
        ASSERT_EQ(store.NewBatch("first", error), 0) << error.detail;
        ASSERT_EQ(store.ModifyBatchId("first", "renamed", error), 0) << error.detail;
        EXPECT_EQ(store.currBatchId(), "renamed");
        EXPECT_EQ(store.DeleteBatch("renamed", error), -1);
        EXPECT_EQ(error.detail, "batch \"renamed\" is the current batch; open another first");
        ASSERT_EQ(store.NewBatch("second", error), 0) << error.detail;
        ASSERT_EQ(store.OpenBatch("default", error), 0) << error.detail;
        ASSERT_EQ(store.DeleteBatch("renamed", error), 0) << error.detail;
        EXPECT_EQ(store.NewBatch("default", error), -1);
        EXPECT_EQ(error.detail, "a batch named \"default\" exists already");
    }
    BatchStore reopened(DatabaseFolder());
    std::vector<std::string> names;
    ErrorInfo error;
    ASSERT_EQ(reopened.GetBatchIdList(names, error), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"default", "second"}));
    EXPECT_EQ(reopened.currBatchId(), "second");
}

// One edit of the image list and the tags in order after it.
struct Edit {
    const char* what;
    std::function<int(BatchStore&, ErrorInfo&)> apply;
    std::vector<std::string> tags;
};

TEST_F(BatchStoreTest, EditsKeepTheOrderAndTheBoundFolderInStep) {
    BatchStore store(DatabaseFolder());
    std::string folder = root_.path() + "bound/";
    ErrorInfo error;
    ASSERT_EQ(store.BindFolder(folder, 3, 1, {DatabaseFolder()}, error), 0) << error.detail;
    for (int n = 1; n <= 5; ++n) {
        ASSERT_EQ(store.InsertLocalImage(PageFile(n), -1, "t" + std::to_string(n), error), 0)
            << error.detail;
    }
    std::vector<Edit> edits = {
        {"insert before the second",
         [&](BatchStore& s, ErrorInfo& e) { return s.InsertLocalImage(PageFile(6), 1, "t6", e); },
         {"t1", "t6", "t2", "t3", "t4", "t5"}},
        {"move the last two to the front",
         [](BatchStore& s, ErrorInfo& e) {
             return s.MoveImage({4, 5}, "pos", 0, e);
         },
         {"t4", "t5", "t1", "t6", "t2", "t3"}},
        {"exchange the ends",
         [](BatchStore& s, ErrorInfo& e) { return s.ExchangeImage(0, 5, e); },
         {"t3", "t5", "t1", "t6", "t2", "t4"}},
        {"delete two",
         [](BatchStore& s, ErrorInfo& e) {
             return s.DeleteImage({1, 3}, e);
         },
         {"t3", "t1", "t2", "t4"}},
        {"book order",
         [](BatchStore& s, ErrorInfo& e) { return s.ImageBookSort(e); },
         {"t3", "t2", "t4", "t1"}},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.what);
        ASSERT_EQ(edit.apply(store, error), 0) << error.detail;
        EXPECT_EQ(Tags(store), edit.tags);
        std::vector<std::string> files;
        KXBase_ListFiles(folder.c_str(), &files);
        ASSERT_EQ(files.size(), edit.tags.size());
        for (size_t i = 0; i < edit.tags.size(); ++i) {
            StoredPicture picture;
            ASSERT_EQ(store.ReadPictureAt(static_cast<int32_t>(i), picture, error), 0);
            std::string name = folder + "00" + std::to_string(i + 1) + ".jpg";
            EXPECT_EQ(ReadFile(name), std::string(picture.bytes.begin(), picture.bytes.end()))
                << name;
        }
    }
    EXPECT_EQ(store.BindFolder(DatabaseFolder(), 3, 1, {DatabaseFolder()}, error), -1);
    EXPECT_EQ(error.detail.rfind("the folder holds the service's own files", 0), 0u)
        << error.detail;
}

TEST_F(BatchStoreTest, KeptFilesAreListedAcrossAReopenAndTemporaryOnesAreNot) {
    GlobalConfig config;
    config.fileSavePath = root_.path() + "save/";
    config.fileNamePrefix = "p";
    config.fileNameMode = "random";
    config.imageFormat = "jpg";
    std::string kept;
    std::string gone;
    std::string temporary;
    {
        BatchStore store(DatabaseFolder());
        OutputFiles outputs(store, config);
        ErrorInfo error;
        const uint8_t bytes[] = {1, 2, 3};
        ASSERT_EQ(outputs.SaveBytes(bytes, sizeof bytes, "jpg", false, kept, error), 0);
        ASSERT_EQ(outputs.SaveBytes(bytes, sizeof bytes, "png", false, gone, error), 0);
        ASSERT_EQ(outputs.SaveBytes(bytes, sizeof bytes, "jpg", true, temporary, error), 0);
        EXPECT_EQ(kept.rfind(config.fileSavePath + "p", 0), 0u) << kept;
        EXPECT_EQ(temporary.rfind(root_.path() + "tmp/", 0), 0u) << temporary;
        EXPECT_EQ(ReadFile(kept), "\x01\x02\x03");
        EXPECT_EQ(outputs.saveFilenames(), (std::vector<std::string>{kept, gone}));
        EXPECT_EQ(outputs.DeleteLocalFile(temporary, error), -1);
        EXPECT_TRUE(Exists(temporary));
    }
    KXBase_DeleteFile(gone.c_str());
    BatchStore store(DatabaseFolder());
    OutputFiles outputs(store, config);
    EXPECT_EQ(outputs.saveFilenames(), (std::vector<std::string>{kept}));
    ErrorInfo error;
    ASSERT_EQ(outputs.DeleteLocalFile(kept, error), 0) << error.detail;
    EXPECT_FALSE(Exists(kept));
    EXPECT_TRUE(outputs.saveFilenames().empty());
}

}  // namespace
}  // namespace ver_2

// ManagerV2 set-up: the database a first start creates, the settings and
// their validation, the saved-file list and the stored scanner options, each
// across a restart (a new ManagerV2 on the same folders).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/base/kx_profile.h"
#include "platform/base/kx_pump.h"
#include "support/sqlite_rows.h"
#include "support/temp_dir.h"
#include "ver_2/manager_fixture.h"
#include "ver_2/manager_v2.h"

namespace ver_2 {
namespace {

using testing_support::Exists;
using testing_support::QueryRows;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

class ManagerSetup : public PrivateTreeManager {
  protected:
    std::string ConfigFile(const std::string& name) const {
        return root_.path() + "config/" + name;
    }
    std::string Database() const { return ConfigFile("newConfig2.db"); }
};

TEST_F(ManagerSetup, FirstStartCreatesTheTablesAndTheDefaultBatchAndRemovesTheOldDatabase) {
    std::filesystem::create_directories(root_.path() + "config");
    WriteFile(ConfigFile("config2.db"), "old");
    ManagerV2& manager = Restart();
    EXPECT_FALSE(Exists(ConfigFile("config2.db")));
    EXPECT_EQ(manager.currBatchId(), "default");
    EXPECT_EQ(QueryRows(Database(),
                        "select name from sqlite_master where type='table' and name not "
                        "like 'sqlite_%' order by name"),
              (std::vector<std::string>{"device_params", "save_filenames", "table_",
                                        "table_default", "table_default_idx"}));
    EXPECT_EQ(QueryRows(Database(), "select name from pragma_table_info('table_default')"),
              (std::vector<std::string>{"id", "format", "tag", "image", "thumb"}));
    EXPECT_EQ(QueryRows(Database(), "select name from pragma_table_info('table_default_idx')"),
              (std::vector<std::string>{"id", "idx"}));
    EXPECT_EQ(QueryRows(Database(), "select id, name from table_"),
              (std::vector<std::string>{"1|default"}));

    // A restart keeps the batches and adds nothing; the newest batch is current.
    manager_.reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Database().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "insert into table_ (name) values ('second')", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(Restart().currBatchId(), "second");
    EXPECT_EQ(QueryRows(Database(), "select name from table_ order by id"),
              (std::vector<std::string>{"default", "second"}));
}

TEST_F(ManagerSetup, AnInterruptedFirstSetUpIsCompletedAtTheNextStart) {
    // A database file that was created but whose set-up never committed.
    std::filesystem::create_directories(root_.path() + "config");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Database().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "create table save_filenames (filename text)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(Restart().currBatchId(), "default");
}

TEST_F(ManagerSetup, DefaultsApplyWithoutASettingsFile) {
    GlobalConfig config;
    Restart().GetGlobalConfig(config);
    EXPECT_EQ(config.fileSavePath, root_.path() + "documents/scanbridge/");
    EXPECT_EQ(config.fileNamePrefix, "Zembo");
    EXPECT_EQ(config.fileNameMode, "date_time");
    EXPECT_EQ(config.imageFormat, "jpg");
    EXPECT_EQ(config.imageJpegQuality, 80);
    EXPECT_EQ(config.imageTiffCompression, "lzw");
    EXPECT_EQ(config.imageTiffJpegQuality, 80);
    EXPECT_FALSE(Exists(ConfigFile("config2.ini")));
}

TEST_F(ManagerSetup, HandEditedValuesStayInForceButCannotBeSet) {
    std::filesystem::create_directories(root_.path() + "config");
    std::string ini = ConfigFile("config2.ini");
    KXBase_SetProfileString(ini.c_str(), "global", "imageJpegQuality", "500");
    KXBase_SetProfileString(ini.c_str(), "global", "fileNameMode", "abc");
    ManagerV2& manager = Restart();
    GlobalConfig config;
    manager.GetGlobalConfig(config);
    EXPECT_EQ(config.imageJpegQuality, 500);
    EXPECT_EQ(config.fileNameMode, "abc");
    ErrorInfo error;
    EXPECT_EQ(manager.SetGlobalConfig(config, kFieldImageJpegQuality, error), -1);
    EXPECT_EQ(error.text, "参数错误");
    EXPECT_EQ(error.detail, "image_jpeg_quality 500 is outside 0..100");
    EXPECT_EQ(manager.SetGlobalConfig(config, kFieldFileNameMode, error), -1);
}

TEST_F(ManagerSetup, SettingsAreValidatedAsAWholeAndPersistedAtOnce) {
    ManagerV2& manager = Restart();
    struct Case {
        const char* what;
        GlobalConfig config;
        uint32_t mask;
        std::string detail;
    };
    GlobalConfig good;
    good.fileSavePath = root_.path() + "a/./b/../scans";
    good.fileNamePrefix = "P_";
    good.fileNameMode = "random";
    good.imageFormat = "png";
    good.imageJpegQuality = 0;
    good.imageTiffCompression = "ccitt-g4";
    good.imageTiffJpegQuality = 100;
    auto with = [&](auto change) {
        GlobalConfig config = good;
        change(config);
        return config;
    };
    const std::string formats = "jpg, bmp, png, tif, pdf, ofd, ocr-pdf, ocr-ofd";
    const Case rejected[] = {
        {"empty path", with([](GlobalConfig& c) { c.fileSavePath.clear(); }), 0x7f,
         "file_save_path is empty"},
        {"path too long",
         with([](GlobalConfig& c) { c.fileSavePath = "/" + std::string(300, 'p'); }), 0x7f,
         "file_save_path is longer than 255 bytes"},
        {"path with a line break", with([](GlobalConfig& c) { c.fileSavePath += "\n[connect]"; }),
         0x7f, "file_save_path holds a control character"},
        {"prefix with a folder", with([](GlobalConfig& c) { c.fileNamePrefix = "../x"; }), 0x7f,
         "file_name_prefix holds a \"/\""},
        {"prefix too long", with([](GlobalConfig& c) { c.fileNamePrefix = std::string(216, 'p'); }),
         0x7f, "file_name_prefix is longer than 215 bytes"},
        {"prefix with a line break", with([](GlobalConfig& c) { c.fileNamePrefix = "a\nport=1"; }),
         0x7f, "file_name_prefix holds a control character"},
        {"mode in capitals", with([](GlobalConfig& c) { c.fileNameMode = "RANDOM"; }), 0x7f,
         "file_name_mode \"RANDOM\" is not one of date_time, random"},
        {"format gif", with([](GlobalConfig& c) { c.imageFormat = "gif"; }), 0x7f,
         "image_format \"gif\" is not one of " + formats},
        {"format with a blank", with([](GlobalConfig& c) { c.imageFormat = "jpg "; }), 0x7f,
         "image_format \"jpg \" is not one of " + formats},
        {"quality 101", with([](GlobalConfig& c) { c.imageJpegQuality = 101; }), 0x7f,
         "image_jpeg_quality 101 is outside 0..100"},
        {"quality -1", with([](GlobalConfig& c) { c.imageJpegQuality = -1; }), 0x7f,
         "image_jpeg_quality -1 is outside 0..100"},
        {"compression zip", with([](GlobalConfig& c) { c.imageTiffCompression = "zip"; }), 0x7f,
         "image_tiff_compression \"zip\" is not one of none, lzw, jpeg, ccitt-g4"},
        {"tiff quality 101", with([](GlobalConfig& c) { c.imageTiffJpegQuality = 101; }), 0x7f,
         "image_tiff_jpeg_quality 101 is outside 0..100"},
    };
    for (const Case& c : rejected) {
        ErrorInfo error;
        EXPECT_EQ(manager.SetGlobalConfig(c.config, c.mask, error), -1) << c.what;
        EXPECT_EQ(error.text, "参数错误") << c.what;
        EXPECT_EQ(error.detail, c.detail) << c.what;
    }
    GlobalConfig unchanged;
    manager.GetGlobalConfig(unchanged);
    EXPECT_EQ(unchanged.imageFormat, "jpg");
    EXPECT_FALSE(Exists(ConfigFile("config2.ini")));

    // A bad field outside the mask does not matter; mask 0 changes nothing.
    ErrorInfo error;
    EXPECT_EQ(
        manager.SetGlobalConfig(with([](GlobalConfig& c) { c.imageFormat = "gif"; }), 0x01, error),
        0);
    EXPECT_EQ(manager.SetGlobalConfig(GlobalConfig{}, 0, error), 0);
    EXPECT_EQ(manager.SetGlobalConfig(good, 0x7f, error), 0);

    GlobalConfig after;
    Restart().GetGlobalConfig(after);
    EXPECT_EQ(after.fileSavePath, root_.path() + "a/scans/");
    EXPECT_EQ(after.fileNamePrefix, "P_");
    EXPECT_EQ(after.fileNameMode, "random");
    EXPECT_EQ(after.imageFormat, "png");
    EXPECT_EQ(after.imageJpegQuality, 0);
    EXPECT_EQ(after.imageTiffCompression, "ccitt-g4");
    EXPECT_EQ(after.imageTiffJpegQuality, 100);
    EXPECT_NE(ReadFile(ConfigFile("config2.ini")).find("fileSavePath=" + root_.path() + "a/scans/"),
              std::string::npos);
}

// A driver thread holding the scan's lock (reporting an event) neither waits
// for the settings files nor holds them up: they are written without the
// lock, and only the swap of the naming values takes the output files' own
// mutex.
TEST_F(ManagerSetup, SettingsFilesAreWrittenWhileADriverThreadHoldsTheLock) {
    ManagerV2& manager = Restart();
    GlobalConfig config;
    manager.GetGlobalConfig(config);
    config.fileNamePrefix = "Locked_";
    int result = -1;
    ErrorInfo error;
    std::thread setter;
    {
        KXLockGuard driverSide(manager.lock());
        setter = std::thread(
            [&] { result = manager.SetGlobalConfig(config, kFieldFileNamePrefix, error); });
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        bool written = false;
        while (!written && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            written = ReadFile(ConfigFile("config2.ini")).find("fileNamePrefix=Locked_") !=
                      std::string::npos;
        }
        EXPECT_TRUE(written) << "the settings file waited for the lock";
    }
    setter.join();
    EXPECT_EQ(result, 0);
    GlobalConfig after;
    manager.GetGlobalConfig(after);
    EXPECT_EQ(after.fileNamePrefix, "Locked_");
}

TEST_F(ManagerSetup, SavedFileListSurvivesRestartsWithoutVanishedFilesOrFolders) {
    ManagerV2& manager = Restart();
    std::string kept = root_.File("documents/kept 'quoted'.jpg");
    std::string vanished = root_.File("documents/vanished.jpg");
    std::string folder = root_.File("documents/becomes-folder.jpg");
    for (const std::string& path : {kept, vanished, folder})
        WriteFile(path, "x");
    manager.AddSaveFilename(kept);
    manager.AddSaveFilename(vanished);
    manager.AddSaveFilename(folder);
    manager.AddSaveFilename(kept);
    EXPECT_EQ(QueryRows(Database(), "select filename from save_filenames").size(), 4u);

    manager_.reset();
    std::filesystem::remove(vanished);
    std::filesystem::remove(folder);
    std::filesystem::create_directories(folder);
    EXPECT_EQ(Restart().saveFilenames(), (std::vector<std::string>{kept, kept}));
    EXPECT_EQ(QueryRows(Database(), "select filename from save_filenames"),
              (std::vector<std::string>{kept, kept}));

    // Removing takes the first equal entry only.
    manager_->RemoveSaveFilename(kept);
    manager_->RemoveSaveFilename("not listed");
    EXPECT_EQ(QueryRows(Database(), "select filename from save_filenames"),
              (std::vector<std::string>{kept}));
}

TEST_F(ManagerSetup, DeleteLocalFileOnlyDeletesListedFiles) {
    ManagerV2& manager = Restart();
    std::string listed = root_.File("documents/listed.jpg");
    std::string unlisted = root_.File("documents/unlisted.jpg");
    WriteFile(listed, "x");
    WriteFile(unlisted, "x");
    manager.AddSaveFilename(listed);
    ErrorInfo error;
    EXPECT_EQ(manager.DeleteLocalFile(unlisted, error), -1);
    EXPECT_EQ(error.text, "错误");
    EXPECT_EQ(error.detail, "not a file this service saved: " + unlisted);
    EXPECT_TRUE(Exists(unlisted));
    EXPECT_EQ(manager.DeleteLocalFile(listed, error), 0);
    EXPECT_FALSE(Exists(listed));
    EXPECT_EQ(manager.DeleteLocalFile(listed, error), -1);

    // A listed entry whose file cannot be deleted stays listed.
    std::string gone = root_.File("documents/gone.jpg");
    WriteFile(gone, "x");
    manager.AddSaveFilename(gone);
    std::filesystem::remove(gone);
    EXPECT_EQ(manager.DeleteLocalFile(gone, error), -1);
    EXPECT_EQ(error.detail, "cannot delete file: " + gone);
    EXPECT_EQ(manager.saveFilenames(), (std::vector<std::string>{gone}));

    WriteFile(unlisted, "still here");
    manager.AddSaveFilename(listed);  // already deleted: ignored by the clean-up
    manager.ClearGlobalFileSavePath();
    EXPECT_TRUE(manager.saveFilenames().empty());
    EXPECT_TRUE(QueryRows(Database(), "select * from save_filenames").empty());
    EXPECT_TRUE(Exists(unlisted));
}

TEST_F(ManagerSetup, WithoutADatabaseTheServiceStillRuns) {
    // A folder where the database file should be: it cannot be opened.
    std::filesystem::create_directories(Database());
    ManagerV2& manager = Restart();
    EXPECT_EQ(manager.database(), nullptr);
    EXPECT_EQ(manager.currBatchId(), "");
    std::string file = root_.File("documents/a.jpg");
    WriteFile(file, "x");
    manager.AddSaveFilename(file);
    EXPECT_EQ(manager.saveFilenames().size(), 1u);
}

}  // namespace
}  // namespace ver_2

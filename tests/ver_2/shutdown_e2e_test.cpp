// Stopping the service while it works: SIGTERM during a scan records every
// saved page and closes the database cleanly; kill -9 in the middle of
// settings and saved-list changes leaves a consistent database and settings
// file that the next start uses.
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "support/temp_dir.h"
#include "ver_2/generation2_fixture.h"

namespace testing_support {
namespace {

using Shutdown = Generation2Test;

const std::string kSmallPicture = "data:image/jpeg;base64,/9j/4AAQSkZJRgABAQ==";

TEST_F(Shutdown, SigtermDuringAScanRecordsEverySavedPage) {
    SetVirtual("page_delay_ms", "20");
    SetVirtual("sheets", "500");
    Start();
    OpenScanner();
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"start_scan"})"), "ret"), 0);
    for (int i = 0; i < 5; ++i)
        ASSERT_FALSE(page_.EventsThrough("scan_image").empty());

    EXPECT_EQ(service().Stop(SIGTERM), 0) << service().Log();
    EXPECT_NE(service().Log().find("SANE_EVENT_SCAN_FINISHED, msg=扫描取消"), std::string::npos);
    std::vector<std::string> onDisk = FilesIn(SaveFolder());
    EXPECT_GE(onDisk.size(), 5u);
    EXPECT_LT(onDisk.size(), 500u);
    std::vector<std::string> recorded = StoredSavedFiles();
    std::sort(recorded.begin(), recorded.end());
    EXPECT_EQ(recorded, onDisk);
    EXPECT_EQ(IntegrityCheck(), "ok");
    EXPECT_FALSE(Exists(Database() + "-journal"));
}

TEST_F(Shutdown, KillDuringChangesLeavesAConsistentDatabase) {
    Start();
    for (int round = 0; round < 4; ++round) {
        // A second thread keeps changing settings and the saved-file list
        // while this one kills the service at a different moment each round.
        // One client at a time: the changer takes over from page_.
        page_.Close();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::atomic<bool> stop{false};
        std::atomic<int> changes{0};
        std::thread changer([&] {
            PageClient client;
            if (!client.Connect(port_)) return;
            for (int i = 0; !stop; ++i) {
                Json saved = client.Call(
                    R"({"func":"save_local_image","image_base64":")" + kSmallPicture + "\"}",
                    std::chrono::seconds(2));
                if (!saved) return;
                client.Call(R"({"func":"set_global_config","image_jpeg_quality":)" +
                                std::to_string(i % 100) + R"(,"file_name_prefix":"p)" +
                                std::to_string(i) + "\"}",
                            std::chrono::seconds(2));
                ++changes;
                if (i % 3 == 0) {
                    client.Call(R"({"func":"delete_local_file","file_path":")" +
                                    JsonString(saved, "image_path") + "\"}",
                                std::chrono::seconds(2));
                }
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300 + 170 * round));
        EXPECT_EQ(service().Stop(SIGKILL), 1000 + SIGKILL);
        stop = true;
        changer.join();

        EXPECT_GT(changes.load(), 0) << round;
        EXPECT_EQ(IntegrityCheck(), "ok") << round;
        // The next start keeps exactly the recorded files that exist.
        restarted_ = std::make_unique<ServiceProcess>();
        restarted_->Start({{"SCANBRIDGE_CONFIG_DIR", home_.configDir()},
                           {"SCANBRIDGE_DOCUMENTS_DIR", home_.documentsDir()},
                           {"SCANBRIDGE_TMP_DIR", home_.tmpDir()}});
        ASSERT_TRUE(restarted_->WaitForLog("open webserver success")) << restarted_->Log();
        ASSERT_TRUE(page_.Connect(port_));
        Json config = page_.Call(R"({"func":"get_global_config"})");
        ASSERT_NE(config, nullptr);
        EXPECT_EQ(JsonString(config, "file_name_prefix").rfind("p", 0), 0u);
        for (const std::string& path : StoredSavedFiles())
            EXPECT_TRUE(Exists(path)) << path;
        EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"clear_global_file_save_path"})"), "ret"), 0);
    }
}

}  // namespace
}  // namespace testing_support

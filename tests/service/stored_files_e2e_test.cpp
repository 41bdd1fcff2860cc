// What the service stores is the user's alone: the configuration folder is
// created 0700 and the database and settings files 0600, and folders and
// files left readable by others (by an earlier version, say) are narrowed at
// start and keep working. Modes are read with stat, since the tests may run
// as root, whom permissions do not stop.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "service/e2e_fixture.h"
#include "support/ws_client.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// One command's reply ("" when none arrives).
std::string Call(WsClient& client, const std::string& request) {
    if (!client.Send(request)) return "";
    return client.Receive().value_or("");
}

using StoredFiles = ServiceTest;

TEST_F(StoredFiles, AFreshStartCreatesAPrivateFolderAndDatabase) {
    // Without a configuration folder there is no port setting either: the
    // service takes the default port, which another program may hold. The
    // database is made before the port is opened, so either way it exists
    // once the log says so.
    fs::remove_all(service_.configDir());
    service_.Start();
    ASSERT_TRUE(service_.WaitForLog("open database success")) << service_.Log();
    service_.Stop(SIGTERM);
    EXPECT_EQ(ModeOf(service_.configDir()), 0700u);
    EXPECT_EQ(ModeOf(service_.configDir() + "newConfig2.db"), 0600u);
}

TEST_F(StoredFiles, FilesLeftReadableAreNarrowedAtStartAndKeepWorking) {
    StartGeneration2();
    {
        WsClient page;
        ASSERT_TRUE(page.Connect(port_));
        EXPECT_NE(
            Call(page, R"({"func":"new_batch","iden":"n","batch_id":"kept"})").find("\"ret\":\t0"),
            std::string::npos);
    }
    ASSERT_EQ(service_.Stop(SIGTERM), 0) << service_.Log();

    // As an earlier version left them.
    std::string folder = service_.configDir();
    const char* files[] = {"config.ini", "config1.ini", "config2.ini", "newConfig2.db"};
    service_.SetConfig("config1.ini", "Virtual Scanner", "pixel", "1");
    service_.SetConfig("config.ini", "virtual", "sheets", "1");
    fs::permissions(folder, fs::perms(0755));
    for (const char* name : files)
        fs::permissions(folder + name, fs::perms(0644));
    // A link in the folder is not followed: what it points at keeps its mode.
    WriteFile(service_.root().path() + "elsewhere.txt", "not the service's");
    fs::permissions(service_.root().path() + "elsewhere.txt", fs::perms(0644));
    fs::create_symlink(service_.root().path() + "elsewhere.txt", folder + "link.ini");

    service_.Start();
    // The first run's log may still be there for a moment: wait for the port.
    std::unique_ptr<WsClient> page;
    for (int attempt = 0; attempt < 400 && page == nullptr; ++attempt) {
        auto client = std::make_unique<WsClient>();
        if (client->Connect(port_)) {
            page = std::move(client);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ASSERT_NE(page, nullptr) << service_.Log();
    EXPECT_EQ(ModeOf(folder), 0700u);
    for (const char* name : files)
        EXPECT_EQ(ModeOf(folder + name), 0600u) << name;
    EXPECT_EQ(ModeOf(service_.root().path() + "elsewhere.txt"), 0644u);

    EXPECT_NE(Call(*page, R"({"func":"get_batch_id_list","iden":"l"})").find("\"kept\""),
              std::string::npos);
    // A settings write replaces the file: the new one is private too.
    EXPECT_NE(Call(*page, R"({"func":"set_global_config","iden":"s","file_name_prefix":"Scan"})")
                  .find("\"ret\":\t0"),
              std::string::npos);
    EXPECT_NE(ReadFile(folder + "config2.ini").find("fileNamePrefix=Scan"), std::string::npos);
    EXPECT_EQ(ModeOf(folder + "config2.ini"), 0600u);
}

}  // namespace
}  // namespace testing_support

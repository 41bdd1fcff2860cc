#include "ver_2/generation2_fixture.h"

#include <algorithm>
#include <filesystem>

#include "support/sqlite_rows.h"

namespace testing_support {

void Generation2Test::Launch(ServiceProcess& process,
                             const std::map<std::string, std::string>& environment) {
    process.Start(environment);
    ASSERT_TRUE(process.WaitForLog("open webserver success, port=" + std::to_string(port_)))
        << process.Log();
    ASSERT_TRUE(page_.Connect(port_));
}

void Generation2Test::Start(const std::map<std::string, std::string>& environment) {
    port_ = FreePort();
    home_.SetConfig("config2.ini", "connect", "port", std::to_string(port_));
    Launch(home_, environment);
}

void Generation2Test::Restart() {
    page_.Close();
    ASSERT_EQ(service().Stop(SIGTERM), 0) << service().Log();
    restarted_ = std::make_unique<ServiceProcess>();
    Launch(*restarted_, {{"SCANBRIDGE_CONFIG_DIR", home_.configDir()},
                         {"SCANBRIDGE_DOCUMENTS_DIR", home_.documentsDir()},
                         {"SCANBRIDGE_TMP_DIR", home_.tmpDir()}});
}

void Generation2Test::TearDown() {
    page_.Close();
    if (service().pid() > 0 && service().Running()) {
        EXPECT_EQ(service().Stop(SIGTERM), 0) << service().Log();
    }
}

std::vector<std::string> Generation2Test::Query(const std::string& sql) const {
    return testing_support::QueryRows(Database(), sql);
}

std::string Generation2Test::IntegrityCheck() const {
    std::vector<std::string> rows = Query("pragma integrity_check");
    return rows.size() == 1 ? rows[0] : "no answer";
}

void Generation2Test::OpenScanner() {
    Json init = page_.Call(R"({"func":"init_device"})");
    ASSERT_EQ(JsonNumber(init, "ret"), 0);
    // The scanner announces itself right after the driver starts.
    Json arrived = page_.NextEvent();
    ASSERT_EQ(JsonString(arrived, "func"), "device_arrive");
    Json open = page_.Call(R"({"func":"open_device"})");
    ASSERT_EQ(JsonNumber(open, "ret"), 0);
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> files;
    if (!std::filesystem::is_directory(folder)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace testing_support

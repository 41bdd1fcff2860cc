// Generation 2 with a real SANE scanner: SANE's test backend through the
// SANE driver, the same commands and events a page uses with the virtual
// scanner.
#include <cjson/cJSON.h>

#include "support/sane_test_backend.h"
#include "support/temp_dir.h"
#include "ver_2/generation2_fixture.h"

namespace testing_support {
namespace {

using SaneScans = Generation2Test;

TEST_F(SaneScans, TheTestScannerIsListedSetAndScannedLikeTheVirtualOne) {
    Start(SaneTestBackend(home_.root()));
    Json init = page_.Call(R"({"func":"init_device"})");
    ASSERT_EQ(JsonNumber(init, "ret"), 0);
    // The scanners are there as soon as init_device has replied.
    Json list = page_.Call(R"({"func":"get_device_name_list"})");
    const cJSON* names = cJSON_GetObjectItemCaseSensitive(list.get(), "device_name_list");
    ASSERT_EQ(cJSON_GetArraySize(names), 1);
    EXPECT_STREQ(cJSON_GetArrayItem(names, 0)->valuestring, "Noname frontend-tester");
    Json arrived = page_.NextEvent();
    EXPECT_EQ(JsonString(arrived, "device_name"), "Noname frontend-tester");
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"open_device"})"), "ret"), 0);

    Json set = page_.Call(R"({"func":"set_device_param","device_param":[
        {"name":"扫描张数","value":"扫描指定张数"},{"name":"扫描数量","value":2},
        {"name":"颜色模式","value":"256级灰度"},{"name":"分辨率","value":100}]})");
    ASSERT_EQ(JsonNumber(set, "ret"), 0);
    // Values outside the device's choices are refused.
    Json refused = page_.Call(R"({"func":"set_device_param","device_param":[
        {"name":"分辨率","value":123}]})");
    EXPECT_NE(JsonNumber(refused, "ret"), 0);

    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"start_scan"})"), "ret"), 0);
    std::vector<Json> events = page_.EventsThrough("scan_end");
    std::vector<std::string> images;
    std::string finished;
    for (const Json& event : events) {
        if (JsonString(event, "func") == "scan_image")
            images.push_back(JsonString(event, "image_path"));
        if (JsonString(event, "func") == "scan_info") finished = JsonString(event, "info");
    }
    EXPECT_EQ(finished, "扫描完成");
    ASSERT_EQ(images.size(), 2u);
    for (const std::string& path : images)
        EXPECT_EQ(ReadFile(path).substr(0, 3), "\xFF\xD8\xFF");
    EXPECT_EQ(StoredSavedFiles(), images);
}

}  // namespace
}  // namespace testing_support

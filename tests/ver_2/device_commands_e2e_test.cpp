// The device commands end to end with the virtual scanner: the driver and
// its identifier rules, the scanner list and hot-plug, opening and closing,
// every option type on the channel, setting with partial failure, reset, and
// options carried to the next scanner and across restarts.
#include <thread>

#include "ver_2/generation2_fixture.h"

namespace testing_support {
namespace {

using DeviceCommands = Generation2Test;

// The option object named name in a "device_param" list.
const cJSON* FindOption(const Json& reply, const std::string& name) {
    const cJSON* groups = cJSON_GetObjectItemCaseSensitive(reply.get(), "device_param");
    const cJSON* group = nullptr;
    cJSON_ArrayForEach(group, groups) {
        const cJSON* option = nullptr;
        cJSON_ArrayForEach(option, cJSON_GetObjectItemCaseSensitive(group, "group_param")) {
            const cJSON* title = cJSON_GetObjectItemCaseSensitive(option, "name");
            if (cJSON_IsString(title) && name == title->valuestring) return option;
        }
    }
    return nullptr;
}

std::string Print(const cJSON* json) {
    if (json == nullptr) return "<none>";
    char* text = cJSON_PrintUnformatted(json);
    std::string result = text;
    cJSON_free(text);
    return result;
}

std::string OptionText(PageClient& page, const std::string& name) {
    return Print(FindOption(page.Call(R"({"func":"get_device_param"})"), name));
}

TEST_F(DeviceCommands, DeviceEventsCarryTheIdenOfTheFirstInit) {
    Start();
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"get_device_name_list"})"), "ret"), -1);
    Json deinit = page_.Call(R"({"func":"deinit_device","iden":"d"})");
    EXPECT_EQ(JsonNumber(deinit, "ret"), -1);
    EXPECT_EQ(JsonString(deinit, "err_info"), "错误");

    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"init_device","iden":"a"})"), "ret"), 0);
    Json arrived = page_.NextEvent();
    EXPECT_EQ(Print(arrived.get()),
              R"({"func":"device_arrive","iden":"a","device_name":"Virtual Scanner"})");
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"init_device","iden":"b"})"), "ret"), -1);

    // Hot-plug: a second scanner comes and goes; the list follows.
    SetVirtual("devices", "Virtual Scanner|扫描仪 B");
    Json second = page_.NextEvent();
    EXPECT_EQ(Print(second.get()),
              R"({"func":"device_arrive","iden":"a","device_name":"扫描仪 B"})");
    Json list = page_.Call(R"({"func":"get_device_name_list","iden":"l"})");
    EXPECT_EQ(
        Print(list.get()),
        R"({"func":"get_device_name_list","iden":"l","ret":0,"device_name_list":["Virtual Scanner","扫描仪 B"]})");
    SetVirtual("devices", "Virtual Scanner");
    EXPECT_EQ(Print(page_.NextEvent().get()),
              R"({"func":"device_remove","iden":"a","device_name":"扫描仪 B"})");

    // After deinit and an init without iden, the events carry none.
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"deinit_device"})"), "ret"), 0);
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"init_device","iden":7})"), "ret"), 0);
    EXPECT_EQ(Print(page_.NextEvent().get()),
              R"({"func":"device_arrive","device_name":"Virtual Scanner"})");
}

// A page that sends "init_device", "get_device_name_list" and "open_device"
// back to back, without waiting for any reply or for "device_arrive", finds
// every scanner that was present: the driver's first listing is done before
// "init_device" replies.
TEST_F(DeviceCommands, TheListRightAfterInitHoldsTheScannersPresent) {
    // Many scanners (a network with a few dozen) make the announcing take a
    // while, so a list taken before it ends would miss some.
    std::string devices = "Virtual Scanner";
    std::string listed = R"(["Virtual Scanner")";
    for (int i = 1; i <= 40; ++i) {
        devices += "|扫描仪 " + std::to_string(i);
        listed += R"(,"扫描仪 )" + std::to_string(i) + "\"";
    }
    listed += "]";
    SetVirtual("devices", devices);
    Start();
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        std::vector<Json> replies = page_.CallAll({
            R"({"func":"init_device"})",
            R"({"func":"get_device_name_list"})",
            R"({"func":"open_device","device_name":"扫描仪 40"})",
            R"({"func":"deinit_device"})",
        });
        ASSERT_EQ(replies.size(), 4u);
        EXPECT_EQ(JsonNumber(replies[0], "ret"), 0);
        EXPECT_EQ(Print(cJSON_GetObjectItemCaseSensitive(replies[1].get(), "device_name_list")),
                  listed);
        EXPECT_EQ(JsonNumber(replies[2], "ret"), 0);
        ASSERT_EQ(JsonNumber(replies[3], "ret"), 0);
    }
}

TEST_F(DeviceCommands, OpeningAndClosingFollowTheScannerState) {
    Start();
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"open_device"})"), "ret"), -1);
    OpenScanner();
    Json name = page_.Call(R"({"func":"get_curr_device_name","iden":"n"})");
    EXPECT_EQ(
        Print(name.get()),
        R"({"func":"get_curr_device_name","iden":"n","ret":0,"device_name":"Virtual Scanner"})");
    EXPECT_EQ(
        JsonNumber(page_.Call(R"({"func":"open_device","device_name":"Virtual Scanner"})"), "ret"),
        -1);
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"close_device"})"), "ret"), 0);
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"close_device"})"), "ret"), -1);
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"get_device_param"})"), "ret"), -1);
    Json none = page_.Call(R"({"func":"get_curr_device_name"})");
    EXPECT_EQ(JsonKeys(none), (std::vector<std::string>{"func", "ret", "err_info", "err_detail"}));
    for (const char* request : {R"({"func":"open_device","device_name":"No Such Scanner"})",
                                R"({"func":"open_device","device_name":""})"}) {
        EXPECT_EQ(JsonNumber(page_.Call(request), "ret"), -1) << request;
    }
    // A name of the wrong type counts as not given: the first scanner.
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"open_device","device_name":5})"), "ret"), 0);

    // Removing the open scanner closes it.
    SetVirtual("devices", "");
    EXPECT_EQ(JsonString(page_.NextEvent(), "func"), "device_remove");
    Json closed = page_.Call(R"({"func":"get_curr_device_name"})");
    for (int i = 0; i < 50 && JsonNumber(closed, "ret") == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        closed = page_.Call(R"({"func":"get_curr_device_name"})");
    }
    EXPECT_EQ(JsonNumber(closed, "ret"), -1);
    Json empty = page_.Call(R"({"func":"get_device_name_list"})");
    EXPECT_EQ(Print(cJSON_GetObjectItemCaseSensitive(empty.get(), "device_name_list")), "[]");
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"open_device"})"), "ret"), -1);
}

TEST_F(DeviceCommands, OptionsShowEveryTypeAndRange) {
    Start();
    OpenScanner();
    Json reply = page_.Call(R"({"func":"get_device_param","iden":"p"})");
    ASSERT_EQ(JsonNumber(reply, "ret"), 0);
    const cJSON* groups = cJSON_GetObjectItemCaseSensitive(reply.get(), "device_param");
    ASSERT_EQ(cJSON_GetArraySize(groups), 2);
    EXPECT_EQ(Print(cJSON_GetObjectItemCaseSensitive(cJSON_GetArrayItem(groups, 0), "group_name")),
              "\"基本设置\"");
    EXPECT_EQ(cJSON_GetArraySize(
                  cJSON_GetObjectItemCaseSensitive(cJSON_GetArrayItem(groups, 0), "group_param")),
              7);
    EXPECT_EQ(
        Print(FindOption(reply, "颜色模式")),
        R"({"name":"颜色模式","value_type":"string","value":"24位彩色","range_type":"list","value_list":["24位彩色","256级灰度","黑白","颜色自动识别"]})");
    EXPECT_EQ(
        Print(FindOption(reply, "分辨率")),
        R"({"name":"分辨率","value_type":"int","value":200,"range_type":"list","value_list":[100,150,200,240,300,400,600]})");
    EXPECT_EQ(
        Print(FindOption(reply, "扫描数量")),
        R"({"name":"扫描数量","value_type":"int","value":1,"range_type":"min_max","value_min":1,"value_max":500})");
    const cJSON* gamma = FindOption(reply, "伽马");
    ASSERT_NE(gamma, nullptr);
    EXPECT_EQ(Print(cJSON_GetObjectItemCaseSensitive(gamma, "value_type")), "\"double\"");
    EXPECT_EQ(Print(cJSON_GetObjectItemCaseSensitive(gamma, "range_type")), "\"min_max\"");
    EXPECT_NEAR(cJSON_GetObjectItemCaseSensitive(gamma, "value")->valuedouble, 1.0, 1e-9);
    EXPECT_NEAR(cJSON_GetObjectItemCaseSensitive(gamma, "value_min")->valuedouble, 0.1, 1e-4);
    EXPECT_NEAR(cJSON_GetObjectItemCaseSensitive(gamma, "value_max")->valuedouble, 4.0, 1e-9);
    EXPECT_EQ(Print(FindOption(reply, "图像拆分")),
              R"({"name":"图像拆分","value_type":"bool","value":false})");
    // Leading blanks of titles are dropped; the button is not listed.
    EXPECT_NE(FindOption(reply, "锐化"), nullptr);
    EXPECT_EQ(FindOption(reply, "恢复默认设置"), nullptr);
}

TEST_F(DeviceCommands, SettingAppliesWhatItCanAndResetRestoresDefaults) {
    Start();
    OpenScanner();
    Json partial = page_.Call(R"({"func":"set_device_param","iden":"s","device_param":[
        {"name":"分辨率","value":300},
        {"name":"No such option","value":1},
        {"name":"颜色模式","value":"not listed"},
        {"name":"伽马","value":2.5},
        {"name":"亮度","value":50},
        "not an object",
        {"name":"图像拆分","value":true},
        {"name":"扫描张数","value":"扫描指定张数"}]})");
    EXPECT_EQ(JsonNumber(partial, "ret"), -1);
    EXPECT_EQ(JsonString(partial, "err_info"), "错误");
    EXPECT_EQ(OptionText(page_, "分辨率").find(R"("value":300)") != std::string::npos, true);
    EXPECT_NE(OptionText(page_, "伽马").find(R"("value":2.5)"), std::string::npos);
    EXPECT_NE(OptionText(page_, "亮度").find(R"("value":50)"), std::string::npos);
    EXPECT_NE(OptionText(page_, "图像拆分").find(R"("value":true)"), std::string::npos);
    EXPECT_NE(OptionText(page_, "颜色模式").find(R"("value":"24位彩色")"), std::string::npos);

    // A string for an int option applies the zero value.
    EXPECT_EQ(
        JsonNumber(
            page_.Call(
                R"({"func":"set_device_param","device_param":[{"name":"亮度","value":"300"}]})"),
            "ret"),
        0);
    EXPECT_NE(OptionText(page_, "亮度").find(R"("value":0)"), std::string::npos);
    const char* bad[] = {
        R"({"func":"set_device_param","device_param":{"name":"亮度","value":1}})",
        R"({"func":"set_device_param","device_param":[]})",
        R"({"func":"set_device_param"})",
        R"({"func":"set_device_param","device_param":[{"name":"扫描数量","value":1e300}]})",
        R"({"func":"set_device_param","device_param":[{"name":"","value":1}]})",
        R"({"func":"set_device_param","device_param":[{"value":1},"x",7]})",
    };
    for (const char* request : bad) {
        EXPECT_EQ(JsonNumber(page_.Call(request), "ret"), -1) << request;
    }
    EXPECT_NE(OptionText(page_, "扫描数量").find(R"("value":1,)"), std::string::npos);

    Json reset = page_.Call(R"({"func":"reset_device_param","iden":"r"})");
    EXPECT_EQ(JsonKeys(reset), (std::vector<std::string>{"func", "iden", "ret"}));
    EXPECT_NE(OptionText(page_, "分辨率").find(R"("value":200)"), std::string::npos);
    EXPECT_NE(OptionText(page_, "伽马").find(R"("value":1)"), std::string::npos);
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"close_device"})"), "ret"), 0);
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"reset_device_param"})"), "ret"), -1);
    EXPECT_EQ(
        JsonNumber(
            page_.Call(R"({"func":"set_device_param","device_param":[{"name":"亮度","value":1}]})"),
            "ret"),
        -1);
}

TEST_F(DeviceCommands, StoredOptionsApplyToTheNextScannerAndAfterARestart) {
    SetVirtual("devices", "Scanner A|Scanner B");
    Start();
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"init_device"})"), "ret"), 0);
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"open_device","device_name":"Scanner A"})"), "ret"),
              0);
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"set_device_param","device_param":[
        {"name":"分辨率","value":400},{"name":"颜色模式","value":"黑白"},{"name":"伽马","value":0.5},
        {"name":"锐化","value":true}]})"),
                         "ret"),
              0);
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"close_device"})"), "ret"), 0);
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"open_device","device_name":"Scanner B"})"), "ret"),
              0);
    EXPECT_NE(OptionText(page_, "分辨率").find(R"("value":400)"), std::string::npos);
    EXPECT_NE(OptionText(page_, "颜色模式").find(R"("value":"黑白")"), std::string::npos);

    Restart();
    EXPECT_EQ(
        Query("select * from device_params where name in ('分辨率','伽马','锐化') order by name"),
        (std::vector<std::string>{"伽马|double|0.500000", "分辨率|int|400", "锐化|bool|1"}));
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"init_device"})"), "ret"), 0);
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"open_device","device_name":"Scanner A"})"), "ret"),
              0);
    EXPECT_NE(OptionText(page_, "分辨率").find(R"("value":400)"), std::string::npos);
    EXPECT_NE(OptionText(page_, "伽马").find(R"("value":0.5)"), std::string::npos);
    EXPECT_NE(OptionText(page_, "锐化").find(R"("value":true)"), std::string::npos);
}

TEST_F(DeviceCommands, AClosedConnectionEndsTheDriver) {
    Start();
    OpenScanner();
    page_.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(page_.Connect(port_));
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"open_device"})"), "ret"), -1);
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"get_curr_device_name"})"), "ret"), -1);
    OpenScanner();
}

}  // namespace
}  // namespace testing_support

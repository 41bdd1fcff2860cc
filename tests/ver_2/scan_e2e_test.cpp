// Scans end to end with the virtual scanner: the event sequence with each
// start option, stopping, refusals, driver errors, every saving format, and
// connections that go away mid-scan.
#include <filesystem>
#include <thread>

#include "support/temp_dir.h"
#include "ver_2/generation2_fixture.h"

namespace testing_support {
namespace {

using Scans = Generation2Test;

std::vector<std::string> Funcs(const std::vector<Json>& events) {
    std::vector<std::string> funcs;
    for (const Json& event : events)
        funcs.push_back(JsonString(event, "func"));
    return funcs;
}

std::vector<std::string> ImagePaths(const std::vector<Json>& events) {
    std::vector<std::string> paths;
    for (const Json& event : events) {
        if (JsonString(event, "func") == "scan_image")
            paths.push_back(JsonString(event, "image_path"));
    }
    return paths;
}

std::string Magic(const std::string& path, size_t count) {
    return ReadFile(path).substr(0, count);
}

// Scans count single-sided sheets in the scanner's own settings.
void CountedSheets(PageClient& page, int count) {
    Json reply = page.Call(R"({"func":"set_device_param","device_param":[
        {"name":"扫描张数","value":"扫描指定张数"},{"name":"扫描数量","value":)" +
                           std::to_string(count) + "}]}");
    ASSERT_EQ(JsonNumber(reply, "ret"), 0);
}

TEST_F(Scans, AScanSendsBeginInfoOneImagePerPageInfoAndEnd) {
    SetVirtual("page_delay_ms", "0");
    Start();
    OpenScanner();
    Json reply = page_.Call(R"({"func":"start_scan","iden":"7"})");
    EXPECT_EQ(JsonKeys(reply), (std::vector<std::string>{"func", "iden", "ret"}));
    EXPECT_EQ(JsonNumber(reply, "ret"), 0);
    std::vector<Json> events = page_.EventsThrough("scan_end");
    ASSERT_EQ(Funcs(events),
              (std::vector<std::string>{"scan_begin", "scan_info", "scan_image", "scan_image",
                                        "scan_image", "scan_info", "scan_end"}));
    for (const Json& event : events)
        EXPECT_EQ(JsonString(event, "iden"), "7");
    EXPECT_EQ(JsonKeys(events[1]), (std::vector<std::string>{"func", "iden", "is_error", "info"}));
    EXPECT_EQ(JsonString(events[1], "info"), "扫描中");
    EXPECT_FALSE(JsonBool(events[1], "is_error"));
    EXPECT_EQ(JsonString(events[5], "info"), "扫描完成");
    EXPECT_FALSE(JsonBool(events[5], "is_error"));
    // Defaults: no blank flag, the file kept, no Base64.
    EXPECT_EQ(JsonKeys(events[2]), (std::vector<std::string>{"func", "iden", "image_path"}));
    std::vector<std::string> paths = ImagePaths(events);
    EXPECT_EQ(FilesIn(SaveFolder()), paths);  // names sort in page order
    for (const std::string& path : paths) {
        EXPECT_EQ(path.substr(path.size() - 4), ".jpg");
        EXPECT_EQ(Magic(path, 3), "\xFF\xD8\xFF");
    }
    // Recorded in page order, and the scan returned to idle by itself.
    Json again = page_.Call(R"({"func":"start_scan"})");
    EXPECT_EQ(JsonNumber(again, "ret"), 0);
    std::vector<Json> second = page_.EventsThrough("scan_end");
    EXPECT_FALSE(JsonHas(second.front(), "iden"));
    std::vector<std::string> all = paths;
    for (const std::string& path : ImagePaths(second))
        all.push_back(path);
    EXPECT_EQ(StoredSavedFiles(), all);
}

TEST_F(Scans, StartOptionsShapeTheImageEvents) {
    SetVirtual("page_delay_ms", "0");
    SetVirtual("blank_pages", "2");
    Start();
    OpenScanner();
    Json reply = page_.Call(
        R"({"func":"start_scan","iden":"b","blank_check":true,"local_save":false,"get_base64":true})");
    ASSERT_EQ(JsonNumber(reply, "ret"), 0);
    std::vector<Json> events = page_.EventsThrough("scan_end");
    std::vector<Json> images;
    for (const Json& event : events) {
        if (JsonString(event, "func") == "scan_image") images.push_back(event);
    }
    ASSERT_EQ(images.size(), 3u);
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(JsonKeys(images[i]),
                  (std::vector<std::string>{"func", "iden", "is_blank", "image_base64"}));
        EXPECT_EQ(JsonBool(images[i], "is_blank"), i == 1) << i;
        std::string url = JsonString(images[i], "image_base64");
        EXPECT_EQ(url.substr(0, 23), "data:image/jpeg;base64,");
        EXPECT_EQ(url.substr(23, 4), "/9j/");  // FF D8 FF
    }
    // Nothing kept: not in the save folder, not in the temporary folder, not recorded.
    EXPECT_TRUE(FilesIn(SaveFolder()).empty());
    EXPECT_TRUE(FilesIn(TmpFolder()).empty());
    EXPECT_TRUE(StoredSavedFiles().empty());

    // Base64 and the file together.
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"start_scan","get_base64":true,"local_save":"no"})"),
                         "ret"),
              0);
    std::vector<Json> kept = page_.EventsThrough("scan_end");
    for (const Json& event : kept) {
        if (JsonString(event, "func") != "scan_image") continue;
        EXPECT_EQ(JsonKeys(event),
                  (std::vector<std::string>{"func", "image_path", "image_base64"}));
        EXPECT_TRUE(Exists(JsonString(event, "image_path")));
    }
}

TEST_F(Scans, StartAndStopRefusalsKeepTheRunningScan) {
    SetVirtual("page_delay_ms", "300");
    SetVirtual("sheets", "40");
    Start();
    Json early = page_.Call(R"({"func":"start_scan","iden":"x"})");
    EXPECT_EQ(JsonNumber(early, "ret"), -1);  // no scanner open
    OpenScanner();
    Json idle = page_.Call(R"({"func":"stop_scan","iden":"s"})");
    EXPECT_EQ(JsonKeys(idle),
              (std::vector<std::string>{"func", "iden", "ret", "err_info", "err_detail"}));
    EXPECT_EQ(JsonNumber(idle, "ret"), -1);

    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"start_scan","iden":"first"})"), "ret"), 0);
    Json twice = page_.Call(R"({"func":"start_scan","iden":"second","local_save":false})");
    EXPECT_EQ(JsonNumber(twice, "ret"), -1);
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"reset_device_param"})"), "ret"), -1);
    EXPECT_EQ(
        JsonNumber(
            page_.Call(R"({"func":"set_device_param","device_param":[{"name":"亮度","value":1}]})"),
            "ret"),
        -1);
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"get_device_param"})"), "ret"), 0);
    std::vector<Json> first = page_.EventsThrough("scan_image");
    ASSERT_FALSE(first.empty());

    Json stop = page_.Call(R"({"func":"stop_scan"})");
    EXPECT_EQ(JsonNumber(stop, "ret"), 0);
    std::vector<Json> rest = page_.EventsThrough("scan_end");
    ASSERT_GE(rest.size(), 2u);
    Json info = rest[rest.size() - 2];
    EXPECT_EQ(JsonString(info, "info"), "扫描取消");
    EXPECT_FALSE(JsonBool(info, "is_error"));
    for (const Json& event : rest) {
        EXPECT_EQ(JsonString(event, "iden"), "first");
        // The refused start did not change the running scan's options.
        if (JsonString(event, "func") == "scan_image") {
            EXPECT_TRUE(JsonHas(event, "image_path"));
        }
    }
    // Every page reported was kept and recorded; nothing more arrives.
    std::vector<std::string> reported = ImagePaths(first);
    for (const std::string& path : ImagePaths(rest))
        reported.push_back(path);
    EXPECT_LT(reported.size(), 40u);
    EXPECT_EQ(StoredSavedFiles(), reported);
    EXPECT_TRUE(page_.Quiet(std::chrono::milliseconds(400)));
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"stop_scan"})"), "ret"), -1);
}

TEST_F(Scans, DriverFailuresEndTheScanAndLeaveTheServiceUsable) {
    SetVirtual("page_delay_ms", "0");
    SetVirtual("fail_start", "1");
    Start();
    OpenScanner();
    Json failed = page_.Call(R"({"func":"start_scan","iden":"f"})");
    EXPECT_EQ(JsonNumber(failed, "ret"), -1);
    EXPECT_EQ(JsonString(failed, "err_info"), "错误");
    EXPECT_TRUE(page_.Quiet(std::chrono::milliseconds(200)));

    SetVirtual("fail_start", "0");
    SetVirtual("jam_after", "2");
    SetVirtual("sheets", "5");
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"start_scan","iden":"j"})"), "ret"), 0);
    std::vector<Json> events = page_.EventsThrough("scan_end");
    EXPECT_EQ(Funcs(events), (std::vector<std::string>{"scan_begin", "scan_info", "scan_image",
                                                       "scan_image", "scan_info", "scan_end"}));
    ASSERT_EQ(events.size(), 6u);
    EXPECT_TRUE(JsonBool(events[4], "is_error"));
    EXPECT_EQ(JsonString(events[4], "info"), "卡纸");
    EXPECT_EQ(StoredSavedFiles().size(), 2u);

    SetVirtual("jam_after", "0");
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"start_scan"})"), "ret"), 0);
    EXPECT_EQ(ImagePaths(page_.EventsThrough("scan_end")).size(), 5u);
}

TEST_F(Scans, RemovingTheOpenScannerMidScanEndsItWithAnError) {
    SetVirtual("page_delay_ms", "200");
    SetVirtual("sheets", "50");
    Start();
    OpenScanner();
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"start_scan"})"), "ret"), 0);
    ASSERT_FALSE(page_.EventsThrough("scan_image").empty());
    SetVirtual("devices", "");
    std::vector<Json> events = page_.EventsThrough("scan_end");
    ASSERT_GE(events.size(), 2u);
    EXPECT_TRUE(JsonBool(events[events.size() - 2], "is_error"));
    Json name = page_.Call(R"({"func":"get_curr_device_name"})");
    for (int i = 0; i < 50 && JsonNumber(name, "ret") == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        name = page_.Call(R"({"func":"get_curr_device_name"})");
    }
    EXPECT_EQ(JsonNumber(name, "ret"), -1);
    SetVirtual("devices", "Virtual Scanner");
    EXPECT_EQ(JsonString(page_.EventsThrough("device_arrive").back(), "device_name"),
              "Virtual Scanner");
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"open_device"})"), "ret"), 0);
}

// Scans one page at 100 dpi in each of the given formats and checks the
// file's extension and leading bytes, and the data URL of the event.
void ScanEachFormat(PageClient& page, const std::vector<std::vector<std::string>>& formats) {
    CountedSheets(page, 1);
    ASSERT_EQ(
        JsonNumber(
            page.Call(
                R"({"func":"set_device_param","device_param":[{"name":"分辨率","value":100}]})"),
            "ret"),
        0);
    for (const std::vector<std::string>& format : formats) {
        const std::string& name = format[0];
        Json set = page.Call(R"({"func":"set_global_config","image_format":")" + name +
                             R"(","image_tiff_compression":"none"})");
        ASSERT_EQ(JsonNumber(set, "ret"), 0);
        ASSERT_EQ(JsonNumber(page.Call(R"({"func":"start_scan","get_base64":true})"), "ret"), 0);
        std::vector<Json> events = page.EventsThrough("scan_end", std::chrono::seconds(120));
        std::vector<std::string> paths = ImagePaths(events);
        ASSERT_EQ(paths.size(), 1u) << name;
        EXPECT_EQ(paths[0].substr(paths[0].size() - 4), format[1]) << name;
        EXPECT_EQ(Magic(paths[0], format[2].size()), format[2]) << name;
        for (const Json& event : events) {
            if (JsonString(event, "func") != "scan_image") continue;
            EXPECT_EQ(JsonString(event, "image_base64").rfind(format[3], 0), 0u) << name;
        }
    }
}

TEST_F(Scans, EveryImageFormatIsWrittenWithItsExtension) {
    SetVirtual("page_delay_ms", "0");
    Start();
    OpenScanner();
    ScanEachFormat(page_, {{"jpg", ".jpg", "\xFF\xD8\xFF", "data:image/jpeg;base64,"},
                           {"bmp", ".bmp", "BM", "data:image/bmp;base64,"},
                           {"png", ".png", "\x89PNG", "data:image/png;base64,"},
                           {"tif", ".tif", std::string("II*\0", 4), "data:image/tiff;base64,"},
                           {"pdf", ".pdf", "%PDF-", "data:image/pdf;base64,"},
                           {"ofd", ".ofd", "PK", "data:image/ofd;base64,"}});
    EXPECT_EQ(FilesIn(SaveFolder()).size(), 6u);
}

TEST_F(Scans, SearchableFormatsAreWrittenThroughOcr) {
    SetVirtual("page_delay_ms", "0");
    Start();
    OpenScanner();
    ScanEachFormat(page_, {{"ocr-pdf", ".pdf", "%PDF-", "data:image/pdf;base64,"},
                           {"ocr-ofd", ".ofd", "PK", "data:image/ofd;base64,"}});
    std::vector<std::string> files = FilesIn(SaveFolder());
    ASSERT_EQ(files.size(), 2u);
    // The searchable PDF carries a text layer.
    EXPECT_NE(ReadFile(files[0].substr(files[0].size() - 4) == ".pdf" ? files[0] : files[1])
                  .find("GlyphLessFont"),
              std::string::npos);
}

// Pages that cannot be saved are lost: the scan goes on, but its end is
// reported as an error, never as "扫描完成".
TEST_F(Scans, APageThatCannotBeSavedEndsTheScanWithAnError) {
    SetVirtual("page_delay_ms", "0");
    Start();
    OpenScanner();
    // The save folder is a file: no page can be written there.
    std::string blocked = home_.root().path() + "blocked";
    WriteFile(blocked, "a file, not a folder");
    ASSERT_EQ(JsonNumber(
                  page_.Call(R"({"func":"set_global_config","file_save_path":")" + blocked + "\"}"),
                  "ret"),
              0);
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"start_scan"})"), "ret"), 0);
    std::vector<Json> events = page_.EventsThrough("scan_end");
    ASSERT_EQ(Funcs(events),
              (std::vector<std::string>{"scan_begin", "scan_info", "scan_info", "scan_end"}));
    EXPECT_TRUE(JsonBool(events[2], "is_error"));
    EXPECT_EQ(JsonString(events[2], "info"), "错误");
    EXPECT_TRUE(service().WaitForLog("page 3 lost: it cannot be saved"));
    EXPECT_TRUE(StoredSavedFiles().empty());
}

// A documents folder nothing can be written to. The tests run as root, for
// whom file permissions do not stop writes, so the folder's parent is a
// regular file: no process can create or write anything below it.
TEST_F(Scans, ADocumentsFolderThatCannotBeWrittenEndsTheScanWithAnError) {
    SetVirtual("page_delay_ms", "0");
    std::string blocker = home_.root().path() + "not-a-folder";
    WriteFile(blocker, "a file, not a folder");
    Start({{"SCANBRIDGE_DOCUMENTS_DIR", blocker + "/documents/"}});
    OpenScanner();
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"start_scan","iden":"s"})"), "ret"), 0);
    std::vector<Json> events = page_.EventsThrough("scan_end");
    ASSERT_EQ(Funcs(events),
              (std::vector<std::string>{"scan_begin", "scan_info", "scan_info", "scan_end"}));
    EXPECT_TRUE(JsonBool(events[2], "is_error"));
    EXPECT_EQ(JsonString(events[2], "info"), "错误");
    EXPECT_TRUE(StoredSavedFiles().empty());

    // Pages kept in the temporary folder still arrive, and that scan succeeds.
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"start_scan","local_save":false})"), "ret"), 0);
    events = page_.EventsThrough("scan_end");
    EXPECT_EQ(Funcs(events),
              (std::vector<std::string>{"scan_begin", "scan_info", "scan_image", "scan_image",
                                        "scan_image", "scan_info", "scan_end"}));
    EXPECT_EQ(JsonString(events[5], "info"), "扫描完成");
    EXPECT_FALSE(JsonBool(events[5], "is_error"));
}

TEST_F(Scans, AConnectionClosedMidScanEndsTheScanAndTheDriver) {
    SetVirtual("page_delay_ms", "100");
    SetVirtual("sheets", "100");
    Start();
    OpenScanner();
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"start_scan","get_base64":true})"), "ret"), 0);
    ASSERT_FALSE(page_.EventsThrough("scan_image").empty());
    page_.Close();
    ASSERT_TRUE(service().WaitForLog("SANE_EVENT_SCAN_FINISHED, msg=扫描取消"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(page_.Connect(port_));
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"get_device_name_list"})"), "ret"), -1);
    OpenScanner();
    CountedSheets(page_, 2);
    SetVirtual("page_delay_ms", "0");
    ASSERT_EQ(JsonNumber(page_.Call(R"({"func":"start_scan"})"), "ret"), 0);
    EXPECT_EQ(ImagePaths(page_.EventsThrough("scan_end")).size(), 2u);
    // Every page saved before the connection went is recorded.
    for (const std::string& path : StoredSavedFiles())
        EXPECT_TRUE(Exists(path)) << path;
    EXPECT_EQ(StoredSavedFiles().size(), FilesIn(SaveFolder()).size());
}

}  // namespace
}  // namespace testing_support

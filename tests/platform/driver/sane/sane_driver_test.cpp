// The SANE driver end to end inside the process: the real worker, SANE's
// test backend and the crashy backend, through the sane_qnsane_ calls.
#include "platform/driver/sane/sane_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/driver/driver_fixture.h"
#include "platform/driver/sane/sane_test_env.h"

namespace {

constexpr const char* kTester = "Noname frontend-tester";
constexpr const char* kTwin = "Noname frontend-tester #2";
constexpr const char* kCrashy = "Crashy Model C";

// Clears the bits past the last pixel of each 1-bit row, which carry no
// pixel (the test backend sets them, the page layer clears them).
void ClearRowPadding(const SANE_Parameters& p, std::string* rows) {
    int used = p.pixels_per_line % 8;
    if (used == 0) return;
    for (size_t end = static_cast<size_t>(p.bytes_per_line); end <= rows->size();
         end += static_cast<size_t>(p.bytes_per_line))
        (*rows)[end - 1] = static_cast<char>((*rows)[end - 1] & (0xff00 >> used));
}

class SaneDriverTest : public DriverTest {
  protected:
    SaneDriverTest() {
        SetConfig("driver", "name", "sane");
        SetConfig("sane", "poll_ms", "200");
    }

    // Inits the driver; the first listing's arrivals are delivered by then.
    void Init() {
        SANE_Int version = 0;
        ASSERT_EQ(sane_qnsane_init_ex(&version, &EventRecorder::Callback, &recorder_),
                  SANE_STATUS_GOOD);
    }

    // The option whose SANE name is name, or -1.
    static SANE_Int FindByName(SANE_Handle handle, const std::string& name) {
        SANE_Int count = 0;
        sane_qnsane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr);
        for (SANE_Int i = 1; i < count; ++i) {
            const SANE_Option_Descriptor* d = sane_qnsane_get_option_descriptor(handle, i);
            if (d != nullptr && d->name != nullptr && name == d->name) return i;
        }
        return -1;
    }

    static SANE_Status SetDevice(SANE_Handle handle, const std::string& name,
                                 const std::string& text) {
        SANE_Int option = FindByName(handle, name);
        EXPECT_GT(option, 0) << name;
        const SANE_Option_Descriptor* d = sane_qnsane_get_option_descriptor(handle, option);
        if (d == nullptr) return SANE_STATUS_INVAL;
        std::vector<char> buffer(static_cast<size_t>(std::max<SANE_Int>(d->size, 4)) + 1, 0);
        if (d->type == SANE_TYPE_STRING) {
            std::memcpy(buffer.data(), text.data(), std::min(text.size(), buffer.size() - 1));
        } else {
            SANE_Word word = std::stoi(text);
            std::memcpy(buffer.data(), &word, sizeof word);
        }
        return sane_qnsane_control_option(handle, option, SANE_ACTION_SET_VALUE, buffer.data(),
                                          nullptr);
    }

    // A scan's events without the device events, and its finish event.
    static const RecordedEvent* Finish(const std::vector<RecordedEvent>& events) {
        for (const RecordedEvent& event : events) {
            if (event.code == SANE_EVENT_SCAN_FINISHED) return &event;
        }
        return nullptr;
    }

    void ExpectFailedScan(const std::vector<RecordedEvent>& events, const std::string& text) {
        ASSERT_GE(events.size(), 3u);
        EXPECT_EQ(events.front().code, SANE_EVENT_WORKING);
        const RecordedEvent& error = events[events.size() - 2];
        EXPECT_EQ(error.code, SANE_EVENT_ERROR);
        EXPECT_EQ(error.text, text);
        EXPECT_EQ(error.value, 1);
        EXPECT_EQ(events.back().code, SANE_EVENT_SCAN_FINISHED);
        EXPECT_EQ(events.back().text, text);
        EXPECT_EQ(events.back().value, 1);
    }

    SaneTestEnv sane_;
};

TEST_F(SaneDriverTest, ScannersAreNamedAndAnnouncedBeforeInitReturns) {
    Init();
    std::vector<RecordedEvent> events = recorder_.Events();
    std::vector<std::string> arrived;
    for (const RecordedEvent& event : events) {
        if (event.code == SANE_EVENT_DEVICE_ARRIVED) arrived.push_back(event.text);
    }
    std::sort(arrived.begin(), arrived.end());
    EXPECT_EQ(arrived, (std::vector<std::string>{kCrashy, kTester, kTwin}));

    const SANE_Device** list = nullptr;
    ASSERT_EQ(sane_qnsane_get_devices(&list, SANE_TRUE), SANE_STATUS_GOOD);
    std::vector<std::string> listed;
    for (size_t i = 0; list[i] != nullptr; ++i) {
        listed.push_back(std::string(list[i]->name) + "|" + list[i]->vendor + "|" + list[i]->model);
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"Crashy Model C|Crashy|Model C",
                                                "Noname frontend-tester #2|Noname|frontend-tester",
                                                "Noname frontend-tester|Noname|frontend-tester"}));

    SANE_Handle handle = OpenScanner(kTwin);
    SANE_Handle again = nullptr;
    EXPECT_EQ(sane_qnsane_open(kTwin, &again), SANE_STATUS_DEVICE_BUSY);
    EXPECT_EQ(sane_qnsane_open("test:1", &again), SANE_STATUS_INVAL);  // SANE's name is not ours
    sane_qnsane_close(handle);
    EXPECT_EQ(sane_qnsane_open(kTwin, &again), SANE_STATUS_GOOD);
}

TEST_F(SaneDriverTest, OptionsAreCheckedAndPageValuesKeptPerScanner) {
    Init();
    SANE_Handle handle = OpenScanner(kTester);
    EXPECT_EQ(FindOption(handle, "颜色模式"), 4);
    EXPECT_GT(FindOption(handle, "设备选项"), 16);
    EXPECT_EQ(FindByName(handle, "int-constraint-array"), -1);  // arrays are not offered
    EXPECT_EQ(SetWord(handle, "分辨率", 123), SANE_STATUS_INVAL);
    EXPECT_EQ(SetDevice(handle, "int-constraint-range", "500"), SANE_STATUS_INVAL);
    EXPECT_EQ(SetDevice(handle, "int-constraint-range", "100"), SANE_STATUS_GOOD);
    EXPECT_EQ(SetString(handle, "颜色模式", "256级灰度"), SANE_STATUS_GOOD);
    EXPECT_EQ(SetWord(handle, "分辨率", 150), SANE_STATUS_GOOD);
    sane_qnsane_close(handle);

    handle = OpenScanner(kTester);
    EXPECT_EQ(GetString(handle, "颜色模式"), "256级灰度");
    EXPECT_EQ(GetWord(handle, "分辨率"), 150);
}

// Every colour mode, and the test backend's three-pass and hand-scanner
// modes, give the bytes scanimage gives for the same device settings.
TEST_F(SaneDriverTest, PagesMatchScanimage) {
    struct Case {
        const char* colorMode;
        const char* deviceOption;  // set to 1 on the device, or null
        const char* scanimage;
    };
    const Case cases[] = {
        {"24位彩色", nullptr, "--mode Color --depth 8"},
        {"256级灰度", nullptr, "--mode Gray --depth 8"},
        {"黑白", nullptr, "--mode Gray --depth 1"},
        {"24位彩色", "three-pass", "--mode Color --depth 8 --three-pass=yes"},
        {"256级灰度", "hand-scanner", "--mode Gray --depth 8 --hand-scanner=yes"},
    };
    Init();
    recorder_.KeepPixels(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.colorMode) + " " + c.scanimage);
        SANE_Handle handle = OpenScanner(kTester);
        ASSERT_EQ(SetDevice(handle, "test-picture", "Color pattern"), SANE_STATUS_GOOD);
        ASSERT_EQ(SetString(handle, "扫描张数", "扫描指定张数"), SANE_STATUS_GOOD);
        ASSERT_EQ(SetString(handle, "颜色模式", c.colorMode), SANE_STATUS_GOOD);
        ASSERT_EQ(SetWord(handle, "分辨率", 100), SANE_STATUS_GOOD);
        ASSERT_EQ(SetWord(handle, "黑白图像噪点优化", SANE_FALSE), SANE_STATUS_GOOD);
        if (c.deviceOption != nullptr) {
            // The device's mode is set at the start of a scan; the test
            // backend offers three-pass only once its mode is Color.
            Scan(handle);
            ASSERT_EQ(SetDevice(handle, c.deviceOption, "1"), SANE_STATUS_GOOD);
        }
        std::vector<RecordedEvent> events = Scan(handle);
        sane_qnsane_close(handle);

        std::vector<RecordedEvent> pages = Pages(events);
        ASSERT_EQ(pages.size(), 1u);
        ASSERT_NE(Finish(events), nullptr);
        EXPECT_EQ(Finish(events)->text, "扫描完成");
        Pnm expected;
        ASSERT_TRUE(ParsePnm(sane_.ScanImage(std::string("-d test:0 --test-picture 'Color "
                                                         "pattern' --resolution 100 -l 0 -t 0 "
                                                         "-x 200 -y 200 ") +
                                             c.scanimage),
                             &expected));
        const SANE_Parameters& p = pages[0].parameters;
        EXPECT_EQ(p.pixels_per_line, expected.width);
        EXPECT_EQ(p.lines, expected.height);
        EXPECT_EQ(p.format, expected.kind == '6' ? SANE_FRAME_RGB : SANE_FRAME_GRAY);
        EXPECT_EQ(p.depth, expected.kind == '4' ? 1 : 8);
        EXPECT_EQ(pages[0].resolution, 100);
        std::string got(pages[0].pixels.begin(), pages[0].pixels.end());
        if (p.depth == 1) {
            ClearRowPadding(p, &got);
            ClearRowPadding(p, &expected.pixels);
        }
        EXPECT_TRUE(got == expected.pixels);
    }
}

TEST_F(SaneDriverTest, FeederRunsUntilEmptyThenReportsNoPaper) {
    Init();
    // The test backend has a feeder, so "单面" scans from it; "连续扫描" runs until it is empty.
    SANE_Handle handle = OpenScanner(kTester);
    std::vector<RecordedEvent> events = Scan(handle);
    std::vector<RecordedEvent> pages = Pages(events);
    ASSERT_EQ(pages.size(), 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(pages[i].pageNumber, i + 1);
    EXPECT_EQ(events.front().code, SANE_EVENT_WORKING);
    EXPECT_EQ(events.front().text, "扫描中");
    EXPECT_EQ(events.back().code, SANE_EVENT_SCAN_FINISHED);
    EXPECT_EQ(events.back().text, "扫描完成");
    EXPECT_EQ(events.back().value, 0);
    EXPECT_EQ(CountCode(events, SANE_EVENT_SCAN_FINISHED), 1);
}

TEST_F(SaneDriverTest, AComboScannerWithAnEmptyFeederScansItsFlatbed) {
    Init();
    // The test backend has a feeder and a flatbed; its feeder refuses every
    // eleventh start with SANE_STATUS_NO_DOCS. Ten counted sheets leave the
    // next scan's first start on an empty feeder.
    SANE_Handle handle = OpenScanner(kTester);
    ASSERT_EQ(SetString(handle, "扫描张数", "扫描指定张数"), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(handle, "扫描数量", 10), SANE_STATUS_GOOD);
    ASSERT_EQ(Pages(Scan(handle)).size(), 10u);

    ASSERT_EQ(SetWord(handle, "扫描数量", 2), SANE_STATUS_GOOD);
    std::vector<RecordedEvent> events = Scan(handle);
    std::vector<RecordedEvent> pages = Pages(events);
    // The flatbed gives the count of sheets, one page per start.
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[1].pageNumber, 2);
    EXPECT_EQ(CountCode(events, SANE_EVENT_ERROR), 0);
    EXPECT_EQ(events.back().code, SANE_EVENT_SCAN_FINISHED);
    EXPECT_EQ(events.back().text, "扫描完成");
    EXPECT_EQ(events.back().value, 0);
}

TEST_F(SaneDriverTest, DeviceStatusesEndTheScanWithTheirReason) {
    struct Case {
        const char* status;
        const char* text;
    };
    Init();
    for (Case c : {Case{"SANE_STATUS_JAMMED", "卡纸"}, Case{"SANE_STATUS_COVER_OPEN", "盖板打开"},
                   Case{"SANE_STATUS_IO_ERROR", "输入输出错误"},
                   Case{"SANE_STATUS_NO_DOCS", "进纸器中没有纸张"},
                   Case{"SANE_STATUS_ACCESS_DENIED", "拒绝访问"},
                   Case{"SANE_STATUS_DEVICE_BUSY", "设备忙"}}) {
        SCOPED_TRACE(c.status);
        SANE_Handle handle = OpenScanner(kTester);
        ASSERT_EQ(SetDevice(handle, "read-return-value", c.status), SANE_STATUS_GOOD);
        std::vector<RecordedEvent> events = Scan(handle);
        EXPECT_EQ(Pages(events).size(), 0u);
        ExpectFailedScan(events, c.text);
        sane_qnsane_close(handle);
    }
}

TEST_F(SaneDriverTest, CancelEndsAFeedAfterThePageInProgress) {
    Init();
    SANE_Handle handle = OpenScanner(kTester);
    recorder_.SetHook([handle](const RecordedEvent& event) {
        if (event.code == SANE_EVENT_IMAGE_OK && event.pageNumber == 2) sane_qnsane_cancel(handle);
    });
    std::vector<RecordedEvent> events = Scan(handle);
    recorder_.SetHook(nullptr);
    EXPECT_EQ(Pages(events).size(), 2u);
    EXPECT_EQ(events.back().text, "扫描取消");
    EXPECT_EQ(events.back().value, 0);
    // The scanner takes the next scan.
    EXPECT_EQ(Pages(Scan(handle)).size(), 8u);
}

TEST_F(SaneDriverTest, OptionsCannotChangeDuringAScanAndCloseWaitsForItsEnd) {
    Init();
    SANE_Handle handle = OpenScanner(kTester);
    ASSERT_EQ(SetDevice(handle, "read-delay", "1"), SANE_STATUS_GOOD);
    ASSERT_EQ(sane_qnsane_start(handle), SANE_STATUS_GOOD);
    EXPECT_EQ(SetString(handle, "颜色模式", "256级灰度"), SANE_STATUS_DEVICE_BUSY);
    EXPECT_EQ(GetString(handle, "颜色模式"), "24位彩色");
    EXPECT_EQ(sane_qnsane_start(handle), SANE_STATUS_DEVICE_BUSY);
    sane_qnsane_close(handle);
    std::vector<RecordedEvent> events = recorder_.ScanEvents();
    EXPECT_EQ(CountCode(events, SANE_EVENT_SCAN_FINISHED), 1);
    EXPECT_EQ(events.back().text, "扫描取消");
}

// A backend that aborts or hangs takes only the worker: the scan ends with
// an error, the scanner leaves and comes back, and scans again.
TEST_F(SaneDriverTest, CrashOrHangEndsTheScanAndTheScannerComesBack) {
    SetConfig("sane", "read_timeout_s", "1");
    struct Case {
        const char* cue;
        const char* text;
    };
    Init();
    for (Case c : {Case{"abort-read", "扫描仪驱动异常退出"}, Case{"sleep-read", "扫描仪无响应"}}) {
        SCOPED_TRACE(c.cue);
        SANE_Handle handle = OpenScanner(kCrashy);
        sane_.Cue(c.cue);
        std::vector<RecordedEvent> events = Scan(handle);
        ExpectFailedScan(events, c.text);
        sane_.Cue("");
        ASSERT_TRUE(recorder_.WaitForDevice(SANE_EVENT_DEVICE_LEFT, kCrashy));
        ASSERT_TRUE(recorder_.WaitForDevice(SANE_EVENT_DEVICE_ARRIVED, kCrashy));
        EXPECT_EQ(sane_qnsane_start(handle), SANE_STATUS_INVAL);  // the old handle is lost
        sane_qnsane_close(handle);

        handle = OpenScanner(kCrashy);
        events = Scan(handle);
        EXPECT_EQ(Pages(events).size(), 1u);
        EXPECT_EQ(events.back().text, "扫描完成");
        sane_qnsane_close(handle);
    }
}

// Stopping the service does not wait out the read time limit of a backend
// that hangs: the worker is killed and the scan still ends with its event.
TEST_F(SaneDriverTest, ExitDoesNotWaitForAHungBackend) {
    SetConfig("sane", "read_timeout_s", "60");
    Init();
    SANE_Handle handle = OpenScanner(kCrashy);
    sane_.Cue("sleep-read");
    ASSERT_EQ(sane_qnsane_start(handle), SANE_STATUS_GOOD);
    ASSERT_TRUE(sane_.WaitUntilReadBlocks());
    auto start = std::chrono::steady_clock::now();
    sane_qnsane_exit();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_TRUE(recorder_.WaitForFinished());
    sane_.Cue("");
}

TEST_F(SaneDriverTest, CrashWhileListingRestartsTheWorker) {
    Init();
    SANE_Handle handle = OpenScanner(kCrashy);
    recorder_.Clear();
    sane_.Cue("abort-list");
    ASSERT_TRUE(recorder_.WaitForDevice(SANE_EVENT_DEVICE_LEFT, kCrashy));
    sane_.Cue("");
    ASSERT_TRUE(recorder_.WaitForDevice(SANE_EVENT_DEVICE_ARRIVED, kCrashy));
    sane_qnsane_close(handle);
    handle = OpenScanner(kCrashy);
    EXPECT_EQ(Pages(Scan(handle)).size(), 1u);
}

}  // namespace

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/driver/driver_config.h"
#include "platform/driver/driver_fixture.h"

namespace {

std::vector<std::string> ListedDevices() {
    const SANE_Device** list = nullptr;
    std::vector<std::string> names;
    if (sane_qnsane_get_devices(&list, SANE_TRUE) != SANE_STATUS_GOOD) return names;
    for (; *list != nullptr; ++list)
        names.push_back((*list)->name);
    return names;
}

std::vector<std::string> DeviceEvents(const std::vector<RecordedEvent>& events) {
    std::vector<std::string> described;
    for (const RecordedEvent& event : events) {
        if (event.code == SANE_EVENT_DEVICE_ARRIVED)
            described.push_back("+" + event.text);
        else if (event.code == SANE_EVENT_DEVICE_LEFT)
            described.push_back("-" + event.text);
    }
    return described;
}

using DevicesTest = DriverTest;

TEST_F(DevicesTest, ScannersPresentAtInitAreListedAndAnnouncedFromTheDriverThread) {
    SetConfig("virtual", "devices", " Left Scanner | Right Scanner ||Left Scanner");
    ASSERT_TRUE(InitDriver());
    EXPECT_EQ(ListedDevices(), (std::vector<std::string>{"Left Scanner", "Right Scanner"}));
    EXPECT_EQ(DeviceEvents(recorder_.Events()),
              (std::vector<std::string>{"+Left Scanner", "+Right Scanner"}));
    for (const RecordedEvent& event : recorder_.Events()) {
        EXPECT_EQ(event.value, 0);
        EXPECT_EQ(event.opaque, nullptr);
        EXPECT_NE(event.thread, std::this_thread::get_id());
    }
}

// Init returns only after the arrival callbacks of the scanners present
// have returned, even slow ones, so a list kept from those events is
// complete the moment init returns.
TEST_F(DevicesTest, InitReturnsOnceThePresentScannersHaveBeenAnnounced) {
    SetConfig("virtual", "devices", "Left Scanner|Right Scanner");
    recorder_.SetHook([](const RecordedEvent& event) {
        if (event.code == SANE_EVENT_DEVICE_ARRIVED)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    });
    SANE_Int version = 0;
    ASSERT_EQ(sane_qnsane_init_ex(&version, &EventRecorder::Callback, &recorder_),
              SANE_STATUS_GOOD);
    EXPECT_EQ(DeviceEvents(recorder_.Events()),
              (std::vector<std::string>{"+Left Scanner", "+Right Scanner"}));
    sane_qnsane_exit();
}

TEST_F(DevicesTest, ExitInsideACallbackIsRefusedAndTheDriverKeepsWorking) {
    std::atomic<int> exitCalls{0};
    recorder_.SetHook([&](const RecordedEvent& event) {
        if (event.code == SANE_EVENT_DEVICE_ARRIVED || event.code == SANE_EVENT_IMAGE_OK) {
            sane_qnsane_exit();
            ++exitCalls;
        }
    });
    ASSERT_TRUE(InitDriver());
    SANE_Handle handle = OpenScanner();
    ASSERT_NE(handle, nullptr);
    std::vector<RecordedEvent> events = Scan(handle);
    EXPECT_EQ(Pages(events).size(), 3u);
    EXPECT_EQ(events.back().text, "扫描完成");
    EXPECT_EQ(exitCalls, 4);
    sane_qnsane_exit();  // no hook may outlive this test's locals
}

TEST_F(DevicesTest, DefaultIsOneVirtualScannerAndAnEmptyListMeansNone) {
    ASSERT_TRUE(InitDriver());
    EXPECT_EQ(ListedDevices(), std::vector<std::string>{"Virtual Scanner"});
    sane_qnsane_exit();
    SetConfig("virtual", "devices", "");
    ASSERT_TRUE(InitDriver());
    EXPECT_TRUE(ListedDevices().empty());
    SANE_Handle handle = nullptr;
    EXPECT_NE(sane_qnsane_open("Virtual Scanner", &handle), SANE_STATUS_GOOD);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(DevicesTest, RewritingTheListReportsArrivalsAndRemovals) {
    SetConfig("virtual", "devices", "A|B");
    ASSERT_TRUE(InitDriver());
    recorder_.Clear();

    SetConfig("virtual", "devices", "B|C");
    ASSERT_TRUE(recorder_.WaitForDevice(SANE_EVENT_DEVICE_ARRIVED, "C"));
    ASSERT_TRUE(recorder_.WaitForDevice(SANE_EVENT_DEVICE_LEFT, "A"));
    EXPECT_EQ(DeviceEvents(recorder_.Events()), (std::vector<std::string>{"-A", "+C"}));
    EXPECT_EQ(ListedDevices(), (std::vector<std::string>{"B", "C"}));

    SANE_Handle handle = nullptr;
    EXPECT_NE(sane_qnsane_open("A", &handle), SANE_STATUS_GOOD);
    ASSERT_EQ(sane_qnsane_open("C", &handle), SANE_STATUS_GOOD);
    sane_qnsane_close(handle);

    // A reordered list is the same list.
    recorder_.Clear();
    SetConfig("virtual", "devices", "C|B");
    SetConfig("virtual", "devices", "C|B|D");
    ASSERT_TRUE(recorder_.WaitForDevice(SANE_EVENT_DEVICE_ARRIVED, "D"));
    EXPECT_EQ(DeviceEvents(recorder_.Events()), std::vector<std::string>{"+D"});
}

TEST_F(DevicesTest, RemovingTheOpenScannerEndsItsScanWithAnErrorAndKillsTheHandle) {
    SetConfig("virtual", "devices", "Kept|Removed");
    SetConfig("virtual", "page_delay_ms", "20");
    SetConfig("virtual", "sheets", "500");
    ASSERT_TRUE(InitDriver());
    SANE_Handle handle = OpenScanner("Removed");
    ASSERT_EQ(sane_qnsane_start(handle), 0);
    ASSERT_TRUE(recorder_.WaitFor(
        [](const std::vector<RecordedEvent>& events) { return !Pages(events).empty(); }));

    SetConfig("virtual", "devices", "Kept");
    ASSERT_TRUE(recorder_.WaitForDevice(SANE_EVENT_DEVICE_LEFT, "Removed"));
    ASSERT_TRUE(recorder_.WaitForFinished());
    std::vector<RecordedEvent> scan = recorder_.ScanEvents();
    EXPECT_EQ(scan.back().code, SANE_EVENT_SCAN_FINISHED);
    EXPECT_NE(scan.back().value, 0);
    EXPECT_EQ(CountCode(scan, SANE_EVENT_SCAN_FINISHED), 1);
    EXPECT_EQ(scan[scan.size() - 2].code, SANE_EVENT_ERROR);

    // Every later call on the handle fails, but closing it still works.
    SANE_Word value = 0;
    EXPECT_EQ(sane_qnsane_get_option_descriptor(handle, 0), nullptr);
    EXPECT_NE(sane_qnsane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &value, nullptr), 0);
    EXPECT_NE(sane_qnsane_start(handle), SANE_STATUS_GOOD);
    sane_qnsane_cancel(handle);
    sane_qnsane_close(handle);

    // When the scanner comes back it opens anew.
    SetConfig("virtual", "devices", "Kept|Removed");
    ASSERT_TRUE(recorder_.WaitFor([](const std::vector<RecordedEvent>& events) {
        return CountCode(events, SANE_EVENT_DEVICE_ARRIVED) == 3;
    }));
    SANE_Handle again = OpenScanner("Removed");
    EXPECT_NE(again, nullptr);
    EXPECT_NE(again, handle);
}

TEST_F(DevicesTest, AScannerOpensOnOneHandleAtATime) {
    ASSERT_TRUE(InitDriver());
    SANE_Handle first = OpenScanner();
    SANE_Handle second = nullptr;
    EXPECT_EQ(sane_qnsane_open("Virtual Scanner", &second), SANE_STATUS_DEVICE_BUSY);
    sane_qnsane_close(first);
    second = OpenScanner();
    // A closed handle is never valid again, even with a new handle open.
    EXPECT_EQ(sane_qnsane_get_option_descriptor(first, 1), nullptr);
    EXPECT_NE(sane_qnsane_get_option_descriptor(second, 1), nullptr);
}

TEST_F(DevicesTest, CallsBeforeInitAfterExitAndWithForeignHandlesFailCleanly) {
    auto expectRefused = [](SANE_Handle handle) {
        SANE_Word value = 0;
        SANE_Handle opened = &value;
        EXPECT_NE(sane_qnsane_open("Virtual Scanner", &opened), SANE_STATUS_GOOD);
        EXPECT_EQ(opened, nullptr);
        EXPECT_EQ(sane_qnsane_get_option_descriptor(handle, 1), nullptr);
        EXPECT_NE(sane_qnsane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &value, nullptr), 0);
        EXPECT_NE(sane_qnsane_start(handle), SANE_STATUS_GOOD);
        sane_qnsane_cancel(handle);
        sane_qnsane_close(handle);
    };
    SANE_Word dummy = 0;
    SANE_Handle foreign = &dummy;

    const SANE_Device** list = nullptr;
    EXPECT_NE(sane_qnsane_get_devices(&list, SANE_TRUE), SANE_STATUS_GOOD);
    EXPECT_EQ(list, nullptr);
    expectRefused(foreign);
    sane_qnsane_exit();  // nothing to end

    ASSERT_TRUE(InitDriver());
    SANE_Handle handle = OpenScanner();
    EXPECT_NE(sane_qnsane_init_ex(nullptr, &EventRecorder::Callback, &recorder_), SANE_STATUS_GOOD);
    expectRefused(foreign);
    expectRefused(nullptr);
    EXPECT_NE(sane_qnsane_get_option_descriptor(handle, 1), nullptr);  // the driver still works

    sane_qnsane_exit();
    EXPECT_NE(sane_qnsane_get_devices(&list, SANE_TRUE), SANE_STATUS_GOOD);
    expectRefused(handle);
}

TEST_F(DevicesTest, DriverNameSelectsTheDriver) {
    struct Case {
        const char* file;
        const char* environment;
        SANE_Status status;
    };
    for (Case c : {Case{"twain", "", SANE_STATUS_INVAL}, Case{" Virtual ", "", SANE_STATUS_GOOD},
                   Case{"twain", "virtual", SANE_STATUS_GOOD},
                   Case{"virtual", "twain", SANE_STATUS_INVAL}}) {
        SCOPED_TRACE(std::string(c.file) + " / " + c.environment);
        SetConfig("driver", "name", c.file);
        testing_support::ScopedEnv environment("SCANBRIDGE_DRIVER", c.environment);
        SANE_Int version = 0;
        EXPECT_EQ(sane_qnsane_init_ex(&version, &EventRecorder::Callback, &recorder_), c.status);
        const SANE_Device** list = nullptr;
        EXPECT_EQ(sane_qnsane_get_devices(&list, SANE_TRUE) == SANE_STATUS_GOOD,
                  c.status == SANE_STATUS_GOOD);
        sane_qnsane_exit();
    }
}

TEST_F(DevicesTest, RealScannersAreTheDefaultDriver) {
    struct Case {
        const char* file;
        const char* environment;
        const char* driver;
    };
    for (Case c : {Case{"", "", "sane"}, Case{" ", " ", "sane"}, Case{"Virtual", "", "virtual"},
                   Case{"virtual", " SANE ", "sane"}, Case{"sane", "virtual", "virtual"}}) {
        SetConfig("driver", "name", c.file);
        testing_support::ScopedEnv environment("SCANBRIDGE_DRIVER", c.environment);
        EXPECT_EQ(ReadDriverName(), c.driver) << c.file << " / " << c.environment;
    }
}

TEST(DriverConfigParsing, DeviceAndPageLists) {
    EXPECT_EQ(ParseDeviceList("A | B|| A |"), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(ParseDeviceList("").empty());
    EXPECT_TRUE(ParseDeviceList(" | ").empty());
    EXPECT_EQ(ParsePageList("2, 5,x,0,-3, 7,2,"), (std::set<int>{2, 5, 7}));
    EXPECT_TRUE(ParsePageList("").empty());
}

}  // namespace

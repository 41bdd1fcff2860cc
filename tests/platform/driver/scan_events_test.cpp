#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/driver/driver_fixture.h"

namespace {

using namespace std::chrono_literals;

class ScanEventsTest : public DriverTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(InitDriver());
        handle_ = OpenScanner();
        ASSERT_NE(handle_, nullptr);
    }

    // WORKING first, FINISHED last and only once, every event carrying the
    // handle and coming from a driver thread.
    void ExpectFrame(const std::vector<RecordedEvent>& events, const char* finish, SANE_Int value) {
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events.front().code, SANE_EVENT_WORKING);
        EXPECT_EQ(events.front().text, "扫描中");
        EXPECT_EQ(events.back().code, SANE_EVENT_SCAN_FINISHED);
        EXPECT_EQ(events.back().text, finish);
        EXPECT_EQ(events.back().value, value);
        EXPECT_EQ(CountCode(events, SANE_EVENT_SCAN_FINISHED), 1);
        for (const RecordedEvent& event : events) {
            EXPECT_EQ(event.opaque, handle_);
            EXPECT_NE(event.thread, std::this_thread::get_id());
        }
    }

    SANE_Handle handle_ = nullptr;
};

struct SheetCase {
    const char* name;
    const char* feed;
    int count;   // "扫描数量"
    int sheets;  // [virtual] sheets
    const char* side;
    const char* blankPages;
    int expectedPages;
};

void PrintTo(const SheetCase& c, std::ostream* out) {
    *out << c.name;
}

class SheetsAndSides : public ScanEventsTest, public ::testing::WithParamInterface<SheetCase> {};

TEST_P(SheetsAndSides, DeliverTheExpectedPagesNumberedInOrder) {
    const SheetCase& c = GetParam();
    SetConfig("virtual", "sheets", std::to_string(c.sheets));
    SetConfig("virtual", "blank_pages", c.blankPages);
    ASSERT_EQ(SetString(handle_, "扫描张数", c.feed), 0);
    ASSERT_EQ(SetWord(handle_, "扫描数量", c.count), 0);
    ASSERT_EQ(SetString(handle_, "扫描页面", c.side), 0);

    std::vector<RecordedEvent> events = Scan(handle_);
    ExpectFrame(events, "扫描完成", 0);
    std::vector<RecordedEvent> pages = Pages(events);
    ASSERT_EQ(static_cast<int>(pages.size()), c.expectedPages);
    EXPECT_EQ(static_cast<int>(events.size()), c.expectedPages + 2);
    for (size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].pageNumber, static_cast<int>(i + 1));
        EXPECT_EQ(pages[i].resolution, 200);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scans, SheetsAndSides,
    ::testing::Values(
        SheetCase{"ContinuousSimplex", "连续扫描", 1, 3, "单面", "", 3},
        SheetCase{"ContinuousFiveSheets", "连续扫描", 9, 5, "单面", "", 5},
        SheetCase{"ContinuousDuplex", "连续扫描", 1, 3, "双面", "", 6},
        SheetCase{"DuplexKeepsBlankPages", "连续扫描", 1, 3, "双面", "2,5", 6},
        SheetCase{"SkipBlankGeneral", "连续扫描", 1, 3, "跳过空白页（通用）", "2, 5", 4},
        SheetCase{"SkipBlankInvoice", "连续扫描", 1, 2, "跳过空白页（发票纸）", "1", 3},
        SheetCase{"SkipWithoutBlanks", "连续扫描", 1, 2, "跳过空白页（通用）", "", 4},
        SheetCase{"CountedSimplex", "扫描指定张数", 2, 7, "单面", "", 2},
        SheetCase{"CountedDuplex", "扫描指定张数", 4, 1, "双面", "", 8},
        SheetCase{"SimplexBlankStillDelivered", "扫描指定张数", 2, 3, "单面", "1", 2}),
    [](const ::testing::TestParamInfo<SheetCase>& info) { return std::string(info.param.name); });

TEST_F(ScanEventsTest, JamAfterNPagesReportsTheErrorAndFinishesWithAnErrorValue) {
    SetConfig("virtual", "jam_after", "2");
    std::vector<RecordedEvent> events = Scan(handle_);
    ExpectFrame(events, "卡纸", 1);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(Pages(events).size(), 2u);
    EXPECT_EQ(events[3].code, SANE_EVENT_ERROR);
    EXPECT_EQ(events[3].text, "卡纸");
    EXPECT_EQ(events[3].value, 1);

    // The jam happens when page N + 1 is fed; a feeder with only N pages completes.
    SetConfig("virtual", "jam_after", "3");
    events = Scan(handle_);
    ExpectFrame(events, "扫描完成", 0);
    EXPECT_EQ(Pages(events).size(), 3u);
}

TEST_F(ScanEventsTest, FailStartRefusesWithoutEventsAndIsReadAtEveryStart) {
    SetConfig("virtual", "fail_start", "1");
    EXPECT_NE(sane_qnsane_start(handle_), SANE_STATUS_GOOD);
    SetConfig("virtual", "fail_start", "0");
    // A stray scan from the refused start would add a second WORKING/FINISHED pair.
    std::vector<RecordedEvent> events;
    ASSERT_EQ(sane_qnsane_start(handle_), SANE_STATUS_GOOD);
    ASSERT_TRUE(recorder_.WaitForFinished());
    events = recorder_.ScanEvents();
    ExpectFrame(events, "扫描完成", 0);
    EXPECT_EQ(CountCode(events, SANE_EVENT_WORKING), 1);
}

TEST_F(ScanEventsTest, EmptyFeederRefusesToStart) {
    SetConfig("virtual", "sheets", "0");
    EXPECT_EQ(sane_qnsane_start(handle_), SANE_STATUS_NO_DOCS);
}

TEST_F(ScanEventsTest, StartingWhileScanningFailsAndTheScanGoesOn) {
    SetConfig("virtual", "page_delay_ms", "30");
    ASSERT_EQ(sane_qnsane_start(handle_), 0);
    EXPECT_EQ(sane_qnsane_start(handle_), SANE_STATUS_DEVICE_BUSY);
    ASSERT_TRUE(recorder_.WaitForFinished());
    ExpectFrame(recorder_.ScanEvents(), "扫描完成", 0);
    EXPECT_EQ(Pages(recorder_.ScanEvents()).size(), 3u);
    // Once finished, the next scan starts at once.
    EXPECT_EQ(Pages(Scan(handle_)).size(), 3u);
}

TEST_F(ScanEventsTest, CancelDuringThePageDelayEndsTheScanWithoutMorePages) {
    SetConfig("virtual", "page_delay_ms", "200");
    SetConfig("virtual", "sheets", "20");
    ASSERT_EQ(sane_qnsane_start(handle_), 0);
    ASSERT_TRUE(recorder_.WaitFor(
        [](const std::vector<RecordedEvent>& events) { return !Pages(events).empty(); }));
    sane_qnsane_cancel(handle_);
    ASSERT_TRUE(recorder_.WaitForFinished());
    std::vector<RecordedEvent> events = recorder_.ScanEvents();
    ExpectFrame(events, "扫描取消", 0);
    EXPECT_LE(Pages(events).size(), 2u);
}

TEST_F(ScanEventsTest, CancelFromAnotherThreadReturnsWhileTheCallbackIsBlocked) {
    SetConfig("virtual", "sheets", "50");
    std::promise<void> inside;
    std::promise<void> gate;
    std::shared_future<void> gateOpened = gate.get_future().share();
    std::atomic<bool> blocked{false};
    recorder_.SetHook([&](const RecordedEvent& event) {
        if (event.code == SANE_EVENT_IMAGE_OK && event.pageNumber == 2 && !blocked.exchange(true)) {
            inside.set_value();
            gateOpened.wait();  // the callback waits on something the canceller does not hold
        }
    });
    ASSERT_EQ(sane_qnsane_start(handle_), 0);
    ASSERT_EQ(inside.get_future().wait_for(20s), std::future_status::ready);

    auto cancelled = std::async(std::launch::async, [this] { sane_qnsane_cancel(handle_); });
    bool returned = cancelled.wait_for(10s) == std::future_status::ready;
    gate.set_value();
    EXPECT_TRUE(returned) << "cancel waited for the blocked callback";

    ASSERT_TRUE(recorder_.WaitForFinished());
    std::vector<RecordedEvent> events = recorder_.ScanEvents();
    ExpectFrame(events, "扫描取消", 0);
    EXPECT_EQ(Pages(events).size(), 2u);  // the page in progress, and no more
    sane_qnsane_exit();                   // no hook may outlive this test's locals
}

TEST_F(ScanEventsTest, CloseOfAScanningHandleCancelsAndWaitsForTheFinish) {
    SetConfig("virtual", "page_delay_ms", "20");
    SetConfig("virtual", "sheets", "500");
    ASSERT_EQ(sane_qnsane_start(handle_), 0);
    ASSERT_TRUE(recorder_.WaitFor(
        [](const std::vector<RecordedEvent>& events) { return !Pages(events).empty(); }));
    sane_qnsane_close(handle_);
    std::vector<RecordedEvent> events = recorder_.ScanEvents();
    ExpectFrame(events, "扫描取消", 0);
    EXPECT_NE(sane_qnsane_start(handle_), SANE_STATUS_GOOD);
}

TEST_F(ScanEventsTest, ExitDuringAScanFinishesItAndNoCallbackFollows) {
    SetConfig("virtual", "page_delay_ms", "20");
    SetConfig("virtual", "sheets", "500");
    ASSERT_EQ(sane_qnsane_start(handle_), 0);
    ASSERT_TRUE(recorder_.WaitFor(
        [](const std::vector<RecordedEvent>& events) { return !Pages(events).empty(); }));
    sane_qnsane_exit();
    std::vector<RecordedEvent> events = recorder_.ScanEvents();
    ExpectFrame(events, "扫描取消", 0);
    size_t recorded = recorder_.Events().size();
    std::this_thread::sleep_for(100ms);  // room for a stray thread to show itself
    EXPECT_EQ(recorder_.Events().size(), recorded);
    EXPECT_NE(sane_qnsane_start(handle_), SANE_STATUS_GOOD);
}

TEST_F(ScanEventsTest, CallbacksMayStartTheNextScanAndCloseTheHandle) {
    std::atomic<int> finishes{0};
    recorder_.SetHook([&](const RecordedEvent& event) {
        if (event.code == SANE_EVENT_SCAN_FINISHED && ++finishes == 1) {
            EXPECT_EQ(sane_qnsane_start(handle_), SANE_STATUS_GOOD);
        } else if (event.code == SANE_EVENT_IMAGE_OK && finishes == 1) {
            sane_qnsane_close(handle_);
        }
    });
    ASSERT_EQ(sane_qnsane_start(handle_), 0);
    ASSERT_TRUE(recorder_.WaitForFinished(2));
    std::vector<RecordedEvent> events = recorder_.ScanEvents();
    EXPECT_EQ(events.back().text, "扫描取消");
    EXPECT_EQ(Pages(events).size(), 4u);  // three, then one before the close
    sane_qnsane_exit();                   // no hook may outlive this test's locals
}

}  // namespace

#include "platform/driver/driver_event.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DriverEventTest, DecodesEveryCodeIntoItsKindAndFields) {
    char message[] = "扫描完成";
    SANE_Event_Device device{"Office Scanner", "Vendor", "Model"};
    SANE_Event_Image page{};
    SANE_Int one = 1;
    SANE_Int zero = 0;
    struct Case {
        const char* what;
        SANE_Int code;
        void* data;
        SANE_Int* value;
        DriverEventKind kind;
        std::string text;
        bool failed;
    };
    for (const Case& c : {
             Case{"arrival", SANE_EVENT_DEVICE_ARRIVED, &device, &zero,
                  DriverEventKind::kDeviceArrived, "Office Scanner", false},
             Case{"leaving", SANE_EVENT_DEVICE_LEFT, &device, &zero, DriverEventKind::kDeviceLeft,
                  "Office Scanner", false},
             Case{"status", SANE_EVENT_STATUS, message, &zero, DriverEventKind::kStatus, "扫描完成",
                  false},
             Case{"error", SANE_EVENT_ERROR, message, &one, DriverEventKind::kError, "扫描完成",
                  true},
             Case{"working", SANE_EVENT_WORKING, message, &zero, DriverEventKind::kWorking,
                  "扫描完成", false},
             Case{"page", SANE_EVENT_IMAGE_OK, &page, &zero, DriverEventKind::kPage, "", false},
             Case{"finished in error", SANE_EVENT_SCAN_FINISHED, message, &one,
                  DriverEventKind::kScanFinished, "扫描完成", true},
             Case{"finished without a value", SANE_EVENT_SCAN_FINISHED, message, nullptr,
                  DriverEventKind::kScanFinished, "扫描完成", false},
             Case{"text event without data", SANE_EVENT_ERROR, nullptr, &one,
                  DriverEventKind::kError, "", true},
             Case{"device event without data", SANE_EVENT_DEVICE_LEFT, nullptr, &zero,
                  DriverEventKind::kDeviceLeft, "", false},
             Case{"unknown code", 12345, message, &zero, DriverEventKind::kOther, "", false},
         }) {
        SCOPED_TRACE(c.what);
        DriverEvent event = DecodeDriverEvent(c.code, c.data, c.value);
        EXPECT_EQ(event.kind, c.kind);
        EXPECT_EQ(event.code, c.code);
        ASSERT_NE(event.text, nullptr);
        EXPECT_EQ(event.text, c.text);
        EXPECT_EQ(event.failed, c.failed);
        EXPECT_EQ(event.page, c.kind == DriverEventKind::kPage ? &page : nullptr);
    }
}

TEST(DriverEventTest, ADeviceRecordWithoutANameGivesAnEmptyName) {
    SANE_Event_Device device{nullptr, nullptr, nullptr};
    SANE_Int zero = 0;
    DriverEvent event = DecodeDriverEvent(SANE_EVENT_DEVICE_ARRIVED, &device, &zero);
    ASSERT_NE(event.text, nullptr);
    EXPECT_STREQ(event.text, "");
    EXPECT_EQ(DecodeDriverEvent(SANE_EVENT_IMAGE_OK, nullptr, &zero).page, nullptr);
}

}  // namespace

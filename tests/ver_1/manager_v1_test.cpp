// ManagerV1 in-process with the virtual scanner: scanners arriving and
// leaving, the scan-finished message of an earlier scan, and the filing of
// pages of every frame format straight through the event handler.
#include "ver_1/manager_v1.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "net/pump_messages.h"
#include "platform/base/kx_paths.h"
#include "platform/base/kx_profile.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"
#include "ver_1/pump_messages_v1.h"

namespace ver_1 {
namespace {

using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;

// The back-end messages of the pump, run on the test's thread.
void RunManagerMessage(const PumpMessage* message, void*) {
    if (!RunManagerV1Message(message)) ADD_FAILURE() << "unexpected message " << message->id;
}

struct Recorded {
    std::vector<std::string> names;
    std::vector<std::string> dataUrls;
    std::vector<std::pair<int, std::string>> events;  // code, text
};

void RecordEvent(int code, const char* text, int, void* user) {
    static_cast<Recorded*>(user)->events.emplace_back(code, text);
}

void RecordImage(const char* name, const char* dataUrl, void* user) {
    static_cast<Recorded*>(user)->names.push_back(name);
    static_cast<Recorded*>(user)->dataUrls.push_back(dataUrl);
}

class ManagerV1Test : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(KXBase_CreateDir((root_.path() + "config/").c_str()), 0);
        SetVirtual("devices", "Alpha|Beta");
        SetVirtual("page_delay_ms", "5");
        ASSERT_EQ(KXBase_CreateMsgPump(&pump_), 0);
        manager_ = std::make_unique<ManagerV1>(pump_);
        // The driver has announced the scanners present when it is started,
        // so the first messages on the pump open the first of them.
        manager_->InitDriver();
        KXBase_DispatchPendingMessages(pump_, RunManagerMessage, nullptr);
        ASSERT_TRUE(manager_->HasDevice());
    }
    void TearDown() override {
        manager_->Shutdown();
        KXBase_DispatchPendingMessages(pump_, RunManagerMessage, nullptr);
        manager_.reset();
        KXBase_DestroyMsgPump(pump_);
    }
    void SetVirtual(const char* key, const char* value) {
        std::string path = root_.path() + "config/config.ini";
        ASSERT_EQ(KXBase_SetProfileString(path.c_str(), "virtual", key, value), 0);
    }
    // Runs posted messages until done() holds; false after five seconds.
    bool PumpUntil(const std::function<bool()>& done) {
        for (int attempt = 0; attempt < 500; ++attempt) {
            KXBase_DispatchPendingMessages(pump_, RunManagerMessage, nullptr);
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void FilePage(SANE_Frame format, int depth, int width, int bytesPerLine, int lines,
                  std::vector<uint8_t> pixels) {
        SANE_Event_Image page{};
        page.parameters = {format, SANE_TRUE, bytesPerLine, width, lines, depth};
        page.resolution = 100;
        page.page_number = 1;
        page.data = pixels.data();
        ManagerV1::DriverEventHandler(nullptr, SANE_EVENT_IMAGE_OK, &page, nullptr, manager_.get());
    }
    std::string Folder() const {
        return root_.path() + "documents/scanbridge/" + manager_->deviceName() + "/";
    }

    TempDir root_;
    ScopedEnv config_{"SCANBRIDGE_CONFIG_DIR", root_.path() + "config/"};
    ScopedEnv documents_{"SCANBRIDGE_DOCUMENTS_DIR", root_.path() + "documents/"};
    ScopedEnv tmp_{"SCANBRIDGE_TMP_DIR", root_.path() + "tmp/"};
    ScopedEnv driver_{"SCANBRIDGE_DRIVER", "virtual"};
    KXPump pump_ = nullptr;
    std::unique_ptr<ManagerV1> manager_;
};

TEST_F(ManagerV1Test, OneScannerAtATimeAndOnlyItsRemovalClosesIt) {
    std::string first = manager_->deviceName();
    EXPECT_EQ(first, "Alpha");
    // Beta's arrival was handled too, and ignored.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    KXBase_DispatchPendingMessages(pump_, RunManagerMessage, nullptr);
    EXPECT_EQ(manager_->deviceName(), "Alpha");
    EXPECT_NE(ReadFile(root_.path() + "config/config1.ini").find("[Alpha]"), std::string::npos);

    SetVirtual("devices", "Alpha");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    KXBase_DispatchPendingMessages(pump_, RunManagerMessage, nullptr);
    EXPECT_EQ(manager_->deviceName(), "Alpha");

    // The open scanner leaving in the middle of a scan ends the scan, resets
    // the parameters and closes it.
    SetVirtual("page_delay_ms", "200");
    SetVirtual("sheets", "20");
    ScanParams params;
    manager_->GetParams(params);
    params.ftpPath = "/kept";
    params.pixel = 0;
    ASSERT_TRUE(manager_->SetParams(params));
    ASSERT_TRUE(manager_->StartScan("", false));
    SetVirtual("devices", "");
    ASSERT_TRUE(PumpUntil([this] { return !manager_->HasDevice(); }));
    EXPECT_FALSE(manager_->scanning());
    ScanParams after;
    EXPECT_FALSE(manager_->GetParams(after));
    EXPECT_EQ(after.pixel, 1);
    EXPECT_EQ(after.ftpPath, "/images");
}

TEST_F(ManagerV1Test, FinishedMessageOfAnEarlierScanDoesNotEndALaterOne) {
    SetVirtual("page_delay_ms", "100");
    SetVirtual("sheets", "50");
    ASSERT_TRUE(manager_->StartScan("", false));
    EXPECT_FALSE(manager_->StartScan("", false));
    manager_->OnScanFinished(0);
    EXPECT_TRUE(manager_->scanning());
    EXPECT_TRUE(manager_->StopScan());
    EXPECT_FALSE(manager_->scanning());
    // The cancelled scan's own finished message is stale now too.
    ASSERT_TRUE(manager_->StartScan("", false));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    KXBase_DispatchPendingMessages(pump_, RunManagerMessage, nullptr);
    EXPECT_TRUE(manager_->scanning());
    manager_->StopScan();
}

TEST_F(ManagerV1Test, PagesOfEveryFrameFormatAreFiledAsColour) {
    Recorded recorded;
    manager_->SetImageCallback(RecordImage, &recorded);
    manager_->SetEventCallback(RecordEvent, &recorded);
    // 1-bit black and white: 10 pixels a row in 2 bytes, the first pixel of
    // each row black.
    FilePage(SANE_FRAME_GRAY, 1, 10, 2, 3, {0x80, 0x00, 0x80, 0x00, 0x80, 0x00});
    FilePage(SANE_FRAME_GRAY, 8, 2, 2, 2, {0, 255, 255, 0});
    FilePage(SANE_FRAME_RGB, 8, 1, 3, 1, {255, 0, 0});
    FilePage(SANE_FRAME_GRAY, 16, 1, 2, 1, {0, 0});
    // A format the back end does not understand is lost, and the scan's end
    // says so instead of the driver's success text.
    FilePage(SANE_FRAME_RED, 8, 1, 1, 1, {0});
    SANE_Int success = 0;
    ManagerV1::DriverEventHandler(nullptr, SANE_EVENT_SCAN_FINISHED, const_cast<char*>("扫描完成"),
                                  &success, manager_.get());
    manager_->SetEventCallback(nullptr, nullptr);
    EXPECT_EQ(recorded.events.back(), (std::pair<int, std::string>{5, "错误"}));
    ASSERT_EQ(recorded.names, (std::vector<std::string>{"1.jpg", "2.jpg", "3.jpg", "4.jpg"}));
    for (const std::string& url : recorded.dataUrls)
        EXPECT_EQ(url.rfind("data:image/jpeg;base64,", 0), 0u);

    KXImage image = nullptr;
    ASSERT_EQ(KXImgFmt_LoadImage((Folder() + "1.jpg").c_str(), 0, nullptr, KX_PIXEL_RGB,
                                 KX_ORIGIN_TOP_LEFT, &image),
              0);
    KXImageInfo info{};
    KXBase_GetImageInfo(image, &info);
    EXPECT_EQ(info.width, 10u);
    EXPECT_EQ(info.height, 3u);
    uint8_t* pixels = nullptr;
    KXBase_GetImageData(image, &pixels);
    EXPECT_LT(pixels[0], 96);               // black
    EXPECT_GT(pixels[3 * 5], 160);          // white
    EXPECT_LT(pixels[info.widthStep], 96);  // next row, black again
    KXBase_DestroyImage(image);
    EXPECT_EQ(ReadFile(Folder() + "images.txt"), "1.jpg\n2.jpg\n3.jpg\n4.jpg\n");
}

}  // namespace
}  // namespace ver_1

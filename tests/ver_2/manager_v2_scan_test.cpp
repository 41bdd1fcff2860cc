// The scan pipeline inside ManagerV2, driven with the virtual scanner and
// with hand-made driver events: pages of every frame type saved and reported
// in order, lost pages, device events, and a late finish message that must
// not end the next scan.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/base/kx_profile.h"
#include "platform/base/kx_pump.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"
#include "ver_2/manager_v2.h"
#include "ver_2/pump_messages_v2.h"

namespace ver_2 {
namespace {

using testing_support::ScopedEnv;
using testing_support::TempDir;

// What the back end handed to the page and to the service thread.
struct Recorder {
    std::mutex mutex;
    std::vector<std::pair<int, std::string>> events;  // code, text
    std::vector<int> flags;                           // the flag of each event
    std::vector<std::pair<std::string, int>> images;  // path, blank
    std::vector<std::string> saved;                   // PUMP_MSG_V2_FILE_SAVED paths
    std::vector<std::string> left;                    // PUMP_MSG_V2_DEVICE_LEFT names
    ManagerV2* manager = nullptr;

    static void OnEvent(int code, const char* text, int flag, void* self) {
        auto* recorder = static_cast<Recorder*>(self);
        std::lock_guard guard(recorder->mutex);
        recorder->events.emplace_back(code, text);
        recorder->flags.push_back(flag);
    }
    static void OnImage(const char* path, int blank, void* self) {
        auto* recorder = static_cast<Recorder*>(self);
        std::lock_guard guard(recorder->mutex);
        recorder->images.emplace_back(path, blank);
    }
    // A pump handler for the back end's own messages.
    static void Handle(const PumpMessage* message, void* self) {
        auto* recorder = static_cast<Recorder*>(self);
        switch (message->id) {
            case PUMP_MSG_V2_SCAN_FINISHED: {
                std::unique_ptr<ScanFinishedMessage> finished(
                    static_cast<ScanFinishedMessage*>(message->payload));
                if (recorder->manager != nullptr) {
                    finished->session->OnScanFinished(finished->scanNumber);
                }
                break;
            }
            case PUMP_MSG_V2_FILE_SAVED: {
                std::unique_ptr<FilePathMessage> file(
                    static_cast<FilePathMessage*>(message->payload));
                recorder->saved.push_back(file->path);
                break;
            }
            case PUMP_MSG_V2_DEVICE_LEFT: {
                std::unique_ptr<DeviceNameMessage> device(
                    static_cast<DeviceNameMessage*>(message->payload));
                recorder->left.push_back(device->name);
                break;
            }
            default:
                break;
        }
    }
};

class ScanPipeline : public ::testing::Test {
  protected:
    ScanPipeline()
        : config_("SCANBRIDGE_CONFIG_DIR", root_.path() + "config/"),
          documents_("SCANBRIDGE_DOCUMENTS_DIR", root_.path() + "documents/"),
          tmp_("SCANBRIDGE_TMP_DIR", root_.path() + "tmp/"),
          driver_("SCANBRIDGE_DRIVER", "virtual") {
        std::filesystem::create_directories(root_.path() + "config");
        SetVirtual("page_delay_ms", "0");
        KXBase_CreateMsgPump(&pump_);
        manager_ = std::make_unique<ManagerV2>(pump_);
        recorder_.manager = manager_.get();
        manager_->SetEventCallback(Recorder::OnEvent, &recorder_);
        manager_->SetImageCallback(Recorder::OnImage, &recorder_);
    }
    ~ScanPipeline() override {
        manager_.reset();
        recorder_.manager = nullptr;
        Dispatch();
        KXBase_DestroyMsgPump(pump_);
    }

    void SetVirtual(const std::string& key, const std::string& value) {
        std::string ini = root_.path() + "config/config.ini";
        KXBase_SetProfileString(ini.c_str(), "virtual", key.c_str(), value.c_str());
    }
    void Dispatch() { KXBase_DispatchPendingMessages(pump_, Recorder::Handle, &recorder_); }
    // The scanners present are listed as soon as the driver has started.
    void OpenScanner() {
        ErrorInfo error;
        ASSERT_EQ(manager_->InitDevice(error), 0);
        std::vector<std::string> names;
        manager_->GetDeviceNameList(names, error);
        ASSERT_EQ(names, std::vector<std::string>{"Virtual Scanner"});
        ASSERT_EQ(manager_->OpenDevice("Virtual Scanner", error), 0);
    }
    // Waits until the back end reported the end of a scan; its text and flag.
    std::pair<std::string, int> WaitForScanEnd() {
        for (int i = 0; i < 1000; ++i) {
            {
                std::lock_guard guard(recorder_.mutex);
                for (size_t e = 0; e < recorder_.events.size(); ++e) {
                    if (recorder_.events[e].first == 5) {
                        std::pair<std::string, int> end{recorder_.events[e].second,
                                                        recorder_.flags[e]};
                        recorder_.events.erase(recorder_.events.begin() + e);
                        recorder_.flags.erase(recorder_.flags.begin() + e);
                        return end;
                    }
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {"<none>", -1};
    }
    // Waits until the pipeline reported count pages to the image callback.
    bool WaitForImages(size_t count) {
        for (int i = 0; i < 500; ++i) {
            {
                std::lock_guard guard(recorder_.mutex);
                if (recorder_.images.size() >= count) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    TempDir root_;
    ScopedEnv config_;
    ScopedEnv documents_;
    ScopedEnv tmp_;
    ScopedEnv driver_;
    KXPump pump_ = nullptr;
    Recorder recorder_;
    std::unique_ptr<ManagerV2> manager_;
};

TEST_F(ScanPipeline, ALateFinishMessageDoesNotEndTheNextScan) {
    SetVirtual("sheets", "1");
    OpenScanner();
    ErrorInfo error;
    ASSERT_EQ(manager_->StartScan(false, true, error), 0);
    ASSERT_TRUE(WaitForImages(1));
    // The first scan ends by itself; before its finish message is handled,
    // the page stops it and starts the next one.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(manager_->StopScan(error), 0);
    SetVirtual("sheets", "3");
    SetVirtual("page_delay_ms", "300");
    ASSERT_EQ(manager_->StartScan(false, true, error), 0);
    Dispatch();
    EXPECT_TRUE(manager_->scanning());
    ASSERT_TRUE(WaitForImages(4));
    EXPECT_EQ(manager_->StopScan(error), 0);
    Dispatch();
    std::lock_guard guard(recorder_.mutex);
    EXPECT_EQ(recorder_.saved.size(), 4u);
}

// A driver page record of the given frame, filled with value.
struct Page {
    SANE_Event_Image record{};
    std::vector<uint8_t> pixels;

    Page(SANE_Frame format, int depth, int width, int height, uint8_t value) {
        int samples = format == SANE_FRAME_RGB ? width * 3 : width;
        int bytesPerLine = depth == 1 ? (width + 7) / 8 : samples * depth / 8;
        pixels.assign(static_cast<size_t>(bytesPerLine) * height, value);
        record.parameters = {format, SANE_TRUE, bytesPerLine, width, height, depth};
        record.resolution = 100;
        record.data = pixels.data();
    }
};

// Every page the image layer understands is saved (16-bit pages as 8-bit
// images); a page it cannot take (a single colour plane) is lost, and the
// scan then ends as an error although the driver reported success.
TEST_F(ScanPipeline, PagesOfEveryFrameTypeAreSavedAndReportedInOrder) {
    OpenScanner();
    ErrorInfo error;
    GlobalConfig config;
    config.imageFormat = "png";
    ASSERT_EQ(manager_->SetGlobalConfig(config, kFieldImageFormat, error), 0);
    Page pages[] = {
        {SANE_FRAME_GRAY, 1, 80, 40, 0x00},  {SANE_FRAME_GRAY, 8, 80, 40, 0x80},
        {SANE_FRAME_RGB, 8, 80, 40, 0x40},   {SANE_FRAME_RED, 8, 80, 40, 0x40},
        {SANE_FRAME_GRAY, 16, 80, 40, 0x40}, {SANE_FRAME_RGB, 16, 300, 200, 0xFF},
    };
    SANE_Int value = 0;
    for (Page& page : pages) {
        ScanSession::DriverEventHandler(nullptr, SANE_EVENT_IMAGE_OK, &page.record, &value,
                                        &manager_->session());
    }
    ASSERT_TRUE(WaitForImages(5));
    // The finish event waits for every page before it is reported.
    ScanSession::DriverEventHandler(nullptr, SANE_EVENT_SCAN_FINISHED, const_cast<char*>("done"),
                                    &value, &manager_->session());
    Dispatch();
    std::lock_guard guard(recorder_.mutex);
    ASSERT_EQ(recorder_.images.size(), 5u);
    std::vector<std::string> paths;
    for (const auto& [path, blank] : recorder_.images)
        paths.push_back(path);
    EXPECT_EQ(recorder_.saved, paths);
    EXPECT_TRUE(std::is_sorted(paths.begin(), paths.end()));
    const uint32_t types[] = {KX_PIXEL_BW, KX_PIXEL_GRAY, KX_PIXEL_RGB, KX_PIXEL_GRAY,
                              KX_PIXEL_RGB};
    for (size_t i = 0; i < paths.size(); ++i) {
        ImageFileInfo info{};
        ASSERT_EQ(KXImgFmt_LoadImage(paths[i].c_str(), 0, &info, 0, 0, nullptr), 0);
        EXPECT_EQ(info.type, types[i]) << i;
    }
    EXPECT_EQ(recorder_.events.back(), (std::pair<int, std::string>{5, "错误"}));
    EXPECT_EQ(recorder_.flags.back(), 1);
}

// Pages that cannot be saved make the scan's end an error; the next scan,
// whose pages are kept, ends as the driver says.
TEST_F(ScanPipeline, PagesThatCannotBeSavedEndTheScanWithAnError) {
    SetVirtual("sheets", "2");
    OpenScanner();
    ErrorInfo error;
    std::string blocker = root_.path() + "blocker";
    testing_support::WriteFile(blocker, "a file, not a folder");
    GlobalConfig config;
    config.fileSavePath = blocker + "/pages/";
    ASSERT_EQ(manager_->SetGlobalConfig(config, kFieldFileSavePath, error), 0);
    ASSERT_EQ(manager_->StartScan(false, true, error), 0);
    EXPECT_EQ(WaitForScanEnd(), (std::pair<std::string, int>{"错误", 1}));
    Dispatch();
    EXPECT_FALSE(manager_->scanning());
    {
        std::lock_guard guard(recorder_.mutex);
        EXPECT_TRUE(recorder_.images.empty());
        EXPECT_TRUE(recorder_.saved.empty());
    }

    config.fileSavePath = root_.path() + "pages/";
    ASSERT_EQ(manager_->SetGlobalConfig(config, kFieldFileSavePath, error), 0);
    ASSERT_EQ(manager_->StartScan(false, true, error), 0);
    EXPECT_EQ(WaitForScanEnd(), (std::pair<std::string, int>{"扫描完成", 0}));
    Dispatch();
    std::lock_guard guard(recorder_.mutex);
    EXPECT_EQ(recorder_.images.size(), 2u);
}

TEST_F(ScanPipeline, DeviceAndStatusEventsReachTheConnection) {
    OpenScanner();
    SANE_Event_Device device{"Unknown", nullptr, nullptr};
    SANE_Int value = 1;
    ScanSession::DriverEventHandler(nullptr, SANE_EVENT_DEVICE_LEFT, &device, &value,
                                    &manager_->session());
    ScanSession::DriverEventHandler(nullptr, SANE_EVENT_STATUS, const_cast<char*>("s"), &value,
                                    &manager_->session());
    ScanSession::DriverEventHandler(nullptr, SANE_EVENT_ERROR, const_cast<char*>("e"), &value,
                                    &manager_->session());
    ScanSession::DriverEventHandler(nullptr, 99, nullptr, &value, &manager_->session());
    Dispatch();
    std::lock_guard guard(recorder_.mutex);
    std::vector<std::pair<int, std::string>> tail(recorder_.events.end() - 3,
                                                  recorder_.events.end());
    EXPECT_EQ(tail, (std::vector<std::pair<int, std::string>>{{2, "Unknown"}, {3, "s"}, {6, "e"}}));
    EXPECT_EQ(recorder_.left, (std::vector<std::string>{"Unknown"}));
}

}  // namespace
}  // namespace ver_2

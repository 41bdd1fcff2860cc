// The worker process on its own: requests over the real executable with
// SANE's test backend, and what the service side does when the worker dies
// or hangs.
#include "platform/driver/sane/sane_worker.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/driver/sane/sane_test_env.h"

namespace {

class SaneWorkerTest : public ::testing::Test {
  protected:
    SaneWorkerTest() : worker_([this](WorkerFault) { ++failures_; }) {}

    std::string FindSaneName(const std::string& model) {
        std::vector<WireDevice> devices;
        EXPECT_TRUE(worker_.List(&devices).ok());
        for (const WireDevice& device : devices) {
            if (device.model == model) return device.name;
        }
        return {};
    }

    uint32_t OpenDevice(const std::string& model) {
        uint32_t handle = 0;
        EXPECT_TRUE(worker_.Open(worker_.generation(), FindSaneName(model), &handle).ok());
        return handle;
    }

    // Starts the worker, opens the test backend's scanner and describes it.
    void StartAndDescribeTester(uint64_t* generation, uint32_t* handle,
                                std::vector<DeviceOption>* options) {
        ASSERT_TRUE(worker_.Start(std::chrono::seconds(20)));
        *generation = worker_.generation();
        *handle = OpenDevice("frontend-tester");
        std::vector<std::pair<SANE_Int, OptionValue>> values;
        ASSERT_TRUE(worker_.Describe(*generation, *handle, options, &values).ok());
    }

    SaneTestEnv env_;
    std::atomic<int> failures_{0};
    SaneWorker worker_;
};

TEST_F(SaneWorkerTest, ListsOpensSetsAndReadsAFrame) {
    uint64_t generation = 0;
    uint32_t handle = 0;
    std::vector<DeviceOption> options;
    ASSERT_NO_FATAL_FAILURE(StartAndDescribeTester(&generation, &handle, &options));
    SANE_Int mode = -1;
    bool arrays = false;
    for (const DeviceOption& option : options) {
        if (option.name == "mode") mode = option.index;
        arrays = arrays || option.IsArray();
    }
    ASSERT_GT(mode, 0);
    EXPECT_TRUE(arrays);  // gamma tables are described (the option layer leaves them out)

    SANE_Int info = 0;
    EXPECT_TRUE(worker_.Set(generation, handle, mode, {{}, "Color"}, &info).ok());
    EXPECT_NE(info & SANE_INFO_RELOAD_PARAMS, 0);
    OptionValue value;
    ASSERT_TRUE(worker_.Get(generation, handle, mode, &value).ok());
    EXPECT_EQ(value.text, "Color");
    // A string longer than the option's size never reaches the backend.
    EXPECT_EQ(worker_.Set(generation, handle, mode, {{}, std::string(300, 'x')}, &info).status,
              SANE_STATUS_INVAL);

    SANE_Parameters parameters{};
    ASSERT_TRUE(worker_.Start(generation, handle, &parameters).ok());
    EXPECT_EQ(parameters.format, SANE_FRAME_RGB);
    std::vector<uint8_t> data;
    WorkerReply read;
    do {
        read = worker_.Read(generation, handle, 4096, &data);
    } while (read.ok());
    EXPECT_EQ(read.status, SANE_STATUS_EOF);
    EXPECT_EQ(data.size(), static_cast<size_t>(parameters.bytes_per_line) *
                               static_cast<size_t>(parameters.lines));
    EXPECT_TRUE(worker_.Cancel(generation, handle).ok());
    EXPECT_TRUE(worker_.Close(generation, handle).ok());
    EXPECT_EQ(failures_, 0);
}

// Sixteen-bit frames come through whole, in host byte order (scanimage
// writes the same samples big-endian).
TEST_F(SaneWorkerTest, SixteenBitFramesMatchScanimage) {
    uint64_t generation = 0;
    uint32_t handle = 0;
    std::vector<DeviceOption> options;
    ASSERT_NO_FATAL_FAILURE(StartAndDescribeTester(&generation, &handle, &options));
    auto set = [&](const std::string& name, const OptionValue& value) {
        for (const DeviceOption& option : options) {
            SANE_Int info = 0;
            if (option.name == name)
                return worker_.Set(generation, handle, option.index, value, &info).ok();
        }
        return false;
    };
    ASSERT_TRUE(set("mode", {{}, "Color"}));
    ASSERT_TRUE(set("depth", {{16}, {}}));
    ASSERT_TRUE(set("test-picture", {{}, "Color pattern"}));

    SANE_Parameters parameters{};
    ASSERT_TRUE(worker_.Start(generation, handle, &parameters).ok());
    EXPECT_EQ(parameters.depth, 16);
    std::vector<uint8_t> data;
    while (worker_.Read(generation, handle, kMaxReadChunk, &data).ok()) {
    }
    Pnm expected;
    ASSERT_TRUE(
        ParsePnm(env_.ScanImage("-d test:0 --mode Color --depth 16 --test-picture 'Color pattern'"),
                 &expected));
    EXPECT_EQ(expected.maxValue, 65535);
    EXPECT_EQ(parameters.pixels_per_line, expected.width);
    ASSERT_EQ(data.size(), expected.pixels.size());
    for (size_t i = 0; i + 1 < data.size(); i += 2)
        std::swap(data[i], data[i + 1]);
    EXPECT_TRUE(std::string(data.begin(), data.end()) == expected.pixels);
}

TEST_F(SaneWorkerTest, CrashOrHangKillsTheWorkerAndOldHandlesStayDead) {
    ASSERT_TRUE(worker_.Start(std::chrono::seconds(1)));
    struct Case {
        const char* cue;
        WorkerFault fault;
    };
    for (Case c :
         {Case{"abort-read", WorkerFault::kDied}, Case{"sleep-read", WorkerFault::kTimeout}}) {
        env_.Cue("");
        ASSERT_TRUE(worker_.Start(std::chrono::seconds(1)));
        uint64_t generation = worker_.generation();
        uint32_t handle = OpenDevice("Model C");
        SANE_Parameters parameters{};
        ASSERT_TRUE(worker_.Start(generation, handle, &parameters).ok());
        env_.Cue(c.cue);
        int before = failures_;
        std::vector<uint8_t> data;
        EXPECT_EQ(worker_.Read(generation, handle, 4096, &data).fault, c.fault) << c.cue;
        EXPECT_EQ(failures_, before + 1);
        EXPECT_FALSE(worker_.Running());

        env_.Cue("");
        ASSERT_TRUE(worker_.Start(std::chrono::seconds(1)));
        EXPECT_NE(worker_.generation(), generation);
        // The handle belonged to the dead worker: refused without asking the new one.
        EXPECT_EQ(worker_.Start(generation, handle, &parameters).fault, WorkerFault::kDied);
        EXPECT_TRUE(worker_.Running());
        EXPECT_FALSE(FindSaneName("Model C").empty());
    }
}

}  // namespace

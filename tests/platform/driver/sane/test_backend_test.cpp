// The option map and page processing against SANE's own `test` backend,
// loaded in-process through libsane from a private configuration folder.
#include <gtest/gtest.h>

#include <memory>

#include "platform/driver/sane/libsane_calls.h"
#include "platform/driver/sane/libsane_port.h"
#include "platform/driver/sane/page_processing.h"
#include "platform/driver/sane/sane_option_map.h"
#include "platform/driver/virtual_options.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

// libsane reads SANE_CONFIG_DIR once per process, so the whole suite shares
// one configuration folder and one initialisation; every test opens the
// device afresh, at the backend's defaults.
class TestBackend : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder = new TempDir;
        WriteFile(folder->File("dll.conf"), "test\n");
        WriteFile(folder->File("test.conf"), "enable-test-options true\n");
        configDir = new ScopedEnv("SANE_CONFIG_DIR", folder->path());
        initialised = libsane::Init();
    }
    static void TearDownTestSuite() {
        if (initialised) libsane::Exit();
        delete configDir;
        delete folder;
    }
    void SetUp() override {
        ASSERT_TRUE(initialised);
        port = LibSanePort::Open("test:0");
        ASSERT_NE(port, nullptr);
        ASSERT_EQ(map.Load(*port), SANE_STATUS_GOOD);
    }

    SANE_Int DeviceIndex(const std::string& name) {
        std::vector<DeviceOption> options;
        EXPECT_EQ(port->Describe(&options), SANE_STATUS_GOOD);
        for (const DeviceOption& option : options)
            if (option.name == name) return option.index;
        ADD_FAILURE() << "no option " << name;
        return 0;
    }
    OptionValue Device(const std::string& name) {
        OptionValue value;
        EXPECT_EQ(port->Get(DeviceIndex(name), &value), SANE_STATUS_GOOD);
        return value;
    }
    SANE_Int Numbered(const std::string& name) {
        for (SANE_Int option = kVirtualOptionCount + 1; map.Descriptor(option); ++option)
            if (name == map.Descriptor(option)->name) return option;
        return -1;
    }
    SANE_Status Set(SANE_Int option, const void* value, SANE_Int* info = nullptr) {
        return map.Control(*port, option, SANE_ACTION_SET_VALUE, const_cast<void*>(value), info);
    }
    SANE_Status SetWord(SANE_Int option, SANE_Word word) { return Set(option, &word); }

    static inline TempDir* folder = nullptr;
    static inline ScopedEnv* configDir = nullptr;
    static inline bool initialised = false;
    std::unique_ptr<LibSanePort> port;
    SaneOptionMap map;
};

TEST_F(TestBackend, MappedOptionsReachTheBackend) {
    EXPECT_EQ(Numbered("mode"), -1);
    EXPECT_EQ(Numbered("depth"), -1);  // black and white is Gray at depth 1 here
    EXPECT_EQ(Numbered("gamma-table"), -1);
    EXPECT_NE(Numbered("test-picture"), -1);

    ASSERT_EQ(Set(kOptionColorMode, "黑白"), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(kOptionResolution, 300), SANE_STATUS_GOOD);
    ASSERT_EQ(Set(kOptionFeedMode, "扫描指定张数"), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(kOptionSheetCount, 2), SANE_STATUS_GOOD);
    SaneScanSettings settings;
    ASSERT_EQ(map.PrepareScan(*port, &settings), SANE_STATUS_GOOD);
    EXPECT_EQ(Device("mode").text, "Gray");
    EXPECT_EQ(Device("depth").words, std::vector<SANE_Word>{1});
    EXPECT_EQ(Device("resolution").words, std::vector<SANE_Word>{SANE_FIX(300)});
    EXPECT_EQ(Device("source").text, "Automatic Document Feeder");
    EXPECT_EQ(Device("br-x").words, std::vector<SANE_Word>{SANE_FIX(200)});
    EXPECT_EQ(Device("br-y").words, std::vector<SANE_Word>{SANE_FIX(200)});
    EXPECT_TRUE(settings.feeder);
    EXPECT_EQ(settings.sheetLimit, 2);
    EXPECT_TRUE(settings.blackWhite);

    ASSERT_EQ(Set(kOptionColorMode, "256级灰度"), SANE_STATUS_GOOD);
    ASSERT_EQ(map.PrepareScan(*port, &settings), SANE_STATUS_GOOD);
    EXPECT_EQ(Device("depth").words, std::vector<SANE_Word>{8});
}

TEST_F(TestBackend, RefusesWhatTheBackendWouldRoundAndLeavesArraysAlone) {
    std::vector<SANE_Word> gammaBefore;
    ASSERT_EQ(port->GetWhole(DeviceIndex("gamma-table"), &gammaBefore), SANE_STATUS_GOOD);

    EXPECT_EQ(SetWord(Numbered("int-constraint-range"), 5), SANE_STATUS_INVAL);
    EXPECT_EQ(SetWord(Numbered("int-constraint-range"), 200), SANE_STATUS_INVAL);
    EXPECT_EQ(Device("int-constraint-range").words, std::vector<SANE_Word>{26});
    EXPECT_EQ(SetWord(kOptionResolution, 1000), SANE_STATUS_INVAL);

    SANE_Int stringOption = Numbered("string");
    ASSERT_NE(stringOption, -1);
    auto size = static_cast<size_t>(map.Descriptor(stringOption)->size);
    std::string tooLong(size, 'x');
    tooLong.push_back('\0');
    EXPECT_EQ(Set(stringOption, tooLong.c_str()), SANE_STATUS_INVAL);
    std::string fits(size - 1, 'y');
    EXPECT_EQ(Set(stringOption, fits.c_str()), SANE_STATUS_GOOD);
    EXPECT_EQ(Device("string").text, fits);

    SANE_Int info = 0;
    SANE_Word yes = SANE_TRUE;
    ASSERT_EQ(Set(Numbered("read-limit"), &yes, &info), SANE_STATUS_GOOD);
    EXPECT_NE(info & SANE_INFO_RELOAD_OPTIONS, 0);
    ASSERT_EQ(SetWord(Numbered("read-limit-size"), 64), SANE_STATUS_GOOD);
    SaneScanSettings settings;
    ASSERT_EQ(map.PrepareScan(*port, &settings), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(kOptionRestoreDefaults, 0), SANE_STATUS_GOOD);
    EXPECT_EQ(Device("read-limit").words, std::vector<SANE_Word>{SANE_FALSE});
    EXPECT_EQ(Numbered("read-limit-size"), -1);

    std::vector<SANE_Word> gammaAfter;
    ASSERT_EQ(port->GetWhole(DeviceIndex("gamma-table"), &gammaAfter), SANE_STATUS_GOOD);
    EXPECT_EQ(gammaAfter, gammaBefore);
}

SanePage PageOf(const libsane::Frame& frame, int resolution) {
    SanePage page;
    page.parameters.format = static_cast<SANE_Frame>(frame.format);
    page.parameters.depth = frame.depth;
    page.parameters.pixels_per_line = frame.pixelsPerLine;
    page.parameters.bytes_per_line = frame.bytesPerLine;
    page.parameters.lines = frame.lines;
    page.parameters.last_frame = SANE_TRUE;
    page.resolution = resolution;
    page.data = frame.data;
    return page;
}

TEST_F(TestBackend, SixteenBitPagesMatchTheBackendsOwnEightBitScan) {
    ASSERT_EQ(Set(Numbered("test-picture"), "Grid"), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(kOptionResolution, 75), SANE_STATUS_GOOD);
    SaneScanSettings settings;
    ASSERT_EQ(map.PrepareScan(*port, &settings), SANE_STATUS_GOOD);
    settings.denoise = false;

    libsane::Frame eight;
    ASSERT_EQ(libsane::ScanFrame(port->handle(), &eight), SANE_STATUS_GOOD);
    ASSERT_EQ(eight.depth, 8);
    SANE_Int info = 0;
    ASSERT_EQ(port->Set(DeviceIndex("depth"), OptionValue{{16}, {}}, &info), SANE_STATUS_GOOD);
    libsane::Frame sixteen;
    ASSERT_EQ(libsane::ScanFrame(port->handle(), &sixteen), SANE_STATUS_GOOD);
    ASSERT_EQ(sixteen.depth, 16);

    std::vector<SanePage> out;
    ASSERT_EQ(ProcessSanePage(PageOf(sixteen, 75), settings, &out), SANE_STATUS_GOOD);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].parameters.format, SANE_FRAME_RGB);
    EXPECT_EQ(out[0].parameters.depth, 8);
    EXPECT_EQ(out[0].parameters.pixels_per_line, eight.pixelsPerLine);
    EXPECT_EQ(out[0].data, eight.data);
}

}  // namespace

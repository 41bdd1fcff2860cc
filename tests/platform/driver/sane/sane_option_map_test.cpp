#include "platform/driver/sane/sane_option_map.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>

#include "platform/driver/sane/scripted_device.h"
#include "platform/driver/virtual_options.h"

namespace {

using Maker = std::function<void(ScriptedDevice*)>;

std::vector<std::string> Entries(const SANE_Option_Descriptor* descriptor) {
    std::vector<std::string> entries;
    for (const SANE_String_Const* entry = descriptor->constraint.string_list; *entry; ++entry)
        entries.emplace_back(*entry);
    return entries;
}

std::vector<SANE_Word> WordEntries(const SANE_Option_Descriptor* descriptor) {
    const SANE_Word* list = descriptor->constraint.word_list;
    return std::vector<SANE_Word>(list + 1, list + 1 + list[0]);
}

class OptionMapTest : public ::testing::Test {
  public:
    void Open(const Maker& make) {
        make(&device);
        ASSERT_EQ(map.Load(device), SANE_STATUS_GOOD);
    }

    std::string Text(SANE_Int option) {
        char text[256] = {};
        EXPECT_EQ(map.Control(device, option, SANE_ACTION_GET_VALUE, text, nullptr),
                  SANE_STATUS_GOOD);
        return text;
    }
    SANE_Word Word(SANE_Int option) {
        SANE_Word word = -12345;
        EXPECT_EQ(map.Control(device, option, SANE_ACTION_GET_VALUE, &word, nullptr),
                  SANE_STATUS_GOOD);
        return word;
    }
    SANE_Status SetText(SANE_Int option, std::string text, SANE_Int* info = nullptr) {
        text.resize(map.Descriptor(option)->size + 8, '\0');  // room past the option's size
        return map.Control(device, option, SANE_ACTION_SET_VALUE, text.data(), info);
    }
    SANE_Status SetWord(SANE_Int option, SANE_Word word, SANE_Int* info = nullptr) {
        return map.Control(device, option, SANE_ACTION_SET_VALUE, &word, info);
    }
    // The number of the device option called name in the "设备选项" group, or -1.
    SANE_Int Numbered(const std::string& name) {
        for (SANE_Int option = kVirtualOptionCount + 1; map.Descriptor(option); ++option)
            if (name == map.Descriptor(option)->name) return option;
        return -1;
    }

    ScriptedDevice device;
    SaneOptionMap map;
};

struct OfferedCase {
    const char* device;
    Maker make;
    std::vector<std::string> modes;
    std::vector<std::string> sides;
    std::vector<std::string> papers;
    std::vector<SANE_Word> resolutions;
    SANE_Word defaultResolution;
    std::vector<std::string> deviceGroup;
};

TEST_F(OptionMapTest, EveryDeviceShowsThePageFacingSetNarrowedToWhatItOffers) {
    const std::vector<std::string> all = {"单面", "双面", "跳过空白页（通用）",
                                          "跳过空白页（发票纸）"};
    const std::vector<std::string> noDuplex = {"单面", "跳过空白页（通用）",
                                               "跳过空白页（发票纸）"};
    const std::vector<std::string> allModes = {"24位彩色", "256级灰度", "黑白", "颜色自动识别"};
    const std::vector<OfferedCase> cases = {
        {"test backend",
         MakeTestBackendLike,
         allModes,
         noDuplex,
         {"匹配原始尺寸"},
         {75, 100, 150, 200, 240, 300, 400, 600, 1200},
         200,
         {"test-picture", "read-limit", "int-constraint-range", "fixed-constraint-word-list",
          "string"}},
        {"flatbed",
         MakeFlatbed,
         allModes,
         noDuplex,
         {"匹配原始尺寸", "A4", "A5", "B5", "Letter"},
         {75, 150, 300, 600, 1200},
         150,
         {"lamp"}},
        {"feeder",
         MakeFeederDuplex,
         allModes,
         all,
         {"匹配原始尺寸", "A4", "A5", "B5", "Letter"},
         {75, 100, 150, 200, 240, 300, 400, 600},
         200,
         {"sleep-time"}},
    };
    for (const OfferedCase& c : cases) {
        SCOPED_TRACE(c.device);
        ScriptedDevice device;
        SaneOptionMap map;
        c.make(&device);
        ASSERT_EQ(map.Load(device), SANE_STATUS_GOOD);
        for (SANE_Int option = 1; option < kVirtualOptionCount; ++option)
            EXPECT_STREQ(map.Descriptor(option)->title, VirtualOptionDescriptor(option)->title);
        EXPECT_EQ(Entries(map.Descriptor(kOptionColorMode)), c.modes);
        EXPECT_EQ(Entries(map.Descriptor(kOptionPageSide)), c.sides);
        EXPECT_EQ(Entries(map.Descriptor(kOptionPaperSize)), c.papers);
        EXPECT_EQ(WordEntries(map.Descriptor(kOptionResolution)), c.resolutions);
        SANE_Word resolution = 0;
        map.Control(device, kOptionResolution, SANE_ACTION_GET_VALUE, &resolution, nullptr);
        EXPECT_EQ(resolution, c.defaultResolution);

        EXPECT_STREQ(map.Descriptor(kVirtualOptionCount)->title, "设备选项");
        std::vector<std::string> group;
        for (SANE_Int option = kVirtualOptionCount + 1; map.Descriptor(option); ++option)
            group.emplace_back(map.Descriptor(option)->name);
        EXPECT_EQ(group, c.deviceGroup);
        SANE_Int count = 0;
        map.Control(device, kOptionCount, SANE_ACTION_GET_VALUE, &count, nullptr);
        EXPECT_EQ(count, kVirtualOptionCount + 1 + static_cast<SANE_Int>(c.deviceGroup.size()));
        EXPECT_EQ(map.Descriptor(count), nullptr);
    }
}

TEST_F(OptionMapTest, DeviceOptionsKeepTheirOwnTitleAndConstraint) {
    Open(MakeTestBackendLike);
    const SANE_Option_Descriptor* range = map.Descriptor(Numbered("int-constraint-range"));
    EXPECT_STREQ(range->title, "int-constraint-range title");
    EXPECT_EQ(range->unit, SANE_UNIT_PIXEL);
    ASSERT_EQ(range->constraint_type, SANE_CONSTRAINT_RANGE);
    EXPECT_EQ(range->constraint.range->quant, 2);
    EXPECT_EQ(Entries(map.Descriptor(Numbered("test-picture"))).size(), 4u);
    EXPECT_EQ(Word(Numbered("int-constraint-range")), 26);
    EXPECT_EQ(Text(Numbered("string")), "fifteen chars!!");
}

struct RefusedCase {
    const char* what;
    std::function<SANE_Status(OptionMapTest&)> set;
};

TEST_F(OptionMapTest, OutOfConstraintValuesAreRefusedAndNeverReachTheDevice) {
    Open(MakeTestBackendLike);
    auto page = [](SANE_Int option, SANE_Word word) {
        return [=](OptionMapTest& t) { return t.SetWord(option, word); };
    };
    auto pageText = [](SANE_Int option, const char* text) {
        return [=](OptionMapTest& t) { return t.SetText(option, text); };
    };
    auto own = [](const char* name, SANE_Word word) {
        return [=](OptionMapTest& t) { return t.SetWord(t.Numbered(name), word); };
    };
    auto ownText = [](const char* name, std::string text) {
        return [=](OptionMapTest& t) { return t.SetText(t.Numbered(name), text); };
    };
    const std::vector<RefusedCase> cases = {
        {"resolution not offered", page(kOptionResolution, 250)},
        {"brightness above range", page(kOptionBrightness, 101)},
        {"gamma above range", page(kOptionGamma, SANE_FIX(4.5))},
        {"bool neither true nor false", page(kOptionSplit, 2)},
        {"duplex without a duplex source", pageText(kOptionPageSide, "双面")},
        {"paper bigger than the glass", pageText(kOptionPaperSize, "A4")},
        {"mode text not an entry", pageText(kOptionColorMode, "Color")},
        {"count is read-only", page(kOptionCount, 3)},
        {"int off its step", own("int-constraint-range", 5)},
        {"int above range", own("int-constraint-range", 194)},
        {"int below range", own("int-constraint-range", 2)},
        {"fixed not in word list", own("fixed-constraint-word-list", SANE_FIX(43))},
        {"string not in list", ownText("test-picture", "Gray")},
        {"string without room for its NUL", ownText("string", "sixteen chars!!!")},
    };
    std::vector<std::string> before = map.Values();
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.set(*this), SANE_STATUS_INVAL);
    }
    EXPECT_TRUE(device.sets.empty());
    EXPECT_EQ(map.Values(), before);
    EXPECT_EQ(Word(Numbered("int-constraint-range")), 26);

    // The values at the edges of the constraints are taken.
    EXPECT_EQ(SetWord(Numbered("int-constraint-range"), 192), SANE_STATUS_GOOD);
    EXPECT_EQ(SetText(Numbered("string"), "fifteen chars.."), SANE_STATUS_GOOD);
    EXPECT_EQ(SetWord(Numbered("fixed-constraint-word-list"), SANE_FIX(129.5)), SANE_STATUS_GOOD);
    EXPECT_EQ(device.Word("int-constraint-range"), 192);
    EXPECT_EQ(device.Value("string").text, "fifteen chars..");
    EXPECT_EQ(SetWord(kOptionBrightness, -100), SANE_STATUS_GOOD);
    EXPECT_EQ(SetText(kOptionColorMode, "黑白"), SANE_STATUS_GOOD);
    EXPECT_EQ(Text(kOptionColorMode), "黑白");
}

TEST_F(OptionMapTest, ADeviceReloadChangesOnlyTheDeviceGroup) {
    Open(MakeTestBackendLike);
    EXPECT_EQ(Numbered("read-limit-size"), -1);
    SANE_Int info = 0;
    ASSERT_EQ(SetWord(Numbered("read-limit"), SANE_TRUE, &info), SANE_STATUS_GOOD);
    EXPECT_NE(info & SANE_INFO_RELOAD_OPTIONS, 0);
    EXPECT_NE(Numbered("read-limit-size"), -1);
    EXPECT_STREQ(map.Descriptor(kOptionResolution)->title, "分辨率");
    EXPECT_EQ(SetWord(Numbered("read-limit-size"), 4096), SANE_STATUS_GOOD);
    EXPECT_EQ(device.Word("read-limit-size"), 4096);
}

TEST_F(OptionMapTest, RestoreDefaultsResetsPageValuesAndTheDevicesOwn) {
    Open(MakeTestBackendLike);
    ASSERT_EQ(SetWord(kOptionResolution, 600), SANE_STATUS_GOOD);
    ASSERT_EQ(SetText(kOptionColorMode, "黑白"), SANE_STATUS_GOOD);
    ASSERT_EQ(SetText(Numbered("test-picture"), "Grid"), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(Numbered("read-limit"), SANE_TRUE), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(Numbered("read-limit-size"), 512), SANE_STATUS_GOOD);

    SANE_Int info = 0;
    ASSERT_EQ(SetWord(kOptionRestoreDefaults, 0, &info), SANE_STATUS_GOOD);
    EXPECT_EQ(info, SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS);
    EXPECT_EQ(Word(kOptionResolution), 200);
    EXPECT_EQ(Text(kOptionColorMode), "24位彩色");
    EXPECT_EQ(device.Value("test-picture").text, "Solid black");
    EXPECT_EQ(device.Word("read-limit"), SANE_FALSE);
    EXPECT_EQ(Numbered("read-limit-size"), -1);
    EXPECT_EQ(device.Value("gamma-table").words, std::vector<SANE_Word>(256, 7));
}

TEST_F(OptionMapTest, ValuesComeBackOnTheNextOpenWhereTheDeviceOffersThem) {
    Open(MakeFlatbed);
    ASSERT_EQ(SetWord(kOptionResolution, 600), SANE_STATUS_GOOD);
    ASSERT_EQ(SetText(kOptionPaperSize, "A4"), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(kOptionGamma, SANE_FIX(2.3)), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(kOptionBwDenoise, SANE_FALSE), SANE_STATUS_GOOD);
    std::vector<std::string> kept = map.Values();
    ASSERT_EQ(kept.size(), static_cast<size_t>(kVirtualOptionCount - 1));

    ScriptedDevice feeder;
    MakeFeederDuplex(&feeder);
    SaneOptionMap reopened;
    reopened.Restore(kept);  // before the open's Load, as the driver may do
    ASSERT_EQ(reopened.Load(feeder), SANE_STATUS_GOOD);
    EXPECT_EQ(reopened.Values(), kept);

    ScriptedDevice small;
    MakeTestBackendLike(&small);
    SaneOptionMap other;
    ASSERT_EQ(other.Load(small), SANE_STATUS_GOOD);
    other.Restore(kept);
    std::vector<std::string> restored = other.Values();
    EXPECT_EQ(restored[kOptionPaperSize - 1], "匹配原始尺寸");  // A4 is bigger than its glass
    EXPECT_EQ(restored[kOptionResolution - 1], "600");
    EXPECT_EQ(restored[kOptionGamma - 1], kept[kOptionGamma - 1]);
    EXPECT_EQ(restored[kOptionBwDenoise - 1], "0");
}

// Opens a device made by make with the page-facing values given (as
// Values() texts by option number).
void OpenWithValues(const Maker& make, const std::map<SANE_Int, std::string>& page,
                    ScriptedDevice* device, SaneOptionMap* map) {
    make(device);
    ASSERT_EQ(map->Load(*device), SANE_STATUS_GOOD);
    std::vector<std::string> values = map->Values();
    for (const auto& [option, text] : page)
        values[option - 1] = text;
    map->Restore(values);
    ASSERT_EQ(map->Values(), values);
}

struct PrepareCase {
    const char* what;
    Maker make;
    std::map<SANE_Int, std::string> page;  // page-facing values as Values() texts
    std::map<std::string, OptionValue> expected;
    bool feeder;
    bool duplex;
    int sheetLimit;
    bool blackWhite;
    bool skipBlank;
    bool softwareBrightness;
};

TEST_F(OptionMapTest, PrepareScanSetsTheDeviceByMeaning) {
    const std::vector<PrepareCase> cases = {
        {"black and white as Gray at depth 1, whole fixed-point area, feeder until empty",
         MakeTestBackendLike,
         {{kOptionColorMode, "黑白"}},
         {{"mode", TextValue("Gray")},
          {"depth", Words(1)},
          {"resolution", Words(SANE_FIX(200))},
          {"source", TextValue("Automatic Document Feeder")},
          {"tl-x", Words(0)},
          {"tl-y", Words(0)},
          {"br-x", Words(SANE_FIX(200))},
          {"br-y", Words(SANE_FIX(200))}},
         true,
         false,
         0,
         true,
         false,
         true},
        {"colour at depth 8, counted sheets",
         MakeTestBackendLike,
         {{kOptionFeedMode, "扫描指定张数"}, {kOptionSheetCount, "3"}, {kOptionResolution, "75"}},
         {{"mode", TextValue("Color")}, {"depth", Words(8)}, {"resolution", Words(SANE_FIX(75))}},
         true,
         false,
         3,
         false,
         false,
         true},
        {"line art, A4 in mm, brightness scaled about the device's own",
         MakeFlatbed,
         {{kOptionColorMode, "黑白"},
          {kOptionResolution, "300"},
          {kOptionPaperSize, "A4"},
          {kOptionBrightness, "50"}},
         {{"mode", TextValue("Lineart")},
          {"resolution", Words(300)},
          {"br-x", Words(210)},
          {"br-y", Words(297)},
          {"brightness", Words(177)}},
         false,
         false,
         1,
         true,
         false,
         false},
        {"flatbed scans the count even when continuous; darkest brightness",
         MakeFlatbed,
         {{kOptionSheetCount, "4"}, {kOptionBrightness, "-100"}},
         {{"mode", TextValue("Color")},
          {"br-x", Words(216)},
          {"br-y", Words(297)},
          {"brightness", Words(0)}},
         false,
         false,
         4,
         false,
         false,
         false},
        {"duplex, A4 in pixels at the new resolution",
         MakeFeederDuplex,
         {{kOptionPageSide, "双面"},
          {kOptionResolution, "300"},
          {kOptionColorMode, "256级灰度"},
          {kOptionPaperSize, "A4"}},
         {{"source", TextValue("ADF Duplex")},
          {"mode", TextValue("Gray")},
          {"resolution", Words(300)},
          {"page-width", Words(2480)},
          {"page-height", Words(3508)},
          {"tl-x", Words(0)},
          {"br-x", Words(2480)},
          {"br-y", Words(3508)}},
         true,
         true,
         0,
         false,
         false,
         true},
        {"skipping blank pages scans both sides",
         MakeFeederDuplex,
         {{kOptionPageSide, "跳过空白页（通用）"}, {kOptionColorMode, "黑白"}},
         {{"source", TextValue("ADF Duplex")}, {"mode", TextValue("Binary")}},
         true,
         true,
         0,
         true,
         true,
         true},
    };
    for (const PrepareCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDevice device;
        SaneOptionMap map;
        ASSERT_NO_FATAL_FAILURE(OpenWithValues(c.make, c.page, &device, &map));

        SaneScanSettings settings;
        ASSERT_EQ(map.PrepareScan(device, &settings), SANE_STATUS_GOOD);
        for (const auto& [name, value] : c.expected) {
            SCOPED_TRACE(name);
            EXPECT_EQ(device.Value(name).words, value.words);
            EXPECT_EQ(device.Value(name).text, value.text);
        }
        EXPECT_EQ(settings.feeder, c.feeder);
        EXPECT_EQ(settings.duplex, c.duplex);
        EXPECT_EQ(settings.sheetLimit, c.sheetLimit);
        EXPECT_EQ(settings.blackWhite, c.blackWhite);
        EXPECT_EQ(settings.skipBlank, c.skipBlank);
        EXPECT_EQ(settings.softwareBrightness, c.softwareBrightness);
        EXPECT_EQ(settings.resolution, std::stoi(map.Values()[kOptionResolution - 1]));
    }
}

TEST_F(OptionMapTest, AComboDeviceFallsBackToItsFlatbedWithoutPullingDescriptors) {
    struct Case {
        const char* what;
        Maker make;
        const char* side;
        bool fallback;
    };
    for (const Case& c : {Case{"feeder and flatbed, one side", MakeTestBackendLike, "单面", true},
                          Case{"flatbed only", MakeFlatbed, "单面", false},
                          Case{"feeder only", MakeFeederDuplex, "单面", false},
                          Case{"two sides need the feeder", MakeFeederDuplex, "双面", false}}) {
        SCOPED_TRACE(c.what);
        ScriptedDevice device;
        SaneOptionMap map;
        ASSERT_NO_FATAL_FAILURE(OpenWithValues(c.make, {{kOptionPageSide, c.side}}, &device, &map));
        SaneScanSettings settings;
        ASSERT_EQ(map.PrepareScan(device, &settings), SANE_STATUS_GOOD);
        EXPECT_EQ(settings.flatbedFallback, c.fallback);
    }

    Open(MakeTestBackendLike);
    SaneScanSettings settings;
    ASSERT_EQ(map.PrepareScan(device, &settings), SANE_STATUS_GOOD);
    ASSERT_EQ(device.Value("source").text, "Automatic Document Feeder");
    // A reader on the service thread may hold a device descriptor while the
    // scan's thread prepares the flatbed.
    const SANE_Option_Descriptor* held = map.Descriptor(Numbered("string"));
    ASSERT_NE(held, nullptr);
    ASSERT_EQ(map.PrepareFlatbedScan(device, &settings), SANE_STATUS_GOOD);
    EXPECT_STREQ(held->name, "string");
    EXPECT_EQ(device.Value("source").text, "Flatbed");
    EXPECT_FALSE(settings.feeder);
    EXPECT_FALSE(settings.flatbedFallback);
    EXPECT_EQ(settings.sheetLimit, 1);
}

TEST_F(OptionMapTest, ADeviceThatStopsAnsweringFailsWithItsStatus) {
    Open(MakeFlatbed);
    ASSERT_EQ(SetText(Numbered("lamp"), "Off"), SANE_STATUS_GOOD);
    device.setStatus = SANE_STATUS_IO_ERROR;
    EXPECT_EQ(SetText(Numbered("lamp"), "Auto"), SANE_STATUS_IO_ERROR);
    EXPECT_EQ(SetWord(kOptionRestoreDefaults, 0), SANE_STATUS_IO_ERROR);
    SaneScanSettings settings;
    EXPECT_EQ(map.PrepareScan(device, &settings), SANE_STATUS_IO_ERROR);
}

TEST_F(OptionMapTest, PrepareScanSendsOnlyChangedValues) {
    Open(MakeFlatbed);
    SaneScanSettings settings;
    ASSERT_EQ(map.PrepareScan(device, &settings), SANE_STATUS_GOOD);
    device.sets.clear();
    ASSERT_EQ(map.PrepareScan(device, &settings), SANE_STATUS_GOOD);
    EXPECT_TRUE(device.sets.empty());
}

}  // namespace

// Reading, applying and resetting scanner options through a scripted option
// table that holds every value type and constraint the back end handles,
// including those the virtual scanner does not have.
#include "ver_2/device_options.h"

#include <gtest/gtest.h>

#include "fakes/scripted_options.h"

namespace ver_2 {
namespace {

const SANE_Word kDpiList[] = {3, 100, 200, 300};
const SANE_Word kFixedList[] = {2, SANE_FIX(0.5), SANE_FIX(1.5)};
const SANE_Range kIntRange = {-100, 100, 1};
const SANE_Range kFixedRange = {SANE_FIX(0.1), SANE_FIX(4.0), 0};
const SANE_String_Const kModes[] = {"Color", "Gray", nullptr};

using fakes::MakeOption;
using fakes::ScriptedOptions;

// The table every test starts from: each value type and constraint, options
// before the first group, a second group and the restore-defaults button.
ScriptedOptions StandardOptions() {
    ScriptedOptions options;
    options.table_ = {
        MakeOption("", SANE_TYPE_INT),           // 0: the count
        MakeOption("Before", SANE_TYPE_INT),     // 1: before any group, not listed
        MakeOption("  Basic", SANE_TYPE_GROUP),  // 2
        MakeOption(" 分辨率", SANE_TYPE_INT, SANE_CONSTRAINT_WORD_LIST, kDpiList),      // 3
        MakeOption("Brightness", SANE_TYPE_INT, SANE_CONSTRAINT_RANGE, &kIntRange),     // 4
        MakeOption("Count", SANE_TYPE_INT),                                             // 5
        MakeOption("Gamma", SANE_TYPE_FIXED, SANE_CONSTRAINT_RANGE, &kFixedRange),      // 6
        MakeOption("Zoom", SANE_TYPE_FIXED, SANE_CONSTRAINT_WORD_LIST, kFixedList),     // 7
        MakeOption("Offset", SANE_TYPE_FIXED),                                          // 8
        MakeOption("Mode", SANE_TYPE_STRING, SANE_CONSTRAINT_STRING_LIST, kModes, 32),  // 9
        MakeOption("Label", SANE_TYPE_STRING, SANE_CONSTRAINT_NONE, nullptr, 600),      // 10
        MakeOption("Duplex", SANE_TYPE_BOOL),                                           // 11
        MakeOption("Other", SANE_TYPE_GROUP),                                           // 12
        MakeOption("恢复默认设置", SANE_TYPE_BUTTON),                                   // 13
    };
    const std::pair<SANE_Int, SANE_Word> words[] = {
        {3, 200}, {4, -5}, {5, 7}, {6, SANE_FIX(1.5)}, {7, SANE_FIX(0.5)}, {8, 98304}, {11, 1}};
    for (const auto& [index, word] : words)
        options.SetWord(index, word);
    options.strings_ = {{9, "Color"}, {10, std::string(400, 'x')}};
    return options;
}

const DeviceParam* Find(const std::vector<DeviceParamGroup>& groups, const std::string& name) {
    for (const DeviceParamGroup& group : groups) {
        for (const DeviceParam& param : group.params) {
            if (param.name == name) return &param;
        }
    }
    return nullptr;
}

DeviceParam Entry(const std::string& name) {
    DeviceParam entry;
    entry.name = name;
    return entry;
}

TEST(DeviceOptions, ReadsEveryTypeAndConstraintUnderItsGroup) {
    ScriptedOptions options = StandardOptions();
    std::vector<DeviceParamGroup> groups;
    ASSERT_EQ(ReadDeviceParams(options, groups), 0);

    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].groupName, "Basic");
    EXPECT_EQ(groups[1].groupName, "Other");
    EXPECT_TRUE(groups[1].params.empty());  // the button is not listed
    EXPECT_EQ(Find(groups, "Before"), nullptr);
    ASSERT_EQ(groups[0].params.size(), 9u);

    const DeviceParam* dpi = Find(groups, "分辨率");
    ASSERT_NE(dpi, nullptr);
    EXPECT_EQ(dpi->valueType, "int");
    EXPECT_EQ(dpi->intValue, 200);
    EXPECT_EQ(dpi->rangeType, DeviceRangeType::kIntList);
    EXPECT_EQ(dpi->intValueList, (std::vector<int32_t>{100, 200, 300}));

    const DeviceParam* brightness = Find(groups, "Brightness");
    EXPECT_EQ(brightness->rangeType, DeviceRangeType::kIntRange);
    EXPECT_EQ(brightness->intValueMin, -100);
    EXPECT_EQ(brightness->intValueMax, 100);
    EXPECT_EQ(brightness->intValue, -5);
    EXPECT_EQ(Find(groups, "Count")->rangeType, DeviceRangeType::kNone);

    const DeviceParam* gamma = Find(groups, "Gamma");
    EXPECT_EQ(gamma->valueType, "double");
    EXPECT_DOUBLE_EQ(gamma->doubleValue, 1.5);
    EXPECT_EQ(gamma->rangeType, DeviceRangeType::kDoubleRange);
    EXPECT_NEAR(gamma->doubleValueMin, 0.1, 1e-4);
    EXPECT_DOUBLE_EQ(gamma->doubleValueMax, 4.0);
    const DeviceParam* zoom = Find(groups, "Zoom");
    EXPECT_EQ(zoom->rangeType, DeviceRangeType::kDoubleList);
    EXPECT_EQ(zoom->doubleValueList, (std::vector<double>{0.5, 1.5}));
    EXPECT_DOUBLE_EQ(Find(groups, "Offset")->doubleValue, 1.5);  // driver word 98304
    EXPECT_EQ(Find(groups, "Offset")->rangeType, DeviceRangeType::kNone);

    const DeviceParam* mode = Find(groups, "Mode");
    EXPECT_EQ(mode->valueType, "string");
    EXPECT_EQ(mode->stringValue, "Color");
    EXPECT_EQ(mode->rangeType, DeviceRangeType::kStringList);
    EXPECT_EQ(mode->stringValueList, (std::vector<std::string>{"Color", "Gray"}));
    // Without a list: still a string list, empty; long values are not cut.
    const DeviceParam* label = Find(groups, "Label");
    EXPECT_EQ(label->rangeType, DeviceRangeType::kStringList);
    EXPECT_TRUE(label->stringValueList.empty());
    EXPECT_EQ(label->stringValue, std::string(400, 'x'));

    const DeviceParam* duplex = Find(groups, "Duplex");
    EXPECT_EQ(duplex->valueType, "bool");
    EXPECT_TRUE(duplex->boolValue);
}

// An array option (a gamma table) is a whole table: listing its first word,
// storing it and writing it back to every word would flatten the table. It
// is never listed, and an entry naming it sets nothing.
TEST(DeviceOptions, ArrayOptionsAreNeverListedOrSet) {
    ScriptedOptions options = StandardOptions();
    SANE_Int gamma = options.Add(
        MakeOption("Gamma table", SANE_TYPE_INT, SANE_CONSTRAINT_NONE, nullptr, 4096 * 4));
    std::vector<SANE_Word> ramp(4096);
    for (SANE_Word i = 0; i < 4096; ++i)
        ramp[i] = i;
    options.SetWords(gamma, ramp);

    std::vector<DeviceParamGroup> groups;
    ASSERT_EQ(ReadDeviceParams(options, groups), 0);
    EXPECT_EQ(Find(groups, "Gamma table"), nullptr);

    DeviceParam table = Entry("Gamma table");
    table.intValue = 0;
    EXPECT_EQ(ApplyDeviceParams(options, {table}), -1);
    EXPECT_EQ(options.Words(gamma), ramp);
}

// A driver copies a string value up to its NUL into the option's storage, so
// a value that does not fit (the size counts the NUL) must never reach it.
TEST(DeviceOptions, StringsThatDoNotFitTheirOptionAreRefused) {
    struct Case {
        size_t length;
        int result;
    };
    for (Case c : {Case{96, 0}, Case{97, -1}, Case{150, -1}}) {
        ScriptedOptions options = StandardOptions();
        SANE_Int name = options.Add(
            MakeOption("Device name", SANE_TYPE_STRING, SANE_CONSTRAINT_NONE, nullptr, 97));
        options.strings_[name] = "old";
        DeviceParam entry = Entry("Device name");
        entry.stringValue = std::string(c.length, 'n');
        EXPECT_EQ(ApplyDeviceParams(options, {entry}), c.result) << c.length;
        EXPECT_FALSE(options.overflowed_) << c.length;
        EXPECT_EQ(options.strings_[name], c.result == 0 ? entry.stringValue : "old") << c.length;
    }
}

TEST(DeviceOptions, AppliesByTitleAndByTheOptionsOwnType) {
    ScriptedOptions options = StandardOptions();
    DeviceParam dpi = Entry("分辨率");  // matched after the driver's leading blank
    dpi.intValue = 300;
    DeviceParam gamma = Entry("Gamma");
    gamma.doubleValue = 0.5;
    DeviceParam negative = Entry("Offset");
    negative.doubleValue = -1.99999;  // truncated toward zero
    DeviceParam mode = Entry("Mode");
    mode.stringValue = "Gray";
    mode.intValue = 99;  // the option is a string: the int field is not used
    DeviceParam duplex = Entry("Duplex");
    duplex.boolValue = false;
    DeviceParam group = Entry("Other");  // a group title: nothing to set, no error

    EXPECT_EQ(ApplyDeviceParams(options, {dpi, gamma, negative, mode, duplex, group}), 0);
    EXPECT_EQ(options.Word(3), 300);
    EXPECT_EQ(options.Word(6), 32768);
    EXPECT_EQ(options.Word(8), -131071);
    EXPECT_EQ(options.strings_[9], "Gray");
    EXPECT_EQ(options.Word(11), 0);
}

TEST(DeviceOptions, PartialFailureStillAppliesTheOtherEntries) {
    ScriptedOptions options = StandardOptions();
    options.refused_.insert(4);
    DeviceParam refused = Entry("Brightness");
    refused.intValue = 500;
    DeviceParam unknown = Entry("No such option");
    DeviceParam count = Entry("Count");
    count.intValue = 9;
    EXPECT_EQ(ApplyDeviceParams(options, {refused, unknown, count}), -1);
    EXPECT_EQ(options.Word(4), -5);
    EXPECT_EQ(options.Word(5), 9);
    EXPECT_EQ(ApplyDeviceParams(options, {}), -1);
}

TEST(DeviceOptions, RestoreDefaultsNeedsTheButton) {
    ScriptedOptions options = StandardOptions();
    EXPECT_EQ(PressRestoreDefaults(options), 0);
    EXPECT_EQ(options.presses_, 1);
    options.refused_.insert(13);
    EXPECT_EQ(PressRestoreDefaults(options), -1);
    options.table_.pop_back();
    options.refused_.clear();
    EXPECT_EQ(PressRestoreDefaults(options), -1);
    EXPECT_EQ(options.presses_, 1);
}

TEST(DeviceOptions, ATableWithoutOptionsListsNothingAndAppliesNothing) {
    ScriptedOptions options = StandardOptions();
    options.table_.resize(1);
    std::vector<DeviceParamGroup> groups{{"stale", {}}};
    EXPECT_EQ(ReadDeviceParams(options, groups), 0);
    EXPECT_TRUE(groups.empty());
    DeviceParam count = Entry("Count");
    EXPECT_EQ(ApplyDeviceParams(options, {count}), -1);
}

}  // namespace
}  // namespace ver_2

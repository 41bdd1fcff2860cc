// Reading, applying and resetting scanner options through a scripted option
// table that holds every value type and constraint the back end handles,
// including those the virtual scanner does not have.
#include "ver_2/device_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace ver_2 {
namespace {

const SANE_Word kDpiList[] = {3, 100, 200, 300};
const SANE_Word kFixedList[] = {2, SANE_FIX(0.5), SANE_FIX(1.5)};
const SANE_Range kIntRange = {-100, 100, 1};
const SANE_Range kFixedRange = {SANE_FIX(0.1), SANE_FIX(4.0), 0};
const SANE_String_Const kModes[] = {"Color", "Gray", nullptr};

SANE_Option_Descriptor Make(const char* title, SANE_Value_Type type,
                            SANE_Constraint_Type constraint = SANE_CONSTRAINT_NONE,
                            const void* data = nullptr, SANE_Int size = 4) {
    SANE_Option_Descriptor d{};
    d.title = title;
    d.type = type;
    d.size = size;
    d.constraint_type = constraint;
    if (constraint == SANE_CONSTRAINT_RANGE)
        d.constraint.range = static_cast<const SANE_Range*>(data);
    if (constraint == SANE_CONSTRAINT_WORD_LIST)
        d.constraint.word_list = static_cast<const SANE_Word*>(data);
    if (constraint == SANE_CONSTRAINT_STRING_LIST)
        d.constraint.string_list = static_cast<const SANE_String_Const*>(data);
    return d;
}

// A scanner whose options are a fixed table; words and strings are kept per
// index, a set can be made to fail, and a button press is recorded.
class ScriptedOptions : public OptionSource {
  public:
    ScriptedOptions() {
        table_ = {
            Make("", SANE_TYPE_INT),           // 0: the count
            Make("Before", SANE_TYPE_INT),     // 1: before any group, not listed
            Make("  Basic", SANE_TYPE_GROUP),  // 2
            Make(" 分辨率", SANE_TYPE_INT, SANE_CONSTRAINT_WORD_LIST, kDpiList),      // 3
            Make("Brightness", SANE_TYPE_INT, SANE_CONSTRAINT_RANGE, &kIntRange),     // 4
            Make("Count", SANE_TYPE_INT),                                             // 5
            Make("Gamma", SANE_TYPE_FIXED, SANE_CONSTRAINT_RANGE, &kFixedRange),      // 6
            Make("Zoom", SANE_TYPE_FIXED, SANE_CONSTRAINT_WORD_LIST, kFixedList),     // 7
            Make("Offset", SANE_TYPE_FIXED),                                          // 8
            Make("Mode", SANE_TYPE_STRING, SANE_CONSTRAINT_STRING_LIST, kModes, 32),  // 9
            Make("Label", SANE_TYPE_STRING, SANE_CONSTRAINT_NONE, nullptr, 600),      // 10
            Make("Duplex", SANE_TYPE_BOOL),                                           // 11
            Make("Other", SANE_TYPE_GROUP),                                           // 12
            Make("恢复默认设置", SANE_TYPE_BUTTON),                                   // 13
        };
        words_ = {{3, 200},           {4, -5},    {5, 7}, {6, SANE_FIX(1.5)},
                  {7, SANE_FIX(0.5)}, {8, 98304}, {11, 1}};
        strings_ = {{9, "Color"}, {10, std::string(400, 'x')}};
    }

    const SANE_Option_Descriptor* Descriptor(SANE_Int index) override {
        if (index < 0 || index >= static_cast<SANE_Int>(table_.size())) return nullptr;
        return &table_[index];
    }

    SANE_Status Control(SANE_Int index, SANE_Action action, void* value) override {
        if (index == 0) {
            if (action != SANE_ACTION_GET_VALUE) return SANE_STATUS_INVAL;
            *static_cast<SANE_Word*>(value) = static_cast<SANE_Word>(table_.size());
            return SANE_STATUS_GOOD;
        }
        const SANE_Option_Descriptor* d = Descriptor(index);
        if (d == nullptr) return SANE_STATUS_INVAL;
        if (action == SANE_ACTION_GET_VALUE) {
            if (d->type == SANE_TYPE_STRING) {
                const std::string& text = strings_[index];
                std::memcpy(value, text.c_str(), text.size() + 1);
            } else {
                // Like a driver, the whole size: an array option fills every word.
                auto* words = static_cast<SANE_Word*>(value);
                std::fill(words, words + WordCount(*d), words_[index]);
            }
            return SANE_STATUS_GOOD;
        }
        if (refused_.count(index)) return SANE_STATUS_INVAL;
        if (d->type == SANE_TYPE_BUTTON) {
            ++presses_;
            return SANE_STATUS_GOOD;
        }
        if (d->type == SANE_TYPE_STRING) {
            strings_[index] = static_cast<const char*>(value);
        } else {
            const auto* words = static_cast<const SANE_Word*>(value);
            words_[index] = words[0];
            lastSet_.assign(words, words + WordCount(*d));
        }
        return SANE_STATUS_GOOD;
    }

    static size_t WordCount(const SANE_Option_Descriptor& d) { return d.size / sizeof(SANE_Word); }

    std::vector<SANE_Option_Descriptor> table_;
    std::map<SANE_Int, SANE_Word> words_;
    std::map<SANE_Int, std::string> strings_;
    std::set<SANE_Int> refused_;
    std::vector<SANE_Word> lastSet_;  // every word of the last word option set
    int presses_ = 0;
};

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
    ScriptedOptions options;
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

// A word option may be an array (a gamma table): the driver reads and writes
// all of it, the value listed and set is its first word, and a set gives
// every word that value.
TEST(DeviceOptions, ArrayOptionsAreReadAndSetWhole) {
    ScriptedOptions options;
    options.table_.push_back(
        Make("Gamma table", SANE_TYPE_INT, SANE_CONSTRAINT_NONE, nullptr, 256 * sizeof(SANE_Word)));
    SANE_Int index = static_cast<SANE_Int>(options.table_.size()) - 1;
    options.words_[index] = 42;
    std::vector<DeviceParamGroup> groups;
    ASSERT_EQ(ReadDeviceParams(options, groups), 0);
    ASSERT_NE(Find(groups, "Gamma table"), nullptr);
    EXPECT_EQ(Find(groups, "Gamma table")->intValue, 42);

    DeviceParam table = Entry("Gamma table");
    table.intValue = 7;
    EXPECT_EQ(ApplyDeviceParams(options, {table}), 0);
    EXPECT_EQ(options.lastSet_, std::vector<SANE_Word>(256, 7));
}

TEST(DeviceOptions, AppliesByTitleAndByTheOptionsOwnType) {
    ScriptedOptions options;
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
    EXPECT_EQ(options.words_[3], 300);
    EXPECT_EQ(options.words_[6], 32768);
    EXPECT_EQ(options.words_[8], -131071);
    EXPECT_EQ(options.strings_[9], "Gray");
    EXPECT_EQ(options.words_[11], 0);
}

TEST(DeviceOptions, PartialFailureStillAppliesTheOtherEntries) {
    ScriptedOptions options;
    options.refused_.insert(4);
    DeviceParam refused = Entry("Brightness");
    refused.intValue = 500;
    DeviceParam unknown = Entry("No such option");
    DeviceParam count = Entry("Count");
    count.intValue = 9;
    EXPECT_EQ(ApplyDeviceParams(options, {refused, unknown, count}), -1);
    EXPECT_EQ(options.words_[4], -5);
    EXPECT_EQ(options.words_[5], 9);
    EXPECT_EQ(ApplyDeviceParams(options, {}), -1);
}

TEST(DeviceOptions, RestoreDefaultsNeedsTheButton) {
    ScriptedOptions options;
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
    ScriptedOptions options;
    options.table_.resize(1);
    std::vector<DeviceParamGroup> groups{{"stale", {}}};
    EXPECT_EQ(ReadDeviceParams(options, groups), 0);
    EXPECT_TRUE(groups.empty());
    DeviceParam count = Entry("Count");
    EXPECT_EQ(ApplyDeviceParams(options, {count}), -1);
}

}  // namespace
}  // namespace ver_2

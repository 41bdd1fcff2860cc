#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/driver/driver_fixture.h"

namespace {

struct ExpectedOption {
    const char* title;
    SANE_Value_Type type;
    SANE_Constraint_Type constraint;
    std::vector<std::string> strings;  // string list
    std::vector<SANE_Word> words;      // word list, or {min, max} of a range
    std::string defaultText;           // string options
    SANE_Word defaultWord;             // other valued options
};

const std::vector<ExpectedOption>& Table() {
    static const std::vector<ExpectedOption> table = {
        {"基本设置", SANE_TYPE_GROUP, SANE_CONSTRAINT_NONE, {}, {}, "", 0},
        {"扫描张数",
         SANE_TYPE_STRING,
         SANE_CONSTRAINT_STRING_LIST,
         {"连续扫描", "扫描指定张数"},
         {},
         "连续扫描",
         0},
        {"扫描数量", SANE_TYPE_INT, SANE_CONSTRAINT_RANGE, {}, {1, 500}, "", 1},
        {"颜色模式",
         SANE_TYPE_STRING,
         SANE_CONSTRAINT_STRING_LIST,
         {"24位彩色", "256级灰度", "黑白", "颜色自动识别"},
         {},
         "24位彩色",
         0},
        {"分辨率",
         SANE_TYPE_INT,
         SANE_CONSTRAINT_WORD_LIST,
         {},
         {100, 150, 200, 240, 300, 400, 600},
         "",
         200},
        {"扫描页面",
         SANE_TYPE_STRING,
         SANE_CONSTRAINT_STRING_LIST,
         {"单面", "双面", "跳过空白页（通用）", "跳过空白页（发票纸）"},
         {},
         "单面",
         0},
        {"纸张尺寸",
         SANE_TYPE_STRING,
         SANE_CONSTRAINT_STRING_LIST,
         {"匹配原始尺寸", "A3", "A4", "A5", "B5", "Letter"},
         {},
         "匹配原始尺寸",
         0},
        {"文稿方向",
         SANE_TYPE_STRING,
         SANE_CONSTRAINT_STRING_LIST,
         {"0°", "90°", "180°", "-90°"},
         {},
         "0°",
         0},
        {"图像处理", SANE_TYPE_GROUP, SANE_CONSTRAINT_NONE, {}, {}, "", 0},
        {"亮度", SANE_TYPE_INT, SANE_CONSTRAINT_RANGE, {}, {-100, 100}, "", 0},
        {"伽马", SANE_TYPE_FIXED, SANE_CONSTRAINT_RANGE, {}, {6553, 262144}, "", 65536},
        {"图像拆分", SANE_TYPE_BOOL, SANE_CONSTRAINT_NONE, {}, {}, "", SANE_FALSE},
        {"黑白图像噪点优化", SANE_TYPE_BOOL, SANE_CONSTRAINT_NONE, {}, {}, "", SANE_TRUE},
        {"跳过空白页灵敏度", SANE_TYPE_INT, SANE_CONSTRAINT_RANGE, {}, {0, 100}, "", 5},
        {"  锐化", SANE_TYPE_BOOL, SANE_CONSTRAINT_NONE, {}, {}, "", SANE_FALSE},
        {"恢复默认设置", SANE_TYPE_BUTTON, SANE_CONSTRAINT_NONE, {}, {}, "", 0},
    };
    return table;
}

class OptionsTest : public DriverTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(InitDriver());
        handle_ = OpenScanner();
        ASSERT_NE(handle_, nullptr);
    }
    SANE_Handle handle_ = nullptr;
};

TEST_F(OptionsTest, TableHasEveryOptionWithItsTitleTypeConstraintSizeAndDefault) {
    SANE_Word count = 0;
    ASSERT_EQ(sane_qnsane_control_option(handle_, 0, SANE_ACTION_GET_VALUE, &count, nullptr), 0);
    EXPECT_EQ(count, 17);
    const SANE_Option_Descriptor* zero = sane_qnsane_get_option_descriptor(handle_, 0);
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(zero->type, SANE_TYPE_INT);
    EXPECT_EQ(sane_qnsane_get_option_descriptor(handle_, 17), nullptr);
    EXPECT_EQ(sane_qnsane_get_option_descriptor(handle_, -1), nullptr);

    for (size_t i = 0; i < Table().size(); ++i) {
        const ExpectedOption& expected = Table()[i];
        SCOPED_TRACE(expected.title);
        const SANE_Option_Descriptor* d =
            sane_qnsane_get_option_descriptor(handle_, static_cast<SANE_Int>(i + 1));
        ASSERT_NE(d, nullptr);
        EXPECT_STREQ(d->title, expected.title);
        EXPECT_EQ(d->type, expected.type);
        EXPECT_EQ(d->constraint_type, expected.constraint);
        if (expected.type == SANE_TYPE_STRING) {
            std::vector<std::string> listed;
            size_t longest = 0;
            for (const SANE_String_Const* s = d->constraint.string_list; *s != nullptr; ++s) {
                listed.push_back(*s);
                longest = std::max(longest, std::strlen(*s));
            }
            EXPECT_EQ(listed, expected.strings);
            EXPECT_EQ(d->size, static_cast<SANE_Int>(longest + 1));
            char value[256] = {};
            ASSERT_EQ(sane_qnsane_control_option(handle_, static_cast<SANE_Int>(i + 1),
                                                 SANE_ACTION_GET_VALUE, value, nullptr),
                      0);
            EXPECT_EQ(std::string(value), expected.defaultText);
        } else if (expected.type == SANE_TYPE_GROUP || expected.type == SANE_TYPE_BUTTON) {
            SANE_Word ignored = 0;
            EXPECT_NE(sane_qnsane_control_option(handle_, static_cast<SANE_Int>(i + 1),
                                                 SANE_ACTION_GET_VALUE, &ignored, nullptr),
                      0);
        } else {
            EXPECT_EQ(d->size, 4);
            if (expected.constraint == SANE_CONSTRAINT_RANGE) {
                EXPECT_EQ(d->constraint.range->min, expected.words[0]);
                EXPECT_EQ(d->constraint.range->max, expected.words[1]);
            } else if (expected.constraint == SANE_CONSTRAINT_WORD_LIST) {
                std::vector<SANE_Word> listed(
                    d->constraint.word_list + 1,
                    d->constraint.word_list + 1 + d->constraint.word_list[0]);
                EXPECT_EQ(listed, expected.words);
            }
            SANE_Word value = -1;
            ASSERT_EQ(sane_qnsane_control_option(handle_, static_cast<SANE_Int>(i + 1),
                                                 SANE_ACTION_GET_VALUE, &value, nullptr),
                      0);
            EXPECT_EQ(value, expected.defaultWord);
        }
    }
}

TEST_F(OptionsTest, ValuesInsideTheConstraintAreTakenOthersRefusedAndLeaveTheOption) {
    struct Case {
        const char* title;
        SANE_Word accepted;
        SANE_Word refused;
    };
    const Case words[] = {
        {"扫描数量", 500, 501},
        {"扫描数量", 1, 0},
        {"分辨率", 600, 250},
        {"亮度", -100, -101},
        {"亮度", 100, 101},
        {"伽马", SANE_FIX(4.0), SANE_FIX(4.0) + 1},
        {"伽马", SANE_FIX(0.1), SANE_FIX(0.1) - 1},
        {"图像拆分", SANE_TRUE, 2},
        {"跳过空白页灵敏度", 0, -1},
    };
    for (const Case& c : words) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(SetWord(handle_, c.title, c.accepted), SANE_STATUS_GOOD);
        EXPECT_NE(SetWord(handle_, c.title, c.refused), SANE_STATUS_GOOD);
        EXPECT_EQ(GetWord(handle_, c.title), c.accepted);
    }

    EXPECT_EQ(SetString(handle_, "颜色模式", "黑白"), SANE_STATUS_GOOD);
    for (const char* wrong : {"黑白 ", "black", "", "256级灰"}) {
        EXPECT_NE(SetString(handle_, "颜色模式", wrong), SANE_STATUS_GOOD) << wrong;
        EXPECT_EQ(GetString(handle_, "颜色模式"), "黑白");
    }

    SANE_Word count = 5;
    EXPECT_NE(sane_qnsane_control_option(handle_, 0, SANE_ACTION_SET_VALUE, &count, nullptr), 0);
    SANE_Word anything = 1;
    EXPECT_NE(sane_qnsane_control_option(handle_, FindOption(handle_, "基本设置"),
                                         SANE_ACTION_SET_VALUE, &anything, nullptr),
              0);
    EXPECT_NE(sane_qnsane_control_option(handle_, FindOption(handle_, "分辨率"),
                                         SANE_ACTION_SET_VALUE, nullptr, nullptr),
              0);
    EXPECT_NE(sane_qnsane_control_option(handle_, 17, SANE_ACTION_GET_VALUE, &anything, nullptr),
              0);
}

TEST_F(OptionsTest, StringSetReadsNoFurtherThanTheDescriptorSize) {
    const SANE_Option_Descriptor* d =
        sane_qnsane_get_option_descriptor(handle_, FindOption(handle_, "纸张尺寸"));
    // An unterminated buffer exactly the option's size: refused, never overread.
    std::vector<char> unterminated(static_cast<size_t>(d->size), 'A');
    EXPECT_NE(sane_qnsane_control_option(handle_, FindOption(handle_, "纸张尺寸"),
                                         SANE_ACTION_SET_VALUE, unterminated.data(), nullptr),
              0);
    EXPECT_EQ(GetString(handle_, "纸张尺寸"), "匹配原始尺寸");
}

TEST_F(OptionsTest, ButtonRestoresEveryDefault) {
    ASSERT_EQ(SetString(handle_, "扫描页面", "双面"), 0);
    ASSERT_EQ(SetString(handle_, "文稿方向", "-90°"), 0);
    ASSERT_EQ(SetWord(handle_, "分辨率", 300), 0);
    ASSERT_EQ(SetWord(handle_, "伽马", SANE_FIX(2.5)), 0);
    ASSERT_EQ(SetWord(handle_, "黑白图像噪点优化", SANE_FALSE), 0);

    SANE_Int info = 0;
    ASSERT_EQ(sane_qnsane_control_option(handle_, FindOption(handle_, "恢复默认设置"),
                                         SANE_ACTION_SET_VALUE, nullptr, &info),
              0);
    EXPECT_NE(info & SANE_INFO_RELOAD_OPTIONS, 0);
    EXPECT_EQ(GetString(handle_, "扫描页面"), "单面");
    EXPECT_EQ(GetString(handle_, "文稿方向"), "0°");
    EXPECT_EQ(GetWord(handle_, "分辨率"), 200);
    EXPECT_EQ(GetWord(handle_, "伽马"), SANE_FIX(1.0));
    EXPECT_EQ(GetWord(handle_, "黑白图像噪点优化"), SANE_TRUE);
}

TEST_F(OptionsTest, ValuesBelongToTheScannerNameAndLastUntilExit) {
    sane_qnsane_close(handle_);
    SetConfig("virtual", "devices", "Scanner A|Scanner B");
    sane_qnsane_exit();
    recorder_.Clear();
    ASSERT_TRUE(InitDriver());

    SANE_Handle a = OpenScanner("Scanner A");
    SANE_Handle b = OpenScanner("Scanner B");
    ASSERT_EQ(SetWord(a, "分辨率", 600), 0);
    ASSERT_EQ(SetString(a, "颜色模式", "256级灰度"), 0);
    EXPECT_EQ(GetWord(b, "分辨率"), 200);

    sane_qnsane_close(a);
    a = OpenScanner("Scanner A");
    EXPECT_EQ(GetWord(a, "分辨率"), 600);
    EXPECT_EQ(GetString(a, "颜色模式"), "256级灰度");

    sane_qnsane_exit();
    recorder_.Clear();
    ASSERT_TRUE(InitDriver());
    a = OpenScanner("Scanner A");
    EXPECT_EQ(GetWord(a, "分辨率"), 200);
    EXPECT_EQ(GetString(a, "颜色模式"), "24位彩色");
}

TEST_F(OptionsTest, SettingIsRefusedWhileScanningButReadingWorks) {
    SetConfig("virtual", "page_delay_ms", "100");
    ASSERT_EQ(sane_qnsane_start(handle_), 0);
    EXPECT_EQ(SetWord(handle_, "分辨率", 300), SANE_STATUS_DEVICE_BUSY);
    EXPECT_EQ(GetWord(handle_, "分辨率"), 200);
    sane_qnsane_cancel(handle_);
    ASSERT_TRUE(recorder_.WaitForFinished());
}

}  // namespace

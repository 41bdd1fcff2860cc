#include "platform/driver/virtual_options.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr SANE_String_Const kFeedModes[] = {"连续扫描", "扫描指定张数", nullptr};
constexpr SANE_String_Const kColorModes[] = {"24位彩色", "256级灰度", "黑白", "颜色自动识别",
                                             nullptr};
constexpr SANE_String_Const kPageSides[] = {"单面", "双面", "跳过空白页（通用）",
                                            "跳过空白页（发票纸）", nullptr};
constexpr SANE_String_Const kPaperSizes[] = {"匹配原始尺寸", "A3",     "A4",   "A5",
                                             "B5",           "Letter", nullptr};
constexpr SANE_String_Const kOrientations[] = {"0°", "90°", "180°", "-90°", nullptr};

constexpr SANE_Word kResolutions[] = {7, 100, 150, 200, 240, 300, 400, 600};
constexpr SANE_Range kSheetCountRange{1, 500, 1};
constexpr SANE_Range kBrightnessRange{-100, 100, 1};
constexpr SANE_Range kGammaRange{SANE_FIX(0.1), SANE_FIX(4.0), 0};
constexpr SANE_Range kSensitivityRange{0, 100, 1};

constexpr SANE_Int kWordSize = sizeof(SANE_Word);
constexpr SANE_Int kSettable = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;

constexpr std::array<SANE_Word, kVirtualOptionCount> kDefaults = {
    kVirtualOptionCount,  // option 0: the count
    0,                    // group
    kFeedContinuous,
    1,
    kColor24Bit,
    200,
    kSideSimplex,
    kPaperOriginal,
    kOrientation0,
    0,  // group
    0,
    SANE_FIX(1.0),
    SANE_FALSE,
    SANE_TRUE,
    5,
    SANE_FALSE,
    0,  // button
};

SANE_Int LongestEntry(const SANE_String_Const* list) {
    size_t longest = 0;
    for (; *list != nullptr; ++list)
        longest = std::max(longest, std::strlen(*list));
    return static_cast<SANE_Int>(longest + 1);
}

SANE_Option_Descriptor Plain(SANE_String_Const name, SANE_String_Const title,
                             SANE_String_Const desc, SANE_Value_Type type, SANE_Unit unit,
                             SANE_Int size, SANE_Int cap) {
    SANE_Option_Descriptor descriptor{};
    descriptor.name = name;
    descriptor.title = title;
    descriptor.desc = desc;
    descriptor.type = type;
    descriptor.unit = unit;
    descriptor.size = size;
    descriptor.cap = cap;
    descriptor.constraint_type = SANE_CONSTRAINT_NONE;
    descriptor.constraint.range = nullptr;
    return descriptor;
}

SANE_Option_Descriptor Group(SANE_String_Const name, SANE_String_Const title) {
    return Plain(name, title, "", SANE_TYPE_GROUP, SANE_UNIT_NONE, 0, 0);
}

SANE_Option_Descriptor Bool(SANE_String_Const name, SANE_String_Const title,
                            SANE_String_Const desc) {
    return Plain(name, title, desc, SANE_TYPE_BOOL, SANE_UNIT_NONE, kWordSize, kSettable);
}

SANE_Option_Descriptor Ranged(SANE_String_Const name, SANE_String_Const title,
                              SANE_String_Const desc, SANE_Value_Type type, SANE_Unit unit,
                              const SANE_Range* range) {
    SANE_Option_Descriptor descriptor = Plain(name, title, desc, type, unit, kWordSize, kSettable);
    descriptor.constraint_type = SANE_CONSTRAINT_RANGE;
    descriptor.constraint.range = range;
    return descriptor;
}

SANE_Option_Descriptor Listed(SANE_String_Const name, SANE_String_Const title,
                              SANE_String_Const desc, const SANE_String_Const* list) {
    SANE_Option_Descriptor descriptor =
        Plain(name, title, desc, SANE_TYPE_STRING, SANE_UNIT_NONE, LongestEntry(list), kSettable);
    descriptor.constraint_type = SANE_CONSTRAINT_STRING_LIST;
    descriptor.constraint.string_list = list;
    return descriptor;
}

std::array<SANE_Option_Descriptor, kVirtualOptionCount> BuildTable() {
    SANE_Option_Descriptor resolution = Plain("resolution", "分辨率", "扫描分辨率", SANE_TYPE_INT,
                                              SANE_UNIT_DPI, kWordSize, kSettable);
    resolution.constraint_type = SANE_CONSTRAINT_WORD_LIST;
    resolution.constraint.word_list = kResolutions;
    return {
        Plain("", "Number of options", "选项数量", SANE_TYPE_INT, SANE_UNIT_NONE, kWordSize,
              SANE_CAP_SOFT_DETECT),
        Group("basic", "基本设置"),
        Listed("feed-mode", "扫描张数", "连续扫描进纸器中的全部纸张，或只扫描指定张数", kFeedModes),
        Ranged("sheet-count", "扫描数量", "扫描指定张数时扫描的纸张数", SANE_TYPE_INT,
               SANE_UNIT_NONE, &kSheetCountRange),
        Listed("mode", "颜色模式", "彩色、灰度或黑白", kColorModes),
        resolution,
        Listed("source", "扫描页面", "单面、双面或跳过空白页", kPageSides),
        Listed("paper-size", "纸张尺寸", "输出页面的纸张尺寸", kPaperSizes),
        Listed("orientation", "文稿方向", "按顺时针方向旋转页面内容", kOrientations),
        Group("processing", "图像处理"),
        Ranged("brightness", "亮度", "图像亮度", SANE_TYPE_INT, SANE_UNIT_NONE, &kBrightnessRange),
        Ranged("gamma", "伽马", "伽马校正", SANE_TYPE_FIXED, SANE_UNIT_NONE, &kGammaRange),
        Bool("split", "图像拆分", "图像拆分"),
        Bool("bw-denoise", "黑白图像噪点优化", "去除黑白图像中的孤立噪点"),
        Ranged("blank-sensitivity", "跳过空白页灵敏度", "空白页判定的灵敏度", SANE_TYPE_INT,
               SANE_UNIT_NONE, &kSensitivityRange),
        Bool("sharpen", "  锐化", "锐化"),
        Plain("restore-defaults", "恢复默认设置", "所有选项恢复为默认值", SANE_TYPE_BUTTON,
              SANE_UNIT_NONE, 0, SANE_CAP_SOFT_SELECT),
    };
}

const std::array<SANE_Option_Descriptor, kVirtualOptionCount>& Table() {
    static const std::array<SANE_Option_Descriptor, kVirtualOptionCount> table = BuildTable();
    return table;
}

bool InWordList(const SANE_Word* list, SANE_Word value) {
    for (SANE_Word i = 1; i <= list[0]; ++i) {
        if (list[i] == value) return true;
    }
    return false;
}

// The index of text in the list, or -1. The text is read no further than
// limit bytes, so an unterminated buffer of the descriptor's size is safe.
SANE_Word EntryIndex(const SANE_String_Const* list, const char* text, size_t limit) {
    size_t length = strnlen(text, limit);
    if (length == limit) return -1;
    for (SANE_Word i = 0; list[i] != nullptr; ++i) {
        if (std::strcmp(list[i], text) == 0) return i;
    }
    return -1;
}

}  // namespace

bool OptionChangesParameters(SANE_Int option) {
    return option == kOptionColorMode || option == kOptionResolution ||
           option == kOptionPaperSize || option == kOptionOrientation;
}

PaperMillimetres PaperOf(SANE_Word paper) {
    switch (paper) {
        case kPaperA3:
            return {297, 420};
        case kPaperA5:
            return {148, 210};
        case kPaperB5:
            return {176, 250};
        case kPaperLetter:
            return {216, 279};
        default:  // "匹配原始尺寸" and "A4"
            return {210, 297};
    }
}

const SANE_Option_Descriptor* VirtualOptionDescriptor(SANE_Int option) {
    if (option < 0 || option >= kVirtualOptionCount) return nullptr;
    return &Table()[option];
}

VirtualOptionValues::VirtualOptionValues() : words_(kDefaults) {}

void VirtualOptionValues::RestoreDefaults() {
    words_ = kDefaults;
}

SANE_Status VirtualOptionValues::Get(SANE_Int option, void* value) const {
    const SANE_Option_Descriptor* descriptor = VirtualOptionDescriptor(option);
    if (descriptor == nullptr || value == nullptr) return SANE_STATUS_INVAL;
    switch (descriptor->type) {
        case SANE_TYPE_BOOL:
        case SANE_TYPE_INT:
        case SANE_TYPE_FIXED:
            std::memcpy(value, &words_[option], sizeof(SANE_Word));
            return SANE_STATUS_GOOD;
        case SANE_TYPE_STRING: {
            const char* text = descriptor->constraint.string_list[words_[option]];
            std::memcpy(value, text, std::strlen(text) + 1);
            return SANE_STATUS_GOOD;
        }
        default:
            return SANE_STATUS_INVAL;
    }
}

SANE_Status VirtualOptionValues::Set(SANE_Int option, const void* value, SANE_Int* info) {
    if (info != nullptr) *info = 0;
    const SANE_Option_Descriptor* descriptor = VirtualOptionDescriptor(option);
    if (descriptor == nullptr || option == kOptionCount) return SANE_STATUS_INVAL;
    if (descriptor->type == SANE_TYPE_BUTTON) {
        RestoreDefaults();
        if (info != nullptr) *info = SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
        return SANE_STATUS_GOOD;
    }
    if (value == nullptr || descriptor->type == SANE_TYPE_GROUP) return SANE_STATUS_INVAL;

    SANE_Word word = 0;
    if (descriptor->type == SANE_TYPE_STRING) {
        word = EntryIndex(descriptor->constraint.string_list, static_cast<const char*>(value),
                          static_cast<size_t>(descriptor->size));
        if (word < 0) return SANE_STATUS_INVAL;
    } else {
        std::memcpy(&word, value, sizeof word);
        bool valid = true;
        if (descriptor->type == SANE_TYPE_BOOL)
            valid = word == SANE_FALSE || word == SANE_TRUE;
        else if (descriptor->constraint_type == SANE_CONSTRAINT_RANGE)
            valid = word >= descriptor->constraint.range->min &&
                    word <= descriptor->constraint.range->max;
        else if (descriptor->constraint_type == SANE_CONSTRAINT_WORD_LIST)
            valid = InWordList(descriptor->constraint.word_list, word);
        if (!valid) return SANE_STATUS_INVAL;
    }
    words_[option] = word;
    if (info != nullptr && OptionChangesParameters(option)) *info = SANE_INFO_RELOAD_PARAMS;
    return SANE_STATUS_GOOD;
}

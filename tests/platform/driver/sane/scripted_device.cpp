#include "platform/driver/sane/scripted_device.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr SANE_Int kWord = sizeof(SANE_Word);
constexpr SANE_Int kSoft = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;

DeviceOption Plain(const std::string& name, SANE_Value_Type type, SANE_Int size) {
    DeviceOption option;
    option.name = name;
    option.title = name + " title";
    option.desc = name + " help";
    option.type = type;
    option.size = size;
    option.cap = kSoft;
    return option;
}

void SetActive(DeviceOption& option, bool active) {
    option.cap = active ? option.cap & ~SANE_CAP_INACTIVE : option.cap | SANE_CAP_INACTIVE;
}

// The glass of the feeder scanner in pixels at dpi: 216 x 356 mm.
SANE_Int FeederReach(double millimetres, SANE_Word dpi) {
    return static_cast<SANE_Int>(millimetres * dpi / 25.4);
}

}  // namespace

DeviceOption& ScriptedDevice::Add(DeviceOption option, OptionValue value) {
    option.index = static_cast<SANE_Int>(options_.size() + 1);
    options_.push_back(std::move(option));
    values_.push_back(std::move(value));
    return options_.back();
}

SANE_Status ScriptedDevice::Describe(std::vector<DeviceOption>* options) {
    *options = options_;
    return SANE_STATUS_GOOD;
}

SANE_Status ScriptedDevice::Get(SANE_Int index, OptionValue* value) {
    if (index < 1 || index > static_cast<SANE_Int>(options_.size())) return SANE_STATUS_INVAL;
    const DeviceOption& option = options_[index - 1];
    if ((option.cap & SANE_CAP_INACTIVE) != 0 || option.type == SANE_TYPE_GROUP ||
        option.type == SANE_TYPE_BUTTON)
        return SANE_STATUS_INVAL;
    *value = values_[index - 1];
    return SANE_STATUS_GOOD;
}

SANE_Status ScriptedDevice::Set(SANE_Int index, const OptionValue& value, SANE_Int* info) {
    *info = 0;
    if (index < 1 || index > static_cast<SANE_Int>(options_.size())) return SANE_STATUS_INVAL;
    const DeviceOption& option = options_[index - 1];
    if (!option.Settable()) return SANE_STATUS_INVAL;
    if (setStatus != SANE_STATUS_GOOD) return setStatus;
    sets.push_back(option.name);
    if (option.type != SANE_TYPE_BUTTON) values_[index - 1] = value;
    auto reaction = reactions.find(option.name);
    if (reaction != reactions.end()) *info |= reaction->second(*this);
    return SANE_STATUS_GOOD;
}

DeviceOption& ScriptedDevice::Option(const std::string& name) {
    for (DeviceOption& option : options_)
        if (option.name == name) return option;
    throw std::out_of_range(name);
}

OptionValue& ScriptedDevice::Value(const std::string& name) {
    return values_.at(Option(name).index - 1);
}

DeviceOption StringList(const std::string& name, std::vector<std::string> entries) {
    size_t longest = 0;
    for (const std::string& entry : entries)
        longest = std::max(longest, entry.size());
    DeviceOption option = Plain(name, SANE_TYPE_STRING, static_cast<SANE_Int>(longest + 1));
    option.constraintType = SANE_CONSTRAINT_STRING_LIST;
    option.stringList = std::move(entries);
    return option;
}

DeviceOption IntRange(const std::string& name, SANE_Word min, SANE_Word max, SANE_Word quant,
                      SANE_Unit unit) {
    DeviceOption option = Plain(name, SANE_TYPE_INT, kWord);
    option.unit = unit;
    option.constraintType = SANE_CONSTRAINT_RANGE;
    option.range = {min, max, quant};
    return option;
}

DeviceOption FixedRange(const std::string& name, double min, double max, double quant,
                        SANE_Unit unit) {
    DeviceOption option = IntRange(name, SANE_FIX(min), SANE_FIX(max), SANE_FIX(quant), unit);
    option.type = SANE_TYPE_FIXED;
    return option;
}

DeviceOption WordList(const std::string& name, SANE_Value_Type type, std::vector<SANE_Word> words,
                      SANE_Unit unit) {
    DeviceOption option = Plain(name, type, kWord);
    option.unit = unit;
    option.constraintType = SANE_CONSTRAINT_WORD_LIST;
    option.wordList = std::move(words);
    return option;
}

DeviceOption BoolOption(const std::string& name) {
    return Plain(name, SANE_TYPE_BOOL, kWord);
}

DeviceOption Text(const std::string& name, SANE_Int size) {
    return Plain(name, SANE_TYPE_STRING, size);
}

DeviceOption Group(const std::string& title) {
    DeviceOption option = Plain("", SANE_TYPE_GROUP, 0);
    option.title = title;
    option.cap = 0;
    return option;
}

DeviceOption Button(const std::string& name) {
    DeviceOption option = Plain(name, SANE_TYPE_BUTTON, 0);
    option.cap = SANE_CAP_SOFT_SELECT;
    return option;
}

DeviceOption IntArray(const std::string& name, SANE_Int words) {
    DeviceOption option = IntRange(name, 0, 255, 1);
    option.size = words * kWord;
    return option;
}

OptionValue Words(SANE_Word word) {
    return OptionValue{{word}, {}};
}

OptionValue TextValue(const std::string& text) {
    return OptionValue{{}, text};
}

void MakeTestBackendLike(ScriptedDevice* device) {
    device->Add(Group("Scan Mode"));
    device->Add(StringList("mode", {"Gray", "Color"}), TextValue("Gray"));
    device->Add(WordList("depth", SANE_TYPE_INT, {1, 8, 16}), Words(8));
    device->Add(FixedRange("resolution", 1, 1200, 1, SANE_UNIT_DPI), Words(SANE_FIX(50)));
    device->Add(StringList("source", {"Flatbed", "Automatic Document Feeder"}),
                TextValue("Flatbed"));
    device->Add(Group("Special Options"));
    device->Add(StringList("test-picture", {"Solid black", "Solid white", "Color pattern", "Grid"}),
                TextValue("Solid black"));
    device->Add(BoolOption("read-limit"), Words(SANE_FALSE));
    SetActive(device->Add(IntRange("read-limit-size", 1, 65536, 1), Words(1)), false);
    device->Add(Group("Geometry"));
    for (const char* name : {"tl-x", "tl-y"})
        device->Add(FixedRange(name, 0, 200, 1, SANE_UNIT_MM), Words(0));
    device->Add(FixedRange("br-x", 0, 200, 1, SANE_UNIT_MM), Words(SANE_FIX(80)));
    device->Add(FixedRange("br-y", 0, 200, 1, SANE_UNIT_MM), Words(SANE_FIX(100)));
    device->Add(Group("Test options"));
    DeviceOption readOnly = BoolOption("bool-soft-detect");
    readOnly.cap = SANE_CAP_SOFT_DETECT;
    device->Add(readOnly, Words(SANE_FALSE));
    device->Add(IntRange("int-constraint-range", 4, 192, 2, SANE_UNIT_PIXEL), Words(26));
    device->Add(WordList("fixed-constraint-word-list", SANE_TYPE_FIXED,
                         {SANE_FIX(-32.7), SANE_FIX(12.1), SANE_FIX(42), SANE_FIX(129.5)}),
                Words(SANE_FIX(42)));
    device->Add(IntArray("gamma-table", 256), OptionValue{std::vector<SANE_Word>(256, 7), {}});
    device->Add(Text("string", 16), TextValue("fifteen chars!!"));
    device->Add(Button("button"));
    device->reactions["read-limit"] = [](ScriptedDevice& self) {
        SetActive(self.Option("read-limit-size"), self.Word("read-limit") == SANE_TRUE);
        return SANE_INFO_RELOAD_OPTIONS;
    };
}

void MakeFlatbed(ScriptedDevice* device) {
    device->Add(StringList("mode", {"Color", "Gray", "Lineart"}), TextValue("Color"));
    device->Add(WordList("resolution", SANE_TYPE_INT, {75, 150, 300, 600, 1200}, SANE_UNIT_DPI),
                Words(75));
    device->Add(IntRange("tl-x", 0, 216, 0, SANE_UNIT_MM), Words(0));
    device->Add(IntRange("tl-y", 0, 297, 0, SANE_UNIT_MM), Words(0));
    device->Add(IntRange("br-x", 0, 216, 0, SANE_UNIT_MM), Words(216));
    device->Add(IntRange("br-y", 0, 297, 0, SANE_UNIT_MM), Words(297));
    device->Add(IntRange("brightness", 0, 255, 1, SANE_UNIT_NONE), Words(100));
    device->Add(StringList("lamp", {"Auto", "Off"}), TextValue("Auto"));
}

void MakeFeederDuplex(ScriptedDevice* device) {
    device->Add(StringList("source", {"ADF Front", "ADF Back", "ADF Duplex"}),
                TextValue("ADF Front"));
    device->Add(StringList("mode", {"Binary", "Gray", "Color"}), TextValue("Gray"));
    device->Add(IntRange("resolution", 50, 600, 1, SANE_UNIT_DPI), Words(100));
    for (const char* name : {"page-width", "page-height", "tl-x", "tl-y", "br-x", "br-y"})
        device->Add(IntRange(name, 0, 0, 1, SANE_UNIT_PIXEL), Words(0));
    device->Add(IntRange("sleep-time", 0, 60, 1), Words(15));
    // Every resolution change rescales the pixel ranges of the scan area.
    device->reactions["resolution"] = [](ScriptedDevice& self) {
        SANE_Word dpi = self.Word("resolution");
        for (const char* name : {"page-width", "tl-x", "br-x"})
            self.Option(name).range.max = FeederReach(216, dpi);
        for (const char* name : {"page-height", "tl-y", "br-y"})
            self.Option(name).range.max = FeederReach(356, dpi);
        return SANE_INFO_RELOAD_OPTIONS;
    };
    device->reactions["resolution"](*device);
}

// A scripted SANE device behind a DeviceOptionPort: an option table with
// values, the checks and reloads a backend makes, and a log of every value
// the device was sent. Shapes of real devices are built by the Make*
// functions below.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/driver/sane/device_option_port.h"

class ScriptedDevice : public DeviceOptionPort {
  public:
    // Appends an option (its index is its position, from 1) with a value.
    DeviceOption& Add(DeviceOption option, OptionValue value = {});

    SANE_Status Describe(std::vector<DeviceOption>* options) override;
    SANE_Status Get(SANE_Int index, OptionValue* value) override;
    SANE_Status Set(SANE_Int index, const OptionValue& value, SANE_Int* info) override;

    DeviceOption& Option(const std::string& name);
    OptionValue& Value(const std::string& name);
    SANE_Word Word(const std::string& name) { return Value(name).words.at(0); }

    // Called after a value is stored; returns extra SANE_INFO_ flags (a
    // device that switches options on and off returns RELOAD_OPTIONS).
    std::map<std::string, std::function<SANE_Int(ScriptedDevice&)>> reactions;
    std::vector<std::string> sets;             // "name" of every option set, in order
    SANE_Status setStatus = SANE_STATUS_GOOD;  // what Set answers (a failing device)

  private:
    std::vector<DeviceOption> options_;
    std::vector<OptionValue> values_;
};

// Option builders.
DeviceOption StringList(const std::string& name, std::vector<std::string> entries);
DeviceOption IntRange(const std::string& name, SANE_Word min, SANE_Word max, SANE_Word quant,
                      SANE_Unit unit = SANE_UNIT_NONE);
DeviceOption FixedRange(const std::string& name, double min, double max, double quant,
                        SANE_Unit unit = SANE_UNIT_NONE);
DeviceOption WordList(const std::string& name, SANE_Value_Type type, std::vector<SANE_Word> words,
                      SANE_Unit unit = SANE_UNIT_NONE);
DeviceOption BoolOption(const std::string& name);
DeviceOption Text(const std::string& name, SANE_Int size);
DeviceOption Group(const std::string& title);
DeviceOption Button(const std::string& name);
DeviceOption IntArray(const std::string& name, SANE_Int words);
OptionValue Words(SANE_Word word);
OptionValue TextValue(const std::string& text);

// Like SANE's `test` backend with its test options: Gray|Color with depth
// 1|8|16, fixed resolution 1..1200, Flatbed|Automatic Document Feeder, a
// 200 x 200 mm fixed-point area, gamma tables and one option of every kind.
void MakeTestBackendLike(ScriptedDevice* device);
// A flatbed-only colour scanner: Color|Gray|Lineart, a word list of
// resolutions, an A4-and-Letter integer-mm glass and a 0..255 brightness.
void MakeFlatbed(ScriptedDevice* device);
// A sheet-fed duplex scanner with its scan area in pixels at the current
// resolution (the ranges change with it) and page-width/page-height.
void MakeFeederDuplex(ScriptedDevice* device);

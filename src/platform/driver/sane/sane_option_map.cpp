#include "platform/driver/sane/sane_option_map.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/driver/sane/device_mapping.h"
#include "platform/driver/sane/device_table.h"
#include "platform/driver/sane/option_constraint.h"
#include "platform/driver/sane/page_facing_options.h"
#include "platform/driver/sane/scan_preparation.h"
#include "platform/driver/virtual_options.h"

namespace {

// The device's own options follow the page-facing set under this group.
constexpr SANE_Int kDeviceGroup = kVirtualOptionCount;
constexpr SANE_Int kFirstDeviceOption = kDeviceGroup + 1;

SANE_Option_Descriptor DeviceGroupDescriptor() {
    SANE_Option_Descriptor group{};
    group.name = "device";
    group.title = "设备选项";
    group.desc = "";
    group.type = SANE_TYPE_GROUP;
    group.constraint_type = SANE_CONSTRAINT_NONE;
    return group;
}

bool HasValue(const DeviceOption& option) {
    return option.type == SANE_TYPE_BOOL || option.type == SANE_TYPE_INT ||
           option.type == SANE_TYPE_FIXED || option.type == SANE_TYPE_STRING;
}

bool ShownInDeviceGroup(const DeviceOption& option, const DeviceMapping& mapping) {
    return option.index > 0 && HasValue(option) && option.Settable() && !option.IsArray() &&
           option.size > 0 && !IsMappedOptionName(option.name, mapping);
}

// Copies a device value out in the SANE layout of the option: one word, or
// the text with its NUL within the option's size.
void CopyOut(const SANE_Option_Descriptor& descriptor, const OptionValue& value, void* out) {
    if (descriptor.type == SANE_TYPE_STRING) {
        size_t length = std::min(value.text.size(), static_cast<size_t>(descriptor.size - 1));
        std::memcpy(out, value.text.data(), length);
        static_cast<char*>(out)[length] = '\0';
        return;
    }
    SANE_Word word = value.words.empty() ? 0 : value.words.front();
    std::memcpy(out, &word, sizeof word);
}

// The caller's value in the port's form; false when a text has no NUL
// within the option's size.
bool CopyIn(const SANE_Option_Descriptor& descriptor, const void* in, OptionValue* value) {
    if (descriptor.type == SANE_TYPE_STRING) return ReadText(descriptor, in, &value->text);
    SANE_Word word = 0;
    std::memcpy(&word, in, sizeof word);
    value->words.assign(1, word);
    return true;
}

}  // namespace

struct SaneOptionMap::State {
    DeviceTable table;
    DeviceMapping mapping;
    PageFacingOptions facing;
    std::vector<const OwnedDescriptor*> deviceGroup;  // shown options, in table order
    // The device's own values at the first Load: its defaults, restored by
    // the restore-defaults button (backends start every open at them).
    std::vector<std::string> defaultOrder;
    std::map<std::string, OptionValue> defaults;
    bool loaded = false;
    std::vector<std::string> pendingValues;  // Restore before the first Load
    SANE_Option_Descriptor countDescriptor = *VirtualOptionDescriptor(kOptionCount);
    SANE_Option_Descriptor groupDescriptor = DeviceGroupDescriptor();

    SANE_Int Count() const {
        auto shown = static_cast<SANE_Int>(deviceGroup.size());
        return kVirtualOptionCount + (shown == 0 ? 0 : 1 + shown);
    }

    // Lists the device group from the current table. Only on the thread
    // that hands descriptors out: the ones of earlier tables go with it.
    void ListDeviceGroup() {
        deviceGroup.clear();
        for (size_t i = 0; i < table.Size(); ++i)
            if (ShownInDeviceGroup(table.At(i).option(), mapping))
                deviceGroup.push_back(&table.At(i));
        table.ForgetSuperseded();
    }

    void TakeDefaults(DeviceOptionPort& port) {
        for (const DeviceOption& option : table.Options()) {
            OptionValue value;
            if (option.index == 0 || !HasValue(option) || option.IsArray() ||
                port.Get(option.index, &value) != SANE_STATUS_GOOD)
                continue;
            defaultOrder.push_back(option.name);
            defaults[option.name] = std::move(value);
        }
    }

    int CurrentDpi(DeviceOptionPort& port) const {
        const OwnedDescriptor* resolution = table.Find("resolution");
        OptionValue value;
        if (resolution == nullptr || resolution->option().IsArray() ||
            port.Get(resolution->option().index, &value) != SANE_STATUS_GOOD ||
            value.words.size() != 1)
            return 0;
        return DpiOfWord(resolution->option(), value.words[0]);
    }

    // The device's own options back at their first values, in table order so
    // an option that switches others on comes before them. Values the device
    // no longer accepts are passed over; a device that stops answering ends
    // the restore with its status.
    SANE_Status RestoreDeviceDefaults(DeviceOptionPort& port) {
        SANE_Status status = SANE_STATUS_GOOD;
        for (const std::string& name : defaultOrder) {
            if (IsMappedOptionName(name, mapping)) continue;
            const OwnedDescriptor* option = table.Find(name);
            if (option == nullptr || !ValueFits(option->descriptor(), defaults[name])) continue;
            status = table.Apply(port, name, defaults[name]);
            if (status == SANE_STATUS_INVAL) status = SANE_STATUS_GOOD;
            if (status != SANE_STATUS_GOOD) break;
        }
        ListDeviceGroup();
        return status;
    }

    SANE_Status ControlDeviceOption(DeviceOptionPort& port, const OwnedDescriptor& option,
                                    SANE_Action action, void* value, SANE_Int* info) {
        if (value == nullptr) return SANE_STATUS_INVAL;
        const SANE_Option_Descriptor& descriptor = option.descriptor();
        OptionValue device;
        if (action == SANE_ACTION_GET_VALUE) {
            SANE_Status status = port.Get(option.option().index, &device);
            if (status == SANE_STATUS_GOOD) CopyOut(descriptor, device, value);
            return status;
        }
        if (action != SANE_ACTION_SET_VALUE || !CopyIn(descriptor, value, &device))
            return SANE_STATUS_INVAL;
        SANE_Int deviceInfo = 0;
        SANE_Status status = table.Set(port, option, device, &deviceInfo);
        if ((deviceInfo & SANE_INFO_RELOAD_OPTIONS) != 0) ListDeviceGroup();
        if (info != nullptr) *info = deviceInfo;
        return status;
    }
};

SaneOptionMap::SaneOptionMap() : state_(std::make_unique<State>()) {}

SaneOptionMap::~SaneOptionMap() = default;

SANE_Status SaneOptionMap::Load(DeviceOptionPort& port) {
    State& state = *state_;
    SANE_Status status = state.table.Reload(port);
    if (status != SANE_STATUS_GOOD) return status;
    if (!state.loaded) state.TakeDefaults(port);
    state.mapping = AnalyseDevice(state.table.Options(), state.CurrentDpi(port));
    state.facing.Build(state.mapping);
    state.ListDeviceGroup();
    state.loaded = true;
    state.facing.Restore(state.pendingValues);
    state.pendingValues.clear();
    return SANE_STATUS_GOOD;
}

const SANE_Option_Descriptor* SaneOptionMap::Descriptor(SANE_Int option) const {
    const State& state = *state_;
    if (option == kOptionCount) return &state.countDescriptor;
    if (option < kVirtualOptionCount) return state.facing.Descriptor(option);
    if (option >= state.Count()) return nullptr;
    if (option == kDeviceGroup) return &state.groupDescriptor;
    return &state.deviceGroup[option - kFirstDeviceOption]->descriptor();
}

SANE_Status SaneOptionMap::Control(DeviceOptionPort& port, SANE_Int option, SANE_Action action,
                                   void* value, SANE_Int* info) {
    State& state = *state_;
    if (info != nullptr) *info = 0;
    if (!state.loaded || option < 0 || option >= state.Count()) return SANE_STATUS_INVAL;
    if (option == kOptionCount) {
        if (action != SANE_ACTION_GET_VALUE || value == nullptr) return SANE_STATUS_INVAL;
        SANE_Int count = state.Count();
        std::memcpy(value, &count, sizeof count);
        return SANE_STATUS_GOOD;
    }
    if (option == kOptionRestoreDefaults) {
        if (action != SANE_ACTION_SET_VALUE) return SANE_STATUS_INVAL;
        state.facing.RestoreDefaults();
        if (info != nullptr) *info = SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
        return state.RestoreDeviceDefaults(port);
    }
    if (option < kVirtualOptionCount) {
        if (action == SANE_ACTION_GET_VALUE) return state.facing.Get(option, value);
        if (action == SANE_ACTION_SET_VALUE) return state.facing.Set(option, value, info);
        return SANE_STATUS_INVAL;
    }
    if (option == kDeviceGroup) return SANE_STATUS_INVAL;
    return state.ControlDeviceOption(port, *state.deviceGroup[option - kFirstDeviceOption], action,
                                     value, info);
}

SANE_Status SaneOptionMap::PrepareScan(DeviceOptionPort& port, SaneScanSettings* settings) {
    return Prepare(port, ScanSource::kPageChoice, settings);
}

SANE_Status SaneOptionMap::PrepareFlatbedScan(DeviceOptionPort& port, SaneScanSettings* settings) {
    return Prepare(port, ScanSource::kFlatbed, settings);
}

SANE_Status SaneOptionMap::Prepare(DeviceOptionPort& port, ScanSource source,
                                   SaneScanSettings* settings) {
    State& state = *state_;
    if (!state.loaded || settings == nullptr) return SANE_STATUS_INVAL;
    SANE_Status status = state.table.Reload(port);
    if (status != SANE_STATUS_GOOD) return status;
    *settings = ScanSettingsOf(state.facing, state.mapping, source);
    auto neutral = state.defaults.find("brightness");
    status = PrepareDevice(port, state.table, state.mapping, state.facing,
                           neutral == state.defaults.end() ? nullptr : &neutral->second, settings);
    // A flatbed scan is prepared on the scan's thread while the group listed
    // before stays in use; the next preparation or change lists it again.
    if (source == ScanSource::kPageChoice) state.ListDeviceGroup();
    return status;
}

std::vector<std::string> SaneOptionMap::Values() const {
    return state_->facing.Values();
}

void SaneOptionMap::Restore(const std::vector<std::string>& values) {
    if (state_->loaded)
        state_->facing.Restore(values);
    else
        state_->pendingValues = values;
}

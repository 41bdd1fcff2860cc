#include "platform/driver/sane/device_table.h"

#include "platform/driver/sane/option_constraint.h"

bool ValueFits(const SANE_Option_Descriptor& descriptor, const OptionValue& value) {
    switch (descriptor.type) {
        case SANE_TYPE_BOOL:
        case SANE_TYPE_INT:
        case SANE_TYPE_FIXED:
            return descriptor.size == static_cast<SANE_Int>(sizeof(SANE_Word)) &&
                   value.words.size() == 1 && WordFits(descriptor, value.words[0]);
        case SANE_TYPE_STRING:
            return TextFits(descriptor, value.text);
        case SANE_TYPE_BUTTON:
            return value.words.empty() && value.text.empty();
        default:
            return false;
    }
}

SANE_Status DeviceTable::Reload(DeviceOptionPort& port) {
    std::vector<DeviceOption> options;
    SANE_Status status = port.Describe(&options);
    if (status != SANE_STATUS_GOOD) return status;
    options_ = std::move(options);
    for (auto& owned : owned_)
        superseded_.push_back(std::move(owned));
    owned_.clear();
    for (const DeviceOption& option : options_)
        owned_.push_back(std::make_unique<OwnedDescriptor>(option));
    return SANE_STATUS_GOOD;
}

const OwnedDescriptor* DeviceTable::Find(std::string_view name) const {
    for (const auto& owned : owned_)
        if (owned->option().name == name) return owned.get();
    return nullptr;
}

SANE_Status DeviceTable::Set(DeviceOptionPort& port, const OwnedDescriptor& option,
                             const OptionValue& value, SANE_Int* info) {
    *info = 0;
    if (!option.option().Settable() || !ValueFits(option.descriptor(), value))
        return SANE_STATUS_INVAL;
    SANE_Status status = port.Set(option.option().index, value, info);
    if (status != SANE_STATUS_GOOD) return status;
    if ((*info & SANE_INFO_RELOAD_OPTIONS) != 0) return Reload(port);
    return SANE_STATUS_GOOD;
}

SANE_Status DeviceTable::Apply(DeviceOptionPort& port, std::string_view name,
                               const OptionValue& value) {
    const OwnedDescriptor* option = Find(name);
    if (option == nullptr || !option->option().Settable()) return SANE_STATUS_GOOD;
    OptionValue current;
    if (port.Get(option->option().index, &current) == SANE_STATUS_GOOD &&
        current.words == value.words && current.text == value.text)
        return SANE_STATUS_GOOD;
    SANE_Int info = 0;
    return Set(port, *option, value, &info);
}

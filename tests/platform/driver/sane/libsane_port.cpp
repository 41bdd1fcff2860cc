#include "platform/driver/sane/libsane_port.h"

#include <algorithm>
#include <cstring>

#include "platform/driver/sane/libsane_calls.h"

namespace {

DeviceOption Converted(int index, const libsane::Descriptor& d) {
    DeviceOption option;
    option.index = index;
    option.name = d.name;
    option.title = d.title;
    option.desc = d.desc;
    option.type = static_cast<SANE_Value_Type>(d.type);
    option.unit = static_cast<SANE_Unit>(d.unit);
    option.size = d.size;
    option.cap = d.cap;
    option.constraintType = static_cast<SANE_Constraint_Type>(d.constraintType);
    option.range = {d.rangeMin, d.rangeMax, d.rangeQuant};
    option.wordList.assign(d.words.begin(), d.words.end());
    option.stringList = d.strings;
    return option;
}

}  // namespace

std::unique_ptr<LibSanePort> LibSanePort::Open(const char* device) {
    void* handle = libsane::Open(device);
    if (handle == nullptr) return nullptr;
    return std::unique_ptr<LibSanePort>(new LibSanePort(handle));
}

LibSanePort::~LibSanePort() {
    libsane::Close(handle_);
}

SANE_Status LibSanePort::Describe(std::vector<DeviceOption>* options) {
    int count = libsane::OptionCount(handle_);
    if (count < 0) return SANE_STATUS_IO_ERROR;
    options->clear();
    for (int index = 1; index < count; ++index) {
        libsane::Descriptor descriptor;
        if (!libsane::Describe(handle_, index, &descriptor)) return SANE_STATUS_IO_ERROR;
        options->push_back(Converted(index, descriptor));
    }
    return SANE_STATUS_GOOD;
}

SANE_Int LibSanePort::SizeOf(SANE_Int index) {
    libsane::Descriptor descriptor;
    return libsane::Describe(handle_, index, &descriptor) ? descriptor.size : 0;
}

SANE_Status LibSanePort::GetWhole(SANE_Int index, std::vector<SANE_Word>* words) {
    words->assign((SizeOf(index) + 3) / 4 + 1, 0);
    return static_cast<SANE_Status>(
        libsane::Control(handle_, index, SANE_ACTION_GET_VALUE, words->data(), nullptr));
}

SANE_Status LibSanePort::Get(SANE_Int index, OptionValue* value) {
    libsane::Descriptor descriptor;
    if (!libsane::Describe(handle_, index, &descriptor)) return SANE_STATUS_INVAL;
    std::vector<char> buffer(static_cast<size_t>(descriptor.size) + 1, '\0');
    SANE_Status status = static_cast<SANE_Status>(
        libsane::Control(handle_, index, SANE_ACTION_GET_VALUE, buffer.data(), nullptr));
    if (status != SANE_STATUS_GOOD) return status;
    *value = OptionValue{};
    if (descriptor.type == SANE_TYPE_STRING) {
        value->text = buffer.data();
    } else {
        value->words.resize(static_cast<size_t>(descriptor.size) / sizeof(SANE_Word));
        std::memcpy(value->words.data(), buffer.data(), value->words.size() * sizeof(SANE_Word));
    }
    return SANE_STATUS_GOOD;
}

SANE_Status LibSanePort::Set(SANE_Int index, const OptionValue& value, SANE_Int* info) {
    std::vector<char> buffer(static_cast<size_t>(SizeOf(index)) + 1, '\0');
    if (!value.words.empty())
        std::memcpy(buffer.data(), value.words.data(),
                    std::min(buffer.size(), value.words.size() * sizeof(SANE_Word)));
    else
        std::memcpy(buffer.data(), value.text.data(),
                    std::min(buffer.size() - 1, value.text.size()));
    return static_cast<SANE_Status>(
        libsane::Control(handle_, index, SANE_ACTION_SET_VALUE, buffer.data(), info));
}

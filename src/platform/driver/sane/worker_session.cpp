#include "platform/driver/sane/worker_session.h"

#include <algorithm>
#include <cstring>
#include <string>

// libsane's own declarations, kept in a namespace of their own so they do
// not meet the driver interface's copies of the SANE types (same layout,
// same values).
namespace lib {
#include <sane/sane.h>
}

// Present when the worker is built with LeakSanitizer.
extern "C" __attribute__((weak)) void __lsan_do_leak_check();

namespace {

SANE_Status Ours(lib::SANE_Status status) {
    return static_cast<SANE_Status>(status);
}

std::string Copy(const char* text) {
    return text != nullptr ? text : "";
}

DeviceOption ToDeviceOption(SANE_Int index, const lib::SANE_Option_Descriptor& d) {
    DeviceOption option;
    option.index = index;
    option.name = Copy(d.name);
    option.title = Copy(d.title);
    option.desc = Copy(d.desc);
    option.type = static_cast<SANE_Value_Type>(d.type);
    option.unit = static_cast<SANE_Unit>(d.unit);
    option.size = d.size;
    option.cap = d.cap;
    option.constraintType = static_cast<SANE_Constraint_Type>(d.constraint_type);
    if (d.constraint_type == lib::SANE_CONSTRAINT_RANGE && d.constraint.range != nullptr) {
        option.range = {d.constraint.range->min, d.constraint.range->max,
                        d.constraint.range->quant};
    } else if (d.constraint_type == lib::SANE_CONSTRAINT_WORD_LIST &&
               d.constraint.word_list != nullptr) {
        const lib::SANE_Word* list = d.constraint.word_list;
        option.wordList.assign(list + 1, list + 1 + list[0]);
    } else if (d.constraint_type == lib::SANE_CONSTRAINT_STRING_LIST &&
               d.constraint.string_list != nullptr) {
        for (const lib::SANE_String_Const* s = d.constraint.string_list; *s != nullptr; ++s)
            option.stringList.push_back(*s);
    }
    return option;
}

bool HasValue(const lib::SANE_Option_Descriptor& d) {
    return (d.cap & SANE_CAP_SOFT_DETECT) != 0 && (d.cap & SANE_CAP_INACTIVE) == 0 &&
           d.type != lib::SANE_TYPE_BUTTON && d.type != lib::SANE_TYPE_GROUP && d.size > 0;
}

// Reads an option's value into *value in the wire form.
SANE_Status ReadValue(void* handle, SANE_Int index, const lib::SANE_Option_Descriptor& d,
                      OptionValue* value) {
    std::vector<uint8_t> buffer(static_cast<size_t>(d.size) + 1, 0);
    lib::SANE_Status status =
        lib::sane_control_option(handle, index, lib::SANE_ACTION_GET_VALUE, buffer.data(), nullptr);
    if (status != lib::SANE_STATUS_GOOD) return Ours(status);
    if (d.type == lib::SANE_TYPE_STRING) {
        value->text = reinterpret_cast<const char*>(buffer.data());  // NUL-terminated by the +1
    } else {
        value->words.resize(static_cast<size_t>(d.size) / sizeof(SANE_Word));
        std::memcpy(value->words.data(), buffer.data(), value->words.size() * sizeof(SANE_Word));
    }
    return SANE_STATUS_GOOD;
}

}  // namespace

int WorkerSession::Run(FrameChannel& channel) {
    lib::SANE_Int version = 0;
    if (lib::sane_init(&version, nullptr) != lib::SANE_STATUS_GOOD) return 1;
    int exitCode = 0;
    std::vector<uint8_t> body;
    for (;;) {
        ChannelResult received = channel.Receive(&body, std::chrono::milliseconds(-1));
        if (received != ChannelResult::kOk) {
            exitCode = received == ChannelResult::kClosed ? 0 : 1;
            break;
        }
        MessageReader in(body);
        uint8_t request = 0;
        MessageWriter out;
        payload_ = nullptr;
        payloadSize_ = 0;
        if (!in.Byte(&request) || !Answer(static_cast<WorkerRequest>(request), in, &out)) {
            out = MessageWriter();
            out.Int(SANE_STATUS_INVAL);
            payload_ = nullptr;
            payloadSize_ = 0;
        }
        if (channel.Send(out, payload_, payloadSize_) != ChannelResult::kOk) {
            exitCode = 1;
            break;
        }
    }
    CloseAll();
    // Leaks are checked while the backends are still loaded, so their
    // allocations carry the backend's name and its suppression applies
    // (after sane_exit unloads them they would be of an unknown module).
    if (__lsan_do_leak_check != nullptr) __lsan_do_leak_check();
    lib::sane_exit();
    return exitCode;
}

bool WorkerSession::Answer(WorkerRequest request, MessageReader& in, MessageWriter* out) {
    if (request == WorkerRequest::kList) {
        List(out);
        return in.AtEnd();
    }
    if (request == WorkerRequest::kOpen) {
        Open(in, out);
        return true;
    }
    uint32_t id = 0;
    if (!in.Word(&id)) return false;
    auto it = handles_.find(id);
    if (it == handles_.end()) return false;
    void* handle = it->second;
    int32_t index = 0;
    uint32_t maxBytes = 0;
    OptionValue value;
    switch (request) {
        case WorkerRequest::kClose:
            Close(id, out);
            return true;
        case WorkerRequest::kDescribe:
            Describe(handle, out);
            return true;
        case WorkerRequest::kGet:
            if (!in.Int(&index)) return false;
            Get(handle, index, out);
            return true;
        case WorkerRequest::kSet:
            if (!in.Int(&index) || !in.Value(&value)) return false;
            Set(handle, index, value, out);
            return true;
        case WorkerRequest::kStart:
            Start(handle, out);
            return true;
        case WorkerRequest::kRead:
            if (!in.Word(&maxBytes)) return false;
            Read(handle, maxBytes, out);
            return true;
        case WorkerRequest::kCancel:
            lib::sane_cancel(handle);
            out->Int(SANE_STATUS_GOOD);
            return true;
        default:
            return false;
    }
}

void WorkerSession::List(MessageWriter* out) {
    const lib::SANE_Device** devices = nullptr;
    lib::SANE_Status status = lib::sane_get_devices(&devices, SANE_FALSE);
    out->Int(Ours(status));
    std::vector<WireDevice> listed;
    for (size_t i = 0; status == lib::SANE_STATUS_GOOD && devices[i] != nullptr; ++i) {
        const lib::SANE_Device& d = *devices[i];
        listed.push_back({Copy(d.name), Copy(d.vendor), Copy(d.model), Copy(d.type)});
    }
    out->Word(static_cast<uint32_t>(listed.size()));
    for (const WireDevice& device : listed)
        out->Device(device);
}

void WorkerSession::Open(MessageReader& in, MessageWriter* out) {
    std::string name;
    if (!in.Text(&name)) {
        out->Int(SANE_STATUS_INVAL);
        return;
    }
    lib::SANE_Handle handle = nullptr;
    lib::SANE_Status status = lib::sane_open(name.c_str(), &handle);
    out->Int(Ours(status));
    if (status != lib::SANE_STATUS_GOOD) return;
    uint32_t id = nextId_++;
    handles_[id] = handle;
    out->Word(id);
}

void WorkerSession::Close(uint32_t id, MessageWriter* out) {
    lib::sane_close(handles_[id]);
    handles_.erase(id);
    out->Int(SANE_STATUS_GOOD);
}

void WorkerSession::Describe(void* handle, MessageWriter* out) {
    std::vector<std::pair<DeviceOption, OptionValue>> table;
    std::vector<bool> hasValue;
    const lib::SANE_Option_Descriptor* first = lib::sane_get_option_descriptor(handle, 0);
    lib::SANE_Int count = 0;
    if (first == nullptr || lib::sane_control_option(handle, 0, lib::SANE_ACTION_GET_VALUE, &count,
                                                     nullptr) != lib::SANE_STATUS_GOOD) {
        out->Int(SANE_STATUS_IO_ERROR);
        return;
    }
    for (SANE_Int i = 1; i < count; ++i) {
        const lib::SANE_Option_Descriptor* d = lib::sane_get_option_descriptor(handle, i);
        if (d == nullptr) continue;
        OptionValue value;
        bool readable = HasValue(*d) && ReadValue(handle, i, *d, &value) == SANE_STATUS_GOOD;
        table.emplace_back(ToDeviceOption(i, *d), std::move(value));
        hasValue.push_back(readable);
    }
    out->Int(SANE_STATUS_GOOD);
    out->Word(static_cast<uint32_t>(table.size()));
    for (size_t i = 0; i < table.size(); ++i) {
        out->Option(table[i].first);
        out->Byte(hasValue[i] ? 1 : 0);
        out->Value(table[i].second);
    }
}

void WorkerSession::Get(void* handle, SANE_Int index, MessageWriter* out) {
    const lib::SANE_Option_Descriptor* d = lib::sane_get_option_descriptor(handle, index);
    OptionValue value;
    SANE_Status status =
        d != nullptr && HasValue(*d) ? ReadValue(handle, index, *d, &value) : SANE_STATUS_INVAL;
    out->Int(status);
    if (status == SANE_STATUS_GOOD) out->Value(value);
}

void WorkerSession::Set(void* handle, SANE_Int index, const OptionValue& value,
                        MessageWriter* out) {
    const lib::SANE_Option_Descriptor* d = lib::sane_get_option_descriptor(handle, index);
    if (d == nullptr || d->type == lib::SANE_TYPE_GROUP) {
        out->Int(SANE_STATUS_INVAL);
        return;
    }
    // The buffer has exactly the size the device declares, so a value that
    // does not fit is refused here instead of overrunning the backend.
    std::vector<uint8_t> buffer(static_cast<size_t>(d->size > 0 ? d->size : 0), 0);
    void* data = buffer.data();
    if (d->type == lib::SANE_TYPE_BUTTON) {
        data = nullptr;
    } else if (d->type == lib::SANE_TYPE_STRING) {
        if (value.text.size() + 1 > buffer.size()) {
            out->Int(SANE_STATUS_INVAL);
            return;
        }
        std::memcpy(buffer.data(), value.text.data(), value.text.size());
    } else {
        if (value.words.size() * sizeof(SANE_Word) != buffer.size()) {
            out->Int(SANE_STATUS_INVAL);
            return;
        }
        std::memcpy(buffer.data(), value.words.data(), buffer.size());
    }
    lib::SANE_Int info = 0;
    lib::SANE_Status status =
        lib::sane_control_option(handle, index, lib::SANE_ACTION_SET_VALUE, data, &info);
    out->Int(Ours(status));
    out->Int(info);
}

void WorkerSession::Start(void* handle, MessageWriter* out) {
    lib::SANE_Status status = lib::sane_start(handle);
    lib::SANE_Parameters parameters{};
    if (status == lib::SANE_STATUS_GOOD) status = lib::sane_get_parameters(handle, &parameters);
    out->Int(Ours(status));
    if (status != lib::SANE_STATUS_GOOD) return;
    SANE_Parameters ours{};
    ours.format = static_cast<SANE_Frame>(parameters.format);
    ours.last_frame = parameters.last_frame;
    ours.bytes_per_line = parameters.bytes_per_line;
    ours.pixels_per_line = parameters.pixels_per_line;
    ours.lines = parameters.lines;
    ours.depth = parameters.depth;
    out->Parameters(ours);
}

void WorkerSession::Read(void* handle, uint32_t maxBytes, MessageWriter* out) {
    // One sane_read per request: the backend's own reader keeps producing
    // while the driver handles the reply (measured faster than filling
    // bigger replies from several reads).
    uint32_t size = std::clamp<uint32_t>(maxBytes, 1, kMaxReadChunk);
    readBuffer_.resize(size);
    lib::SANE_Int length = 0;
    lib::SANE_Status status =
        lib::sane_read(handle, readBuffer_.data(), static_cast<lib::SANE_Int>(size), &length);
    out->Int(Ours(status));
    if (status != lib::SANE_STATUS_GOOD || length < 0) length = 0;
    // The data goes out as the reply's last field, straight from the buffer.
    payload_ = readBuffer_.data();
    payloadSize_ = static_cast<size_t>(length);
}

void WorkerSession::CloseAll() {
    for (auto& [id, handle] : handles_)
        lib::sane_close(handle);
    handles_.clear();
}

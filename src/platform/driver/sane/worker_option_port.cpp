#include "platform/driver/sane/worker_option_port.h"

#include <utility>

namespace {

// A worker that failed leaves the device unusable: an I/O error to the caller.
SANE_Status StatusOf(const WorkerReply& reply) {
    return reply.fault == WorkerFault::kNone ? reply.status : SANE_STATUS_IO_ERROR;
}

}  // namespace

SANE_Status WorkerOptionPort::Describe(std::vector<DeviceOption>* options) {
    std::vector<std::pair<SANE_Int, OptionValue>> values;
    WorkerReply reply =
        target_.worker->Describe(target_.generation, target_.handle, options, &values);
    values_.clear();
    for (auto& [index, value] : values)
        values_[index] = std::move(value);
    return StatusOf(reply);
}

SANE_Status WorkerOptionPort::Get(SANE_Int index, OptionValue* value) {
    auto it = values_.find(index);
    if (it != values_.end()) {
        *value = it->second;
        return SANE_STATUS_GOOD;
    }
    WorkerReply reply = target_.worker->Get(target_.generation, target_.handle, index, value);
    if (reply.ok()) values_[index] = *value;
    return StatusOf(reply);
}

SANE_Status WorkerOptionPort::Set(SANE_Int index, const OptionValue& value, SANE_Int* info) {
    SANE_Int flags = 0;
    WorkerReply reply =
        target_.worker->Set(target_.generation, target_.handle, index, value, &flags);
    if (info != nullptr) *info = flags;
    values_.erase(index);
    if ((flags & SANE_INFO_RELOAD_OPTIONS) != 0) values_.clear();
    return StatusOf(reply);
}

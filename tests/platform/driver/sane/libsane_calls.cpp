#include "platform/driver/sane/libsane_calls.h"

#include <sane/sane.h>

namespace libsane {

bool Init() {
    SANE_Int version = 0;
    return sane_init(&version, nullptr) == SANE_STATUS_GOOD;
}

void Exit() {
    sane_exit();
}

void* Open(const char* device) {
    SANE_Handle handle = nullptr;
    return sane_open(device, &handle) == SANE_STATUS_GOOD ? handle : nullptr;
}

void Close(void* handle) {
    sane_close(handle);
}

int OptionCount(void* handle) {
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return -1;
    return count;
}

bool Describe(void* handle, int index, Descriptor* out) {
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, index);
    if (d == nullptr) return false;
    *out = Descriptor{};
    out->name = d->name ? d->name : "";
    out->title = d->title ? d->title : "";
    out->desc = d->desc ? d->desc : "";
    out->type = d->type;
    out->unit = d->unit;
    out->size = d->size;
    out->cap = d->cap;
    out->constraintType = d->constraint_type;
    if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
        out->rangeMin = d->constraint.range->min;
        out->rangeMax = d->constraint.range->max;
        out->rangeQuant = d->constraint.range->quant;
    } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
        const SANE_Word* list = d->constraint.word_list;
        out->words.assign(list + 1, list + 1 + list[0]);
    } else if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
        for (const SANE_String_Const* entry = d->constraint.string_list; *entry; ++entry)
            out->strings.emplace_back(*entry);
    }
    return true;
}

int Control(void* handle, int index, int action, void* value, int* info) {
    SANE_Int flags = 0;
    SANE_Status status =
        sane_control_option(handle, index, static_cast<SANE_Action>(action), value, &flags);
    if (info != nullptr) *info = flags;
    return status;
}

int ScanFrame(void* handle, Frame* frame) {
    SANE_Status status = sane_start(handle);
    SANE_Parameters parameters{};
    if (status == SANE_STATUS_GOOD) status = sane_get_parameters(handle, &parameters);
    frame->format = parameters.format;
    frame->depth = parameters.depth;
    frame->pixelsPerLine = parameters.pixels_per_line;
    frame->bytesPerLine = parameters.bytes_per_line;
    frame->lines = parameters.lines;
    frame->data.clear();
    SANE_Byte buffer[4096];
    SANE_Int length = 0;
    while (status == SANE_STATUS_GOOD) {
        status = sane_read(handle, buffer, sizeof buffer, &length);
        if (status == SANE_STATUS_GOOD)
            frame->data.insert(frame->data.end(), buffer, buffer + length);
    }
    sane_cancel(handle);
    return status == SANE_STATUS_EOF ? SANE_STATUS_GOOD : status;
}

}  // namespace libsane

// Where the driver's events go: the callback registered at
// sane_qnsane_init_ex and its user pointer, with one helper per kind of
// event data.
//
// A copyable value. The helpers call the callback on the calling thread (a
// driver thread) and must be called without holding any driver lock, so a
// callback may call back into the driver or block on its own locks. The data
// passed is valid only during the call; *value always points to a readable
// word. A sink without a callback drops every event.
#pragma once

#include <string>

#include "platform/driver/sane_qnsane.h"

struct EventSink {
    SANE_Event_Callback callback = nullptr;
    void* user = nullptr;

    // SANE_EVENT_DEVICE_ARRIVED or SANE_EVENT_DEVICE_LEFT with a
    // SANE_Event_Device naming the scanner; the opaque argument is null.
    // Without a vendor and model the device is the virtual scanner.
    void Device(SANE_Int code, const std::string& name) const;
    void Device(SANE_Int code, const std::string& name, const std::string& vendor,
                const std::string& model) const;
    // A text event (SANE_EVENT_STATUS, _ERROR, _WORKING, _SCAN_FINISHED) of
    // the scan on handle, which is passed as the opaque argument.
    void Text(SANE_Handle handle, SANE_Int code, const char* text, SANE_Int value) const;
    // SANE_EVENT_IMAGE_OK with the page record.
    void Image(SANE_Handle handle, SANE_Event_Image* image) const;
};

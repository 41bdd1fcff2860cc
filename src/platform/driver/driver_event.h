// A driver event decoded once, at the driver's edge, from the callback's
// (code, data, value): the generations' handlers switch on the kind and
// read typed fields instead of casting the data themselves.
//
// A view: the texts and the page point into the callback's data and are
// valid only during the callback that decoded them. No threads of its own.
#pragma once

#include "platform/driver/sane_qnsane.h"

enum class DriverEventKind {
    kDeviceArrived,  // text: the scanner's name
    kDeviceLeft,     // text: the scanner's name
    kStatus,         // text: the message
    kError,          // text: the message; failed: the driver's flag
    kWorking,        // text: the message
    kPage,           // page: the scanned page, null when the driver sent none
    kScanFinished,   // text: the message; failed: the scan ended in error
    kOther,          // a code this service does not handle
};

struct DriverEvent {
    DriverEventKind kind = DriverEventKind::kOther;
    SANE_Int code = 0;
    const char* text = "";  // never null
    bool failed = false;
    const SANE_Event_Image* page = nullptr;
};

DriverEvent DecodeDriverEvent(SANE_Int code, void* data, const SANE_Int* value);

// Writes the event's line to the log, e.g. "SANE_EVENT_SCAN_FINISHED, msg=扫描取消".
void LogDriverEvent(const DriverEvent& event);

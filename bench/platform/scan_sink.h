// The event callback of the driver benchmarks: counts pages, touches one
// byte of each (so the delivery is not optimised away) and wakes the
// benchmark when the scan finishes.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/driver/sane_qnsane.h"

struct ScanSink {
    std::mutex mutex;
    std::condition_variable finished;
    int pages = 0;
    bool done = false;
    unsigned checksum = 0;

    static SANE_Int OnEvent(void*, SANE_Int code, void* data, SANE_Int*, void* user) {
        auto* sink = static_cast<ScanSink*>(user);
        if (code == SANE_EVENT_IMAGE_OK) {
            auto* image = static_cast<SANE_Event_Image*>(data);
            sink->checksum += image->data[image->parameters.bytes_per_line * 100];
            std::lock_guard guard(sink->mutex);
            ++sink->pages;
        } else if (code == SANE_EVENT_SCAN_FINISHED) {
            std::lock_guard guard(sink->mutex);
            sink->done = true;
            sink->finished.notify_all();
        }
        return 0;
    }
};

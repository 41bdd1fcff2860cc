// Starting the thread of a scan job, shared by the drivers' jobs.
//
// Called by the job's owner before any other thread sees the job.
#pragma once

#include <atomic>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/driver/sane_qnsane.h"

// Marks the job running and starts body on *thread; SANE_STATUS_NO_MEM (and
// the job not running) when the system cannot start a thread.
template <typename Body>
SANE_Status StartJobThread(std::thread* thread, std::atomic<bool>* running, Body body) {
    *running = true;
    try {
        *thread = std::thread(std::move(body));
    } catch (const std::system_error&) {
        *running = false;
        return SANE_STATUS_NO_MEM;
    }
    return SANE_STATUS_GOOD;
}

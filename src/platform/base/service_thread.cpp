#include "platform/base/service_thread.h"

#include <atomic>
#include <thread>

namespace {
std::atomic<std::thread::id> serviceThread{};
}

void MarkServiceThread() {
    serviceThread = std::this_thread::get_id();
}

void UnmarkServiceThread() {
    serviceThread = std::thread::id{};
}

bool IsServiceThread() {
    std::thread::id marked = serviceThread;
    return marked == std::thread::id{} || marked == std::this_thread::get_id();
}

#include "platform/driver/device_watcher.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "platform/base/kx_log.h"
#include "platform/driver/driver_config.h"

namespace {

bool SameNames(std::vector<std::string> a, std::vector<std::string> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

}  // namespace

DeviceWatcher::~DeviceWatcher() {
    Stop();
}

SANE_Status DeviceWatcher::Start(std::vector<std::string> initial, Listener listener,
                                 std::chrono::milliseconds period,
                                 std::chrono::milliseconds firstListLimit) {
    listener_ = std::move(listener);
    period_ = period;
    {
        MutexLock guard(mutex_);
        stopping_ = false;
        firstListed_ = false;
    }
    try {
        thread_ = std::thread(
            [this, initial = std::move(initial)]() mutable { Run(std::move(initial)); });
    } catch (const std::system_error&) {
        return SANE_STATUS_NO_MEM;
    }
    auto deadline = std::chrono::steady_clock::now() + firstListLimit;
    MutexLock guard(mutex_);
    while (!firstListed_ && wake_.WaitUntil(mutex_, deadline)) {
    }
    if (!firstListed_) {
        KXBase_WriteInfo(KX_LOG_INFO,
                         "device watcher: the first listing took longer than %lld ms; its "
                         "scanners are announced when it ends",
                         static_cast<long long>(firstListLimit.count()));
    }
    return SANE_STATUS_GOOD;
}

void DeviceWatcher::Stop() {
    {
        MutexLock guard(mutex_);
        stopping_ = true;
    }
    wake_.NotifyAll();
    if (thread_.joinable()) thread_.join();
}

bool DeviceWatcher::Sleep() {
    auto deadline = std::chrono::steady_clock::now() + period_;
    MutexLock guard(mutex_);
    while (!stopping_ && wake_.WaitUntil(mutex_, deadline)) {
    }
    return !stopping_;
}

void DeviceWatcher::Run(std::vector<std::string> reported) {
    threadId_ = std::this_thread::get_id();
    listener_(reported);
    {
        MutexLock guard(mutex_);
        firstListed_ = true;
    }
    wake_.NotifyAll();
    std::vector<std::string> candidate;
    bool haveCandidate = false;
    while (Sleep()) {
        std::vector<std::string> names = ReadVirtualDevices();
        if (SameNames(names, reported)) {
            haveCandidate = false;
            continue;
        }
        if (!haveCandidate || !SameNames(names, candidate)) {
            candidate = std::move(names);
            haveCandidate = true;
            continue;
        }
        reported = std::move(names);
        haveCandidate = false;
        listener_(reported);
    }
}

// Watches the virtual scanner's device list ([virtual] "devices" in
// "config.ini") on a thread of its own, re-reading it every period.
//
// The listener runs on the watcher's thread: first with the list given to
// Start (so the scanners present at start are announced from the driver's
// thread), then with every new list. A new list counts once two consecutive
// readings agree, so a file caught halfway through being rewritten never
// makes scanners vanish and come back; lists that differ only in order are
// the same list.
//
// Thread rule: Start and Stop from any thread but the watcher's own. Start
// returns once the listener has returned from its call with the initial
// list, or after firstListLimit when that call takes longer; Stop waits for
// the listener to return and for the thread to end.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/annotated_mutex.h"
#include "platform/driver/sane_qnsane.h"

class DeviceWatcher {
  public:
    using Listener = std::function<void(const std::vector<std::string>& names)>;

    DeviceWatcher() = default;
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    SANE_Status Start(std::vector<std::string> initial, Listener listener,
                      std::chrono::milliseconds period, std::chrono::milliseconds firstListLimit);
    void Stop();
    bool OnWatcherThread() const { return std::this_thread::get_id() == threadId_; }

  private:
    void Run(std::vector<std::string> reported);
    // Waits one period; false when Stop was called.
    bool Sleep();

    Listener listener_;
    std::chrono::milliseconds period_{250};
    Mutex mutex_;
    CondVar wake_;
    bool stopping_ GUARDED_BY(mutex_) = false;
    bool firstListed_ GUARDED_BY(mutex_) = false;  // the listener returned from the initial call
    std::thread thread_;
    std::atomic<std::thread::id> threadId_{};
};

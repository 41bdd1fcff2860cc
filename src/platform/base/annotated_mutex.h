// A std::mutex that Clang's thread-safety analysis knows as a lock, its
// scoped holder and a condition variable that waits on it, for state of the
// platform layer that is guarded by a plain mutex rather than a KXLock.
//
// Any thread may use them; the mutex is not recursive. A wait is written as
// a loop over the condition in the holder's scope (not a predicate lambda,
// which the analysis would check without the lock), so every guarded read
// is seen under the lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/base/thread_annotations.h"

class CAPABILITY("mutex") Mutex {
  public:
    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }

  private:
    std::mutex mutex_;
};

class SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() RELEASE() { mutex_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

  private:
    Mutex& mutex_;
};

class CondVar {
  public:
    // Releases the mutex until notified (or woken spuriously), then takes it
    // again; the caller checks its condition.
    void Wait(Mutex& mutex) REQUIRES(mutex) { changed_.wait(mutex); }
    // The same with a time limit: false once the deadline has passed.
    bool WaitUntil(Mutex& mutex, std::chrono::steady_clock::time_point deadline) REQUIRES(mutex) {
        return changed_.wait_until(mutex, deadline) == std::cv_status::no_timeout;
    }
    void NotifyOne() { changed_.notify_one(); }
    void NotifyAll() { changed_.notify_all(); }

  private:
    std::condition_variable_any changed_;
};

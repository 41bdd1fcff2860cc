#include "platform/base/kx_thread.h"

#include <atomic>
#include <cassert>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

struct KXThreadObject {
    std::thread thread;
};

struct KXLockObject {
    std::mutex mutex;
    // The thread that holds the lock, for the checks of debug builds; only
    // that thread stores its own id here, so a thread that reads its own id
    // does hold the lock.
    std::atomic<std::thread::id> owner{};
};

struct KXEventObject {
    std::mutex mutex;
    std::condition_variable changed;
    bool manualReset = false;
    bool set = false;
};

int KXBase_OpenThread(KXThreadFunc func, void* param, KXThread* thread) {
    if (func == nullptr || thread == nullptr) return KX_ERR_ARGUMENT;
    *thread = nullptr;
    auto* object = new (std::nothrow) KXThreadObject;
    if (object == nullptr) return KX_ERR_SYSTEM;
    try {
        object->thread = std::thread([func, param, object] { func(object, param); });
    } catch (const std::system_error&) {
        delete object;
        return KX_ERR_SYSTEM;
    }
    *thread = object;
    return KX_OK;
}

int KXBase_CloseThread(KXThread thread) {
    if (thread == nullptr) return KX_ERR_ARGUMENT;
    if (thread->thread.joinable()) thread->thread.join();
    delete thread;
    return KX_OK;
}

int KXBase_CreateLock(KXLock* lock) {
    if (lock == nullptr) return KX_ERR_ARGUMENT;
    *lock = new (std::nothrow) KXLockObject;
    return *lock != nullptr ? KX_OK : KX_ERR_SYSTEM;
}

// The annotations cannot see that the std::mutex inside is the capability.
int KXBase_EnterLock(KXLock lock) NO_THREAD_SAFETY_ANALYSIS {
    if (lock == nullptr) return KX_ERR_ARGUMENT;
    assert(lock->owner.load(std::memory_order_relaxed) != std::this_thread::get_id() &&
           "a thread entered a lock it already holds");
    lock->mutex.lock();
    lock->owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
    return KX_OK;
}

int KXBase_LeaveLock(KXLock lock) NO_THREAD_SAFETY_ANALYSIS {
    if (lock == nullptr) return KX_ERR_ARGUMENT;
    lock->owner.store(std::thread::id(), std::memory_order_relaxed);
    lock->mutex.unlock();
    return KX_OK;
}

void KXBase_AssertLockHeld([[maybe_unused]] KXLock lock) {
    assert(lock != nullptr &&
           lock->owner.load(std::memory_order_relaxed) == std::this_thread::get_id() &&
           "the lock is not held by this thread");
}

int KXBase_DestroyLock(KXLock lock) {
    if (lock == nullptr) return KX_ERR_ARGUMENT;
    delete lock;
    return KX_OK;
}

int KXBase_CreateEvent(int manualReset, int initialState, KXEvent* event) {
    if (event == nullptr) return KX_ERR_ARGUMENT;
    *event = new (std::nothrow) KXEventObject;
    if (*event == nullptr) return KX_ERR_SYSTEM;
    (*event)->manualReset = manualReset != 0;
    (*event)->set = initialState != 0;
    return KX_OK;
}

int KXBase_SetEvent(KXEvent event) {
    if (event == nullptr) return KX_ERR_ARGUMENT;
    // Notified under the lock: a waiter that returns may destroy the event at
    // once, so the setter must be done with it before the waiter can wake.
    std::lock_guard guard(event->mutex);
    event->set = true;
    event->changed.notify_all();
    return KX_OK;
}

int KXBase_ResetEvent(KXEvent event) {
    if (event == nullptr) return KX_ERR_ARGUMENT;
    std::lock_guard guard(event->mutex);
    event->set = false;
    return KX_OK;
}

int KXBase_WaitEvent(KXEvent event) {
    if (event == nullptr) return KX_ERR_ARGUMENT;
    std::unique_lock guard(event->mutex);
    event->changed.wait(guard, [event] { return event->set; });
    if (!event->manualReset) event->set = false;
    return KX_OK;
}

int KXBase_DestroyEvent(KXEvent event) {
    if (event == nullptr) return KX_ERR_ARGUMENT;
    delete event;
    return KX_OK;
}

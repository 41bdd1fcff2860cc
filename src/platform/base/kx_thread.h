// Threads, locks and events of the base platform library.
//
// Any thread may call these functions. A handle is owned by the code that
// created it and must be released by it: a thread with KXBase_CloseThread
// (which waits for the thread's end), a lock with KXBase_DestroyLock, an
// event with KXBase_DestroyEvent.
//
// A lock is a capability of Clang's thread-safety analysis: members it guards
// are marked GUARDED_BY(lock) and the compiler checks that every access holds
// it. It is not recursive: a thread that enters a lock it already holds is a
// fault (debug builds abort on it; split such code into a function that takes
// the lock and a ...Locked() helper that REQUIRES it).
#pragma once

#include "platform/base/kx_status.h"
#include "platform/base/thread_annotations.h"

struct KXThreadObject;
struct CAPABILITY("mutex") KXLockObject;
struct KXEventObject;
using KXThread = KXThreadObject*;
using KXLock = KXLockObject*;
using KXEvent = KXEventObject*;

// The routine of a thread; it receives its own handle and the caller's parameter.
using KXThreadFunc = void (*)(KXThread thread, void* param);

// Runs func(thread, param) on a new thread; *thread receives its handle.
int KXBase_OpenThread(KXThreadFunc func, void* param, KXThread* thread);
// Waits until the thread's routine has returned, then frees the handle.
int KXBase_CloseThread(KXThread thread);

// A mutual-exclusion lock, entered by one thread at a time and not again by
// the thread that holds it.
int KXBase_CreateLock(KXLock* lock);
int KXBase_EnterLock(KXLock lock) ACQUIRE(lock);
int KXBase_LeaveLock(KXLock lock) RELEASE(lock);
int KXBase_DestroyLock(KXLock lock);
// Tells the analysis that the calling thread holds the lock, where it cannot
// see that itself (a callback through a C function pointer that its caller
// runs under the lock); debug builds abort when the thread does not hold it.
void KXBase_AssertLockHeld(KXLock lock) ASSERT_CAPABILITY(lock);

// manualReset 0: a wait consumes the signal; 1: the event stays set until
// reset. initialState 1 creates the event set. KXBase_WaitEvent returns at
// once if the event is set.
int KXBase_CreateEvent(int manualReset, int initialState, KXEvent* event);
int KXBase_SetEvent(KXEvent event);
int KXBase_ResetEvent(KXEvent event);
int KXBase_WaitEvent(KXEvent event);
int KXBase_DestroyEvent(KXEvent event);

// Holds a lock for the lifetime of the guard.
class SCOPED_CAPABILITY KXLockGuard {
  public:
    explicit KXLockGuard(KXLock lock) ACQUIRE(lock) : lock_(lock) { KXBase_EnterLock(lock_); }
    ~KXLockGuard() RELEASE() { KXBase_LeaveLock(lock_); }
    KXLockGuard(const KXLockGuard&) = delete;
    KXLockGuard& operator=(const KXLockGuard&) = delete;

  private:
    KXLock lock_;
};

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/base/kx_thread.h"

namespace {

struct Shared {
    KXEvent started = nullptr;
    KXEvent release = nullptr;
    KXLock lock = nullptr;
    int counter = 0;
};

void Worker(KXThread, void* param) {
    auto* shared = static_cast<Shared*>(param);
    KXBase_SetEvent(shared->started);
    KXBase_WaitEvent(shared->release);
    for (int i = 0; i < 10000; ++i) {
        KXLockGuard guard(shared->lock);
        ++shared->counter;
    }
}

TEST(Threads, CloseWaitsForTheRoutineAndLocksSerialise) {
    Shared shared;
    ASSERT_EQ(KXBase_CreateEvent(1, 0, &shared.started), 0);
    ASSERT_EQ(KXBase_CreateEvent(1, 0, &shared.release), 0);
    ASSERT_EQ(KXBase_CreateLock(&shared.lock), 0);
    KXThread a = nullptr;
    KXThread b = nullptr;
    ASSERT_EQ(KXBase_OpenThread(Worker, &shared, &a), 0);
    ASSERT_EQ(KXBase_OpenThread(Worker, &shared, &b), 0);
    KXBase_WaitEvent(shared.started);
    KXBase_SetEvent(shared.release);
    KXBase_CloseThread(a);
    KXBase_CloseThread(b);
    EXPECT_EQ(shared.counter, 20000);
    KXBase_DestroyEvent(shared.started);
    KXBase_DestroyEvent(shared.release);
    KXBase_DestroyLock(shared.lock);
}

#ifndef NDEBUG
// Enters the lock twice on purpose; the compile-time analysis reports that
// too, so it is switched off for this one function.
void EnterTwice(KXLock lock) NO_THREAD_SAFETY_ANALYSIS {
    KXLockGuard outer(lock);
    KXLockGuard inner(lock);
}

// The lock is not recursive: a thread entering it again would deadlock, so
// debug builds stop there, and at a claim to hold a lock the thread does not.
TEST(ThreadsDeathTest, ReenteringAHeldLockAndClaimingAnUnheldOneAbort) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    KXLock lock = nullptr;
    ASSERT_EQ(KXBase_CreateLock(&lock), 0);
    EXPECT_DEATH(EnterTwice(lock), "already holds");
    EXPECT_DEATH(KXBase_AssertLockHeld(lock), "not held");
    {
        KXLockGuard held(lock);
        KXBase_AssertLockHeld(lock);
    }
    KXBase_DestroyLock(lock);
}
#endif

TEST(Events, AutoResetEventIsConsumedByOneWait) {
    KXEvent event = nullptr;
    ASSERT_EQ(KXBase_CreateEvent(0, 1, &event), 0);
    EXPECT_EQ(KXBase_WaitEvent(event), 0);  // set at creation: returns at once
    std::atomic<bool> woke{false};
    KXThread waiter = nullptr;
    struct Args {
        KXEvent event;
        std::atomic<bool>* woke;
    } args{event, &woke};
    KXBase_OpenThread(
        [](KXThread, void* p) {
            auto* a = static_cast<Args*>(p);
            KXBase_WaitEvent(a->event);
            *a->woke = true;
        },
        &args, &waiter);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(woke);
    KXBase_SetEvent(event);
    KXBase_CloseThread(waiter);
    EXPECT_TRUE(woke);
    KXBase_DestroyEvent(event);
}

TEST(Threads, NullArgumentsFail) {
    KXThread thread = nullptr;
    EXPECT_NE(KXBase_OpenThread(nullptr, nullptr, &thread), 0);
    EXPECT_NE(KXBase_CloseThread(nullptr), 0);
    EXPECT_NE(KXBase_WaitEvent(nullptr), 0);
}

}  // namespace

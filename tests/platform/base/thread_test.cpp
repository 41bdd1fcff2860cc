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

// The owner may enter again; another thread gets the lock only once the
// owner has left as often as it entered.
TEST(Threads, LockIsReentrantForItsOwner) {
    KXLock lock = nullptr;
    ASSERT_EQ(KXBase_CreateLock(&lock), 0);
    ASSERT_EQ(KXBase_EnterLock(lock), 0);
    ASSERT_EQ(KXBase_EnterLock(lock), 0);
    std::atomic<bool> otherEntered{false};
    std::thread other([&] {
        KXLockGuard guard(lock);
        otherEntered = true;
    });
    EXPECT_EQ(KXBase_LeaveLock(lock), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(otherEntered);
    EXPECT_EQ(KXBase_LeaveLock(lock), 0);
    other.join();
    EXPECT_TRUE(otherEntered);
    KXBase_DestroyLock(lock);
}

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

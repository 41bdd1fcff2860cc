#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/base/kx_pump.h"

namespace {

struct Recorder {
    KXPump pump = nullptr;
    std::vector<uint32_t> ids;
    uint32_t quitAt = 0;
};

void Record(const PumpMessage* message, void* param) {
    auto* recorder = static_cast<Recorder*>(param);
    recorder->ids.push_back(message->id);
    if (message->id == recorder->quitAt) KXBase_QuitMsgPump(recorder->pump);
}

// The pump runs on its own thread while four threads post, so posts land
// while the pump swaps its queue out and hands batches over: every message
// arrives exactly once, and each thread's in the order it posted them. Each
// poster posts its second half only once the pump has delivered one of its
// messages, so posting and delivery are known to overlap.
TEST(Pump, DeliversMessagesFromManyThreadsInPostOrderPerThread) {
    constexpr uint32_t kThreads = 4;
    constexpr uint32_t kPerThread = 5000;
    constexpr uint32_t kStart = 99999;
    struct Delivery {
        KXPump pump = nullptr;
        std::vector<uint32_t> ids;  // written by the pump's thread only
        std::atomic<bool> running{false};
        std::atomic<uint32_t> delivered[kThreads] = {};
    } delivery;
    ASSERT_EQ(KXBase_CreateMsgPump(&delivery.pump), 0);
    auto record = [](const PumpMessage* message, void* param) {
        auto* d = static_cast<Delivery*>(param);
        if (message->id == kStart) {
            d->running = true;
            return;
        }
        d->ids.push_back(message->id);
        ++d->delivered[message->id / 10000];
        if (d->ids.size() == kThreads * kPerThread) KXBase_QuitMsgPump(d->pump);
    };
    std::thread pumpThread([&] { KXBase_RunMsgPump(delivery.pump, record, &delivery); });
    PumpMessage start{kStart, nullptr};
    ASSERT_EQ(KXBase_PostPumpMessage(delivery.pump, &start), 0);
    while (!delivery.running)
        std::this_thread::yield();

    std::vector<std::thread> posters;
    for (uint32_t t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (uint32_t i = 0; i < kPerThread; ++i) {
                if (i == kPerThread / 2) {
                    while (delivery.delivered[t] == 0)
                        std::this_thread::yield();
                }
                PumpMessage message{t * 10000 + i + 1, nullptr};
                EXPECT_EQ(KXBase_PostPumpMessage(delivery.pump, &message), 0);
            }
        });
    }
    for (auto& poster : posters)
        poster.join();
    pumpThread.join();
    // Anything still queued would be a message delivered twice.
    KXBase_DispatchPendingMessages(delivery.pump, record, &delivery);

    ASSERT_EQ(delivery.ids.size(), kThreads * kPerThread);
    std::vector<uint32_t> next(kThreads, 1);
    for (uint32_t id : delivery.ids) {
        uint32_t thread = id / 10000;
        ASSERT_LT(thread, kThreads);
        EXPECT_EQ(id % 10000, next[thread]++);
    }
    KXBase_DestroyMsgPump(delivery.pump);
}

TEST(Pump, QuitLeavesLaterMessagesForDispatchPending) {
    Recorder recorder;
    ASSERT_EQ(KXBase_CreateMsgPump(&recorder.pump), 0);
    recorder.quitAt = 2;
    for (uint32_t id = 1; id <= 4; ++id) {
        PumpMessage message{id, nullptr};
        KXBase_PostPumpMessage(recorder.pump, &message);
    }
    KXBase_RunMsgPump(recorder.pump, Record, &recorder);
    EXPECT_EQ(recorder.ids, (std::vector<uint32_t>{1, 2}));

    PumpMessage late{5, nullptr};
    EXPECT_EQ(KXBase_PostPumpMessage(recorder.pump, &late), 0);
    KXBase_DispatchPendingMessages(recorder.pump, Record, &recorder);
    EXPECT_EQ(recorder.ids, (std::vector<uint32_t>{1, 2, 3, 4, 5}));
    KXBase_DestroyMsgPump(recorder.pump);
}

TEST(Pump, QuitFromAnotherThreadWakesAWaitingPump) {
    Recorder recorder;
    ASSERT_EQ(KXBase_CreateMsgPump(&recorder.pump), 0);
    std::thread quitter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        KXBase_QuitMsgPump(recorder.pump);
    });
    EXPECT_EQ(KXBase_RunMsgPump(recorder.pump, Record, &recorder), 0);
    quitter.join();
    EXPECT_TRUE(recorder.ids.empty());
    KXBase_DestroyMsgPump(recorder.pump);
}

}  // namespace

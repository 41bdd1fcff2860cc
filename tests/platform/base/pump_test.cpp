#include <gtest/gtest.h>

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

TEST(Pump, DeliversMessagesFromManyThreadsInPostOrderPerThread) {
    Recorder recorder;
    ASSERT_EQ(KXBase_CreateMsgPump(&recorder.pump), 0);
    constexpr uint32_t kPerThread = 1000;
    std::vector<std::thread> posters;
    for (uint32_t t = 0; t < 4; ++t) {
        posters.emplace_back([&, t] {
            for (uint32_t i = 0; i < kPerThread; ++i) {
                PumpMessage message{t * 10000 + i + 1, nullptr};
                ASSERT_EQ(KXBase_PostPumpMessage(recorder.pump, &message), 0);
            }
        });
    }
    for (auto& poster : posters)
        poster.join();
    PumpMessage last{99999, nullptr};
    recorder.quitAt = 99999;
    KXBase_PostPumpMessage(recorder.pump, &last);
    ASSERT_EQ(KXBase_RunMsgPump(recorder.pump, Record, &recorder), 0);

    ASSERT_EQ(recorder.ids.size(), 4 * kPerThread + 1);
    std::vector<uint32_t> next(4, 1);
    for (uint32_t id : recorder.ids) {
        if (id == 99999) continue;
        uint32_t thread = id / 10000;
        EXPECT_EQ(id % 10000, next[thread]++);
    }
    KXBase_DestroyMsgPump(recorder.pump);
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

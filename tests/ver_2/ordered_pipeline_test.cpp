// The page workers: parallel work, completions strictly in submission order,
// a bound on unfinished jobs, and draining.
#include "ver_2/ordered_pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace ver_2 {
namespace {

TEST(OrderedPipeline, CompletesInSubmissionOrderWhateverTheWorkTakes) {
    std::vector<int> completed;
    std::atomic<int> running{0};
    std::atomic<int> mostRunning{0};
    std::atomic<int> held{0};  // jobs submitted whose work has not ended
    std::atomic<int> mostHeld{0};
    {
        OrderedPipeline pipeline(3, 4);
        std::mt19937 random(7);
        for (int i = 0; i < 60; ++i) {
            int delay = static_cast<int>(random() % 4);
            mostHeld = std::max(mostHeld.load(), ++held);
            OrderedPipeline::Job job;
            job.work = [&, delay] {
                mostRunning = std::max(mostRunning.load(), ++running);
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
                --running;
                --held;
            };
            job.complete = [&, i] {
                completed.push_back(i);  // completions never overlap
            };
            pipeline.Submit(std::move(job));
        }
        pipeline.Drain();
        EXPECT_EQ(completed.size(), 60u);
    }
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(completed[i], i);
    EXPECT_GT(mostRunning.load(), 1);
    EXPECT_LE(mostRunning.load(), 3);
    // At most the capacity, and the one job counted before Submit admits it.
    EXPECT_LE(mostHeld.load(), 5);
}

TEST(OrderedPipeline, DrainWaitsForTheLastCompletionAndDestructionDrainsToo) {
    std::atomic<int> completed{0};
    OrderedPipeline pipeline(2, 2);
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 5; ++i) {
            pipeline.Submit({[] { std::this_thread::sleep_for(std::chrono::milliseconds(2)); },
                             [&] {
                                 std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                 ++completed;
                             }});
        }
        pipeline.Drain();
        EXPECT_EQ(completed.load(), 5 * (round + 1));
    }
    std::atomic<int> late{0};
    {
        OrderedPipeline other(1, 3);
        for (int i = 0; i < 3; ++i)
            other.Submit({[] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); },
                          [&] { ++late; }});
    }
    EXPECT_EQ(late.load(), 3);
}

}  // namespace
}  // namespace ver_2

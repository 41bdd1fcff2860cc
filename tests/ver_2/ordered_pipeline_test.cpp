// The page workers: parallel work, completions strictly in submission order,
// a bound on unfinished jobs, and draining.
#include "ver_2/ordered_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace ver_2 {
namespace {

TEST(OrderedPipeline, CompletesInSubmissionOrderWhateverTheWorkTakes) {
    std::vector<int> completed;
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
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
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
    // At most the capacity, and the one job counted before Submit admits it.
    EXPECT_LE(mostHeld.load(), 5);
}

// Work held at a gate shows the parallelism: as many jobs run at once as
// there are workers and no more, and a Submit past the capacity waits until
// a job finishes.
class WorkGate {
  public:
    void Pass() {
        std::unique_lock lock(mutex_);
        ++running_;
        mostRunning_ = std::max(mostRunning_, running_);
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        --running_;
    }
    // Whether running jobs reached count within a generous time.
    bool AwaitRunning(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return running_ >= count; });
    }
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    int MostRunning() {
        std::lock_guard lock(mutex_);
        return mostRunning_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int running_ = 0;
    int mostRunning_ = 0;
    bool open_ = false;
};

TEST(OrderedPipeline, RunsOneJobPerWorkerAtOnceAndBlocksSubmitAtCapacity) {
    WorkGate gate;
    std::vector<int> completed;
    std::atomic<int> submitted{0};
    OrderedPipeline pipeline(3, 4);
    std::thread submitter([&] {
        for (int i = 0; i < 5; ++i) {
            pipeline.Submit({[&] { gate.Pass(); }, [&, i] { completed.push_back(i); }});
            ++submitted;
        }
    });
    bool allRunning = gate.AwaitRunning(3);
    EXPECT_TRUE(allRunning) << "three jobs never ran at once";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (allRunning && submitted < 4 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    // The fourth job waits for a worker and the fifth Submit for room.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(gate.MostRunning(), 3);
    EXPECT_EQ(submitted.load(), 4);

    gate.Open();
    submitter.join();
    pipeline.Drain();
    EXPECT_EQ(gate.MostRunning(), 3);
    EXPECT_EQ(completed, (std::vector<int>{0, 1, 2, 3, 4}));
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

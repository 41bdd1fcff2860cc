// A small pool of worker threads that runs jobs in parallel and completes
// them strictly in the order they were submitted. The scan pipeline uses it
// to encode several pages at once while the page still receives them, and
// the saved-file records, in page order.
//
// Thread rule: Submit and Drain may be called from any thread, but jobs are
// ordered by the order of Submit calls, so one thread (the driver's) submits.
// A job's work runs on a worker thread, outside any lock of the pipeline;
// its completion runs on a worker thread too, one completion at a time, never
// before the completions of earlier jobs. Completions must not call Submit
// or Drain. Ownership: the pipeline owns its threads; the destructor drains
// and joins them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/base/kx_thread.h"

namespace ver_2 {

class OrderedPipeline {
  public:
    struct Job {
        std::function<void()> work;      // parallel part
        std::function<void()> complete;  // in submission order
    };

    // workers threads (at least 1); at most capacity jobs (at least 1) are
    // unfinished at a time.
    OrderedPipeline(size_t workers, size_t capacity);
    ~OrderedPipeline();
    OrderedPipeline(const OrderedPipeline&) = delete;
    OrderedPipeline& operator=(const OrderedPipeline&) = delete;

    // Queues a job; blocks while capacity jobs are unfinished.
    void Submit(Job job);
    // Returns once every job submitted so far has completed.
    void Drain();

  private:
    struct Slot {
        Job job;
        bool done = false;
    };

    static void WorkerEntry(KXThread thread, void* self);
    void WorkerLoop();
    // Runs the completions of finished jobs at the front. REQUIRES: lock held.
    void CompleteReady(std::unique_lock<std::mutex>& lock);

    const size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Slot>> waiting_;     // not started yet
    std::deque<std::shared_ptr<Slot>> unfinished_;  // not completed, in order
    bool completing_ = false;
    bool stopping_ = false;
    std::vector<KXThread> threads_;
};

}  // namespace ver_2

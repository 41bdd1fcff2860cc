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

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/base/annotated_mutex.h"
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
    void Submit(Job job) EXCLUDES(mutex_);
    // Returns once every job submitted so far has completed.
    void Drain() EXCLUDES(mutex_);

  private:
    struct Slot {
        Job job;
        bool done = false;  // under the pipeline's mutex_
    };

    static void WorkerEntry(KXThread thread, void* self);
    void WorkerLoop() EXCLUDES(mutex_);
    // Runs the completions of finished jobs at the front; the lock is given
    // up around each completion.
    void CompleteReadyLocked() REQUIRES(mutex_);

    const size_t capacity_;
    Mutex mutex_;
    CondVar changed_;
    std::deque<std::shared_ptr<Slot>> waiting_ GUARDED_BY(mutex_);     // not started yet
    std::deque<std::shared_ptr<Slot>> unfinished_ GUARDED_BY(mutex_);  // not completed, in order
    bool completing_ GUARDED_BY(mutex_) = false;
    bool stopping_ GUARDED_BY(mutex_) = false;
    // Filled by the constructor, then only read.
    std::vector<KXThread> threads_;
};

}  // namespace ver_2

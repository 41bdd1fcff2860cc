#include "ver_2/ordered_pipeline.h"

#include <algorithm>

namespace ver_2 {

OrderedPipeline::OrderedPipeline(size_t workers, size_t capacity)
    : capacity_(std::max<size_t>(capacity, 1)) {
    workers = std::max<size_t>(workers, 1);
    for (size_t i = 0; i < workers; ++i) {
        KXThread thread = nullptr;
        if (KXBase_OpenThread(WorkerEntry, this, &thread) == KX_OK) threads_.push_back(thread);
    }
}

OrderedPipeline::~OrderedPipeline() {
    Drain();
    {
        std::lock_guard guard(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (KXThread thread : threads_)
        KXBase_CloseThread(thread);
}

void OrderedPipeline::Submit(Job job) {
    auto slot = std::make_shared<Slot>();
    slot->job = std::move(job);
    std::unique_lock lock(mutex_);
    if (threads_.empty()) {
        // No worker could be started: run the job here.
        lock.unlock();
        slot->job.work();
        slot->job.complete();
        return;
    }
    changed_.wait(lock, [this] { return unfinished_.size() < capacity_; });
    waiting_.push_back(slot);
    unfinished_.push_back(slot);
    changed_.notify_all();
}

void OrderedPipeline::Drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return unfinished_.empty() && !completing_; });
}

void OrderedPipeline::WorkerEntry(KXThread, void* self) {
    static_cast<OrderedPipeline*>(self)->WorkerLoop();
}

void OrderedPipeline::WorkerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (waiting_.empty()) return;  // stopping, nothing left to do
        std::shared_ptr<Slot> slot = waiting_.front();
        waiting_.pop_front();
        lock.unlock();
        slot->job.work();
        lock.lock();
        slot->done = true;
        CompleteReady(lock);
    }
}

void OrderedPipeline::CompleteReady(std::unique_lock<std::mutex>& lock) {
    if (completing_) return;  // the thread completing now will reach this job
    completing_ = true;
    while (!unfinished_.empty() && unfinished_.front()->done) {
        std::shared_ptr<Slot> slot = unfinished_.front();
        unfinished_.pop_front();
        lock.unlock();
        slot->job.complete();
        slot.reset();
        lock.lock();
        changed_.notify_all();
    }
    completing_ = false;
    changed_.notify_all();
}

}  // namespace ver_2

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
        MutexLock guard(mutex_);
        stopping_ = true;
    }
    changed_.NotifyAll();
    for (KXThread thread : threads_)
        KXBase_CloseThread(thread);
}

void OrderedPipeline::Submit(Job job) {
    if (threads_.empty()) {
        // No worker could be started: run the job here.
        job.work();
        job.complete();
        return;
    }
    auto slot = std::make_shared<Slot>();
    slot->job = std::move(job);
    MutexLock guard(mutex_);
    while (unfinished_.size() >= capacity_)
        changed_.Wait(mutex_);
    waiting_.push_back(slot);
    unfinished_.push_back(slot);
    changed_.NotifyAll();
}

void OrderedPipeline::Drain() {
    MutexLock guard(mutex_);
    while (!unfinished_.empty() || completing_)
        changed_.Wait(mutex_);
}

void OrderedPipeline::WorkerEntry(KXThread, void* self) {
    static_cast<OrderedPipeline*>(self)->WorkerLoop();
}

void OrderedPipeline::WorkerLoop() {
    // Held except around a job's work; locked and unlocked by hand, since it
    // is given up in the middle of every round.
    mutex_.lock();
    for (;;) {
        while (!stopping_ && waiting_.empty())
            changed_.Wait(mutex_);
        if (waiting_.empty()) break;  // stopping, nothing left to do
        std::shared_ptr<Slot> slot = waiting_.front();
        waiting_.pop_front();
        mutex_.unlock();
        slot->job.work();
        mutex_.lock();
        slot->done = true;
        CompleteReadyLocked();
    }
    mutex_.unlock();
}

void OrderedPipeline::CompleteReadyLocked() {
    if (completing_) return;  // the thread completing now will reach this job
    completing_ = true;
    while (!unfinished_.empty() && unfinished_.front()->done) {
        std::shared_ptr<Slot> slot = unfinished_.front();
        unfinished_.pop_front();
        mutex_.unlock();
        slot->job.complete();
        slot.reset();
        mutex_.lock();
        changed_.NotifyAll();
    }
    completing_ = false;
    changed_.NotifyAll();
}

}  // namespace ver_2

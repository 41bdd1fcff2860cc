// The scan jobs a driver has let go of on the job's own thread (a scan's
// callback closing its handle or starting the next scan): such a job cannot
// be joined there, so it is kept until its scan has ended and another
// thread can join it by destroying it.
//
// Job needs Running() and OnJobThread(). Thread rule: none of its own; the
// driver uses it under its lock and destroys taken jobs outside the lock.
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

template <typename Job>
class RetiredJobs {
  public:
    using Jobs = std::vector<std::unique_ptr<Job>>;

    // job back to be joined by the caller, or null when the caller is job's
    // own thread (job is then kept here).
    std::unique_ptr<Job> Release(std::unique_ptr<Job> job) {
        if (job != nullptr && job->OnJobThread()) {
            kept_.push_back(std::move(job));
            return nullptr;
        }
        return job;
    }

    // The kept jobs whose scan has ended, for the caller to join.
    Jobs TakeEnded() {
        Jobs ended;
        auto it = kept_.begin();
        while (it != kept_.end()) {
            if (!(*it)->Running() && !(*it)->OnJobThread()) {
                ended.push_back(std::move(*it));
                it = kept_.erase(it);
            } else {
                ++it;
            }
        }
        return ended;
    }

    // job (unless the caller is its thread, when it is kept here) and the
    // kept jobs that have ended, for the caller to join outside its lock.
    Jobs ReleaseWithEnded(std::unique_ptr<Job> job) {
        std::unique_ptr<Job> released = Release(std::move(job));
        Jobs toJoin = TakeEnded();
        if (released != nullptr) toJoin.push_back(std::move(released));
        return toJoin;
    }

    // Makes way for the next scan of a scanner whose job slot is job: false
    // while that job is still running; else ReleaseWithEnded of it.
    bool MakeWayForScan(std::unique_ptr<Job>& job, Jobs& toJoin) {
        if (job != nullptr && job->Running()) return false;
        toJoin = ReleaseWithEnded(std::move(job));
        return true;
    }

    Jobs TakeAll() {
        Jobs all;
        all.swap(kept_);
        return all;
    }

    bool OnAnyJobThread() const {
        return std::any_of(kept_.begin(), kept_.end(),
                           [](const std::unique_ptr<Job>& job) { return job->OnJobThread(); });
    }

    // True on the thread of a kept job or of a job of the open scanners:
    // handles maps ids to scanners, jobOf gives a scanner's job (or null).
    template <typename Handles, typename JobOf>
    bool OnAnyJobThread(const Handles& handles, JobOf jobOf) const {
        for (const auto& [id, scanner] : handles) {
            const Job* job = jobOf(scanner);
            if (job != nullptr && job->OnJobThread()) return true;
        }
        return OnAnyJobThread();
    }

  private:
    Jobs kept_;
};

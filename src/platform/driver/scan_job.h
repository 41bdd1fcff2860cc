// One scan of a virtual scanner, run on a thread of its own. The thread
// sends SANE_EVENT_WORKING "扫描中", one SANE_EVENT_IMAGE_OK per delivered
// page, and then exactly one SANE_EVENT_SCAN_FINISHED:
//   "扫描完成", value 0     every page of the plan was delivered;
//   "扫描取消", value 0     Stop(kCancel) or Stop(kShutdown) came first;
//   "卡纸", value 1         the plan's jamAfter pages were delivered and the
//                           feeder held more (preceded by SANE_EVENT_ERROR
//                           "卡纸", value 1);
//   "设备已断开", value 1   Stop(kDeviceLost): the scanner went away
//                           (preceded by SANE_EVENT_ERROR with that text);
//   "内存不足", value 1     a page could not be allocated (likewise).
// Each scanned page takes the plan's page delay; a stop request ends the
// scan at once during that delay, or right after the page being delivered.
//
// Thread rule: Start, Stop, Running and OnJobThread from any thread. Stop
// never waits, so it may be called while the job's thread is inside a
// callback. The destructor joins the thread and must not run on it.
// Ownership: the job shares the scanner's page cache, so the cache outlives
// a job that the scanner has let go of.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/base/annotated_mutex.h"
#include "platform/driver/event_sink.h"
#include "platform/driver/page_cache.h"
#include "platform/driver/scan_plan.h"

enum class StopReason { kNone, kCancel, kDeviceLost, kShutdown };

class ScanJob {
  public:
    ScanJob(EventSink sink, SANE_Handle handle, std::string device, ScanPlan plan,
            std::shared_ptr<PageCache> cache);
    ~ScanJob();
    ScanJob(const ScanJob&) = delete;
    ScanJob& operator=(const ScanJob&) = delete;

    // Starts the thread; SANE_STATUS_NO_MEM when it cannot be created.
    SANE_Status Start();
    // Asks the scan to end; the first reason given is the one reported.
    void Stop(StopReason reason);
    // True from Start until the finish event is about to be sent.
    bool Running() const { return running_; }
    bool OnJobThread() const { return std::this_thread::get_id() == threadId_; }

  private:
    enum class Outcome { kCompleted, kStopped, kJammed, kNoMemory };

    void Run();
    Outcome ScanPages();
    // Waits the time one page takes; false when a stop was requested.
    bool WaitPageTime();
    bool Deliver(PageKind kind, int number);
    void Finish(Outcome outcome);
    void Fail(const char* text);

    EventSink sink_;
    SANE_Handle handle_;
    std::string device_;
    ScanPlan plan_;
    std::shared_ptr<PageCache> cache_;

    Mutex mutex_;
    CondVar wake_;
    StopReason stop_ GUARDED_BY(mutex_) = StopReason::kNone;
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::atomic<std::thread::id> threadId_{};
};

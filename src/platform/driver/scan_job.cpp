#include "platform/driver/scan_job.h"

#include <chrono>
#include <new>
#include <system_error>
#include <utility>

#include "platform/base/kx_log.h"
#include "platform/driver/job_thread.h"
#include "platform/driver/scan_texts.h"

namespace {

constexpr const char* kDeviceLost = "设备已断开";

}  // namespace

ScanJob::ScanJob(EventSink sink, SANE_Handle handle, std::string device, ScanPlan plan,
                 std::shared_ptr<PageCache> cache)
    : sink_(sink),
      handle_(handle),
      device_(std::move(device)),
      plan_(std::move(plan)),
      cache_(std::move(cache)) {}

ScanJob::~ScanJob() {
    Stop(StopReason::kShutdown);
    if (thread_.joinable()) thread_.join();
}

SANE_Status ScanJob::Start() {
    return StartJobThread(&thread_, &running_, [this] { Run(); });
}

void ScanJob::Stop(StopReason reason) {
    {
        MutexLock guard(mutex_);
        if (stop_ == StopReason::kNone) stop_ = reason;
    }
    wake_.NotifyAll();
}

void ScanJob::Run() {
    threadId_ = std::this_thread::get_id();
    KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner \"%s\": scan started, %d sheet(s), %d side(s)",
                     device_.c_str(), plan_.sheets, plan_.sidesPerSheet);
    sink_.Text(handle_, SANE_EVENT_WORKING, kScanWorkingText, 0);
    Finish(ScanPages());
}

ScanJob::Outcome ScanJob::ScanPages() {
    PageSequence sequence(plan_);
    PageSequence::Page page;
    int delivered = 0;
    while (sequence.Next(&page)) {
        if (!WaitPageTime()) return Outcome::kStopped;
        if (page.skipped) continue;
        if (plan_.jamAfter > 0 && delivered == plan_.jamAfter) return Outcome::kJammed;
        if (!Deliver(page.kind, delivered + 1)) return Outcome::kNoMemory;
        ++delivered;
    }
    return Outcome::kCompleted;
}

bool ScanJob::WaitPageTime() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(plan_.pageDelayMs);
    MutexLock guard(mutex_);
    while (stop_ == StopReason::kNone && wake_.WaitUntil(mutex_, deadline)) {
    }
    return stop_ == StopReason::kNone;
}

bool ScanJob::Deliver(PageKind kind, int number) {
    RenderedPage* page = nullptr;
    try {
        page = cache_->Get(plan_.render, kind);
    } catch (const std::bad_alloc&) {
        page = nullptr;
    }
    if (page == nullptr) return false;
    StampPageNumber(*page, number);
    SANE_Event_Image image{};
    image.parameters = plan_.render.format.Parameters();
    image.resolution = plan_.render.dpi;
    image.page_number = number;
    image.data = page->Data();
    sink_.Image(handle_, &image);
    return true;
}

void ScanJob::Finish(Outcome outcome) {
    StopReason reason;
    {
        MutexLock guard(mutex_);
        reason = stop_;
    }
    switch (outcome) {
        case Outcome::kCompleted:
            running_ = false;
            sink_.Text(handle_, SANE_EVENT_SCAN_FINISHED, kScanCompletedText, 0);
            break;
        case Outcome::kJammed:
            Fail(kScanJammedText);
            break;
        case Outcome::kNoMemory:
            Fail(kScanNoMemoryText);
            break;
        case Outcome::kStopped:
            if (reason == StopReason::kDeviceLost) {
                Fail(kDeviceLost);
            } else {
                running_ = false;
                sink_.Text(handle_, SANE_EVENT_SCAN_FINISHED, kScanCancelledText, 0);
            }
            break;
    }
    KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner \"%s\": scan ended", device_.c_str());
}

void ScanJob::Fail(const char* text) {
    KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner \"%s\": %s", device_.c_str(), text);
    sink_.Text(handle_, SANE_EVENT_ERROR, text, 1);
    running_ = false;
    sink_.Text(handle_, SANE_EVENT_SCAN_FINISHED, text, 1);
}

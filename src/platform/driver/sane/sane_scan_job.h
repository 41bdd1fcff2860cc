// One scan of a SANE scanner, run on a thread of its own over the worker.
// The thread sends SANE_EVENT_WORKING "扫描中", one SANE_EVENT_IMAGE_OK per
// delivered page (after ProcessSanePage), then exactly one
// SANE_EVENT_SCAN_FINISHED:
//   "扫描完成", value 0   the count was reached, or the feeder ran empty
//                         (SANE_STATUS_NO_DOCS) after at least one page;
//   "扫描取消", value 0   Stop came first; the page being read is dropped;
//   an error text, value 1, preceded by SANE_EVENT_ERROR with the same text:
//                         a device status (ScanStatusText), the worker dying
//                         or not answering, or a page that could not be
//                         processed.
// Pages are read frame by frame (sane_start per frame and per page, reads of
// up to one chunk until SANE_STATUS_EOF); a feeder is read until it is empty
// or the count is reached, a flatbed gives one page per sheet counted. A
// combo device whose feeder is empty at the first page (settings
// flatbedFallback) is switched to its flatbed through the FlatbedSwitch and
// scanned from there, so a document on the glass needs no source option.
// The scan ends with sane_cancel on the device whatever its outcome.
//
// Thread rule: Start, Stop, Running and OnJobThread from any thread; Stop
// never waits. The destructor joins the thread and must not run on it.
// Ownership: the job borrows the worker, which outlives it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/driver/event_sink.h"
#include "platform/driver/sane/page_assembler.h"
#include "platform/driver/sane/sane_worker.h"

// The text of an error status in the events, e.g. "卡纸" for SANE_STATUS_JAMMED.
const char* ScanStatusText(SANE_Status status);

// Where a scan reads: the worker generation and its handle of the device.
struct ScanTarget {
    SaneWorker* worker = nullptr;
    uint64_t generation = 0;
    uint32_t handle = 0;
};

// Sets the device up for its flatbed and gives the settings of that scan.
// Called on the job's thread, between sane_cancel and the next sane_start.
using FlatbedSwitch = std::function<SANE_Status(SaneScanSettings*)>;

class SaneScanJob {
  public:
    SaneScanJob(EventSink sink, SANE_Handle opaque, std::string device, ScanTarget target,
                SaneScanSettings settings, FlatbedSwitch useFlatbed = {});
    ~SaneScanJob();
    SaneScanJob(const SaneScanJob&) = delete;
    SaneScanJob& operator=(const SaneScanJob&) = delete;

    // Starts the thread; SANE_STATUS_NO_MEM when it cannot be created.
    SANE_Status Start();
    void Stop() { stop_ = true; }
    // True from Start until the finish event is about to be sent.
    bool Running() const { return running_; }
    bool OnJobThread() const { return std::this_thread::get_id() == threadId_; }

  private:
    // How reading a page ended: a status of the device, or a worker fault.
    struct ReadResult {
        WorkerFault fault = WorkerFault::kNone;
        SANE_Status status = SANE_STATUS_GOOD;
    };

    void Run();
    // Reads pages and delivers them; the outcome decides the finish event.
    ReadResult ScanPages();
    // The pages of the current source; SANE_STATUS_NO_DOCS when it has none.
    ReadResult ScanSource();
    ReadResult ReadPage(SanePage* page);
    // Reads one frame to its end; a frame past a sane size ends the scan.
    ReadResult ReadFrame(const SANE_Parameters& parameters, std::vector<uint8_t>* data);
    bool Deliver(SanePage page);
    int PagesToRead() const;
    void Finish(const ReadResult& result);
    void Fail(const char* text);

    EventSink sink_;
    SANE_Handle opaque_;
    std::string device_;
    ScanTarget target_;
    SaneScanSettings settings_;
    FlatbedSwitch useFlatbed_;
    int delivered_ = 0;

    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::atomic<std::thread::id> threadId_{};
};

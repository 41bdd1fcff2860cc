// The SANE driver: every scanner the system's SANE library reaches, behind
// the same interface and events as the virtual scanner. libsane runs in a
// worker process (SaneWorker); this side keeps the scanners, their names
// and their page-facing options.
//
// Devices: the worker lists them at Init, which returns once that first
// list has been announced (at most [sane] "first_list_ms"), and then every
// [sane] "poll_ms" while no scan runs. Scanners are named by ScannerNames;
// a name that appears or disappears is reported with
// SANE_EVENT_DEVICE_ARRIVED or SANE_EVENT_DEVICE_LEFT. A scanner that
// disappears while open, or whose worker died, is lost: a running scan on it
// ends with an error, every later call on its handle fails, and Close still
// releases the handle. A scanner can be open on one handle at a time.
//
// The worker: when it dies or does not answer within [sane]
// "read_timeout_s", it is killed, the running scan ends with SANE_EVENT_ERROR
// and SANE_EVENT_SCAN_FINISHED (value 1), the open scanners are reported as
// left, and a new worker starts (after a growing pause when it keeps dying)
// and announces the scanners again.
//
// Options: SaneOptionMap per open handle; its page-facing values belong to
// the scanner name and last until Exit. Options cannot be set while the
// scanner scans. Scans: SaneScanJob.
//
// Thread rule: any thread may call any method (Exit not on a driver
// thread). Callbacks run on the monitor thread (device events) and on one
// thread per running scan (scan events), never while a driver lock is held.
// Cancel never waits. Close of a scanning handle cancels the scan and waits
// for its finish event, except from that scan's own callback.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/annotated_mutex.h"
#include "platform/driver/device_listing.h"
#include "platform/driver/driver_config.h"
#include "platform/driver/retired_jobs.h"
#include "platform/driver/sane/sane_option_map.h"
#include "platform/driver/sane/sane_scan_job.h"
#include "platform/driver/sane/sane_worker.h"
#include "platform/driver/sane/scanner_names.h"
#include "platform/driver/sane/worker_option_port.h"
#include "platform/driver/scanner_driver.h"

class SaneDriver : public ScannerDriver {
  public:
    SaneDriver();
    ~SaneDriver() override;

    SANE_Status Init(const EventSink& sink) override;
    void Exit() override;
    bool OnDriverThread() override;

    SANE_Status GetDevices(const SANE_Device*** list) override;
    SANE_Status Open(SANE_String_Const name, SANE_Handle* handle) override;
    void Close(SANE_Handle handle) override;
    const SANE_Option_Descriptor* GetOptionDescriptor(SANE_Handle handle, SANE_Int option) override;
    SANE_Status ControlOption(SANE_Handle handle, SANE_Int option, SANE_Action action, void* value,
                              SANE_Int* info) override;
    SANE_Status Start(SANE_Handle handle) override;
    void Cancel(SANE_Handle handle) override;

  private:
    struct OpenScanner {
        OpenScanner(std::string scannerName, ScanTarget where)
            : name(std::move(scannerName)), target(where), port(where) {}
        const std::string name;
        const ScanTarget target;
        bool lost = false;                 // REQUIRES: the driver's mutex_
        std::unique_ptr<SaneScanJob> job;  // REQUIRES: the driver's mutex_
        // The option table, used under optionMutex (never with mutex_ held).
        std::mutex optionMutex;
        WorkerOptionPort port;
        SaneOptionMap options;
    };
    using Jobs = RetiredJobs<SaneScanJob>::Jobs;

    // The open scanner behind a handle, or null.
    std::shared_ptr<OpenScanner> Find(SANE_Handle handle) REQUIRES(mutex_);
    std::shared_ptr<OpenScanner> FindUsable(SANE_Handle handle) REQUIRES(mutex_);
    bool ScanRunning() EXCLUDES(mutex_);

    void Monitor();
    // Restarts a dead worker; false when it could not be started.
    bool EnsureWorker();
    // Lists the devices and reports the changes; false when the worker failed.
    bool Poll();
    void Announce(const std::vector<NamedDevice>& devices);
    // Marks the scanners opened in an older worker as lost and reports them as left.
    void ForgetOldWorker();
    // Waits until the next poll is due, or a wake-up; false when stopping.
    bool Sleep(std::chrono::milliseconds period);
    void Wake();

    // Set by Init before the monitor thread starts, then only read.
    SaneConfig config_;
    SaneWorker worker_;

    Mutex mutex_;
    CondVar changed_;
    // Set by Init before the monitor thread starts, then only read.
    EventSink sink_;
    bool running_ GUARDED_BY(mutex_) = false;
    bool stopping_ GUARDED_BY(mutex_) = false;
    bool wakeRequested_ GUARDED_BY(mutex_) = false;
    bool firstListDone_ GUARDED_BY(mutex_) = false;
    std::vector<NamedDevice> devices_ GUARDED_BY(mutex_);    // present scanners
    std::vector<std::string> announced_ GUARDED_BY(mutex_);  // scanners reported as arrived
    ScannerNames names_ GUARDED_BY(mutex_);
    std::map<uintptr_t, std::shared_ptr<OpenScanner>> handles_ GUARDED_BY(mutex_);
    uintptr_t nextHandle_ GUARDED_BY(mutex_) = 1;
    // page-facing values per name
    std::map<std::string, std::vector<std::string>> values_ GUARDED_BY(mutex_);
    RetiredJobs<SaneScanJob> retired_ GUARDED_BY(mutex_);
    std::thread monitor_;
    std::atomic<std::thread::id> monitorId_{};
    std::mutex openMutex_;  // one Open at a time, so a name is opened once

    DeviceListing listing_ GUARDED_BY(mutex_);  // behind the last GetDevices list
};

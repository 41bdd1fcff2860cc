// The built-in virtual scanner: a ScannerDriver with real threads and real
// pixel data, so every scan path of the service runs without hardware.
//
// Devices: the names in "config.ini" [virtual] "devices" (default "Virtual
// Scanner"), read at Init and then watched (DeviceWatcher, every 250 ms).
// Every name present at Init is announced with SANE_EVENT_DEVICE_ARRIVED
// (from the watcher's thread) before Init returns, later names as they
// appear, and names that disappear with SANE_EVENT_DEVICE_LEFT. A scanner that disappears while
// open is lost: a running scan on it ends with SANE_EVENT_ERROR and SANE_EVENT_SCAN_FINISHED
// "设备已断开" (value 1), every later call on its handle fails, and Close
// still releases the handle. A scanner can be open on one handle at a time.
//
// Options: the table of VirtualOptionValues. Values belong to the scanner
// name and last until Exit: closing and reopening a name keeps them, and so
// does the scanner going away and coming back. Options cannot be set while
// the scanner scans.
//
// Scans (ScanJob): each Start re-reads the [virtual] keys "sheets",
// "page_delay_ms", "blank_pages", "fail_start" and "jam_after".
// "扫描指定张数" scans "扫描数量" sheets, "连续扫描" the configured "sheets";
// "单面" yields one page per sheet, the other modes two (front, then back).
// "blank_pages" counts positions in that feeder order, before any skipping:
// with "双面" and blank_pages "2", sheet 1's back is delivered as a blank
// page; with a skip-blank mode the same page is scanned but not delivered,
// and the delivered pages are numbered 1, 2, 3... without gaps (the
// page_number of the record and the number printed on the page). "jam_after"
// N jams the feeder when page N + 1 is about to be delivered (a plan of N
// pages or fewer completes). "fail_start" 1 makes Start fail with
// SANE_STATUS_IO_ERROR and no events; a feeder with no sheets ("sheets" 0)
// fails with SANE_STATUS_NO_DOCS. Pages are drawn by PageRenderer and kept in
// a PageCache per open handle. "图像拆分", "  锐化" and "跳过空白页灵敏度" are
// kept and reported but do not change the pages; "黑白图像噪点优化" off leaves
// rare isolated dots on black-and-white pages.
//
// Thread rule: any thread may call any method (Exit not on a driver thread).
// Callbacks run on the watcher thread (device events) and on one thread per
// running scan (scan events), never while the scanner's lock is held, so a
// callback may call back into the driver; Cancel never waits, so it can be
// called while a callback is blocked. Close of a scanning handle cancels the
// scan and waits for its finish event, except from that scan's own callback,
// where the scan is left to end by itself (Exit waits for it).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/annotated_mutex.h"
#include "platform/driver/device_listing.h"
#include "platform/driver/device_watcher.h"
#include "platform/driver/retired_jobs.h"
#include "platform/driver/scan_job.h"
#include "platform/driver/scanner_driver.h"
#include "platform/driver/virtual_options.h"

class VirtualScanner : public ScannerDriver {
  public:
    VirtualScanner() = default;
    ~VirtualScanner() override;

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
        std::string name;
        bool lost = false;
        std::shared_ptr<PageCache> cache = std::make_shared<PageCache>();
        std::unique_ptr<ScanJob> job;
    };
    using Jobs = RetiredJobs<ScanJob>::Jobs;

    // The open scanner behind a handle (lost or not), or null.
    OpenScanner* Find(SANE_Handle handle) REQUIRES(mutex_);
    OpenScanner* FindUsable(SANE_Handle handle) REQUIRES(mutex_);
    void DevicesChanged(const std::vector<std::string>& names) EXCLUDES(mutex_);
    SANE_Status LaunchScan(SANE_Handle handle, const VirtualScanConfig& config) EXCLUDES(mutex_);

    Mutex mutex_;
    EventSink sink_ GUARDED_BY(mutex_);
    bool running_ GUARDED_BY(mutex_) = false;
    std::vector<std::string> devices_ GUARDED_BY(mutex_);    // present scanners
    std::vector<std::string> announced_ GUARDED_BY(mutex_);  // scanners reported as arrived
    std::map<uintptr_t, OpenScanner> handles_ GUARDED_BY(mutex_);
    uintptr_t nextHandle_ GUARDED_BY(mutex_) = 1;
    std::map<std::string, VirtualOptionValues> options_ GUARDED_BY(mutex_);
    RetiredJobs<ScanJob> retired_ GUARDED_BY(mutex_);
    DeviceWatcher watcher_;

    DeviceListing listing_ GUARDED_BY(mutex_);  // behind the last GetDevices list
};

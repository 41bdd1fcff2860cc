// The interface behind the sane_qnsane_ calls: one implementation per kind of
// scanner driver, of which the process runs at most one at a time (chosen by
// "config.ini" [driver] "name" when sane_qnsane_init_ex runs).
//
// The methods mirror the calls and keep their contracts: statuses instead of
// exceptions, handles that are opaque and checked (a handle the driver did
// not hand out, or has closed, fails cleanly), events through the sink on the
// driver's own threads. Any thread may call any method; Exit must not be
// called on one of the driver's threads (OnDriverThread says so). The
// created driver is owned by the caller, who calls Exit before destroying it.
#pragma once

#include <memory>
#include <string>

#include "platform/driver/event_sink.h"
#include "platform/driver/sane_qnsane.h"

class ScannerDriver {
  public:
    virtual ~ScannerDriver() = default;

    // Starts the driver; events may flow from then until Exit returns.
    // Returns once the driver's first listing of devices is done and the
    // SANE_EVENT_DEVICE_ARRIVED events of the scanners it found have been
    // delivered (every callback returned), so a caller that keeps its list
    // from those events sees the scanners present at start as soon as Init
    // returns. The wait is bounded (a few seconds at most); a listing that
    // takes longer is finished later and announced by the same events. The
    // arrival callbacks run on a driver thread while Init waits, so they must
    // not wait for the thread that called Init.
    virtual SANE_Status Init(const EventSink& sink) = 0;
    // Stops every thread of the driver (no callback runs after it returns),
    // closes all handles and forgets every per-scanner state.
    virtual void Exit() = 0;
    // Whether the calling thread is one of the driver's own threads.
    virtual bool OnDriverThread() = 0;

    virtual SANE_Status GetDevices(const SANE_Device*** list) = 0;
    virtual SANE_Status Open(SANE_String_Const name, SANE_Handle* handle) = 0;
    virtual void Close(SANE_Handle handle) = 0;
    virtual const SANE_Option_Descriptor* GetOptionDescriptor(SANE_Handle handle,
                                                              SANE_Int option) = 0;
    virtual SANE_Status ControlOption(SANE_Handle handle, SANE_Int option, SANE_Action action,
                                      void* value, SANE_Int* info) = 0;
    virtual SANE_Status Start(SANE_Handle handle) = 0;
    virtual void Cancel(SANE_Handle handle) = 0;
};

// The driver named by name ("sane": SaneDriver, "virtual": VirtualScanner),
// not yet initialised; any other name gives SANE_STATUS_INVAL and is logged.
SANE_Status CreateScannerDriver(const std::string& name, std::unique_ptr<ScannerDriver>* driver);

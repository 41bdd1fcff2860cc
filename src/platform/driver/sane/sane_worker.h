// The service's side of the worker process (scanbridge-sane): starts it on
// a socketpair, makes one request at a time and waits for the reply, and
// kills it when it dies, garbles a reply or does not answer in time.
//
// Every start makes a new generation; handles of the worker are only valid
// in the generation that opened them, and a call naming an older generation
// fails as if the worker had died. After a failure the process is gone
// (killed and reaped) and the failure listener has been called; the owner
// decides when to start the next one.
//
// Thread rule: any thread; calls are serialised by the worker's own lock,
// which is never held while the failure listener runs. Ownership: the
// worker owns the process and its end of the socketpair.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/annotated_mutex.h"
#include "platform/driver/sane/frame_channel.h"
#include "platform/driver/sane/worker_protocol.h"

enum class WorkerFault {
    kNone,
    kDied,     // the process exited, crashed, garbled a reply or is from an older generation
    kTimeout,  // no reply in time; the process was killed
};

// The outcome of one request: a fault of the worker, or the SANE status the
// worker's libsane gave.
struct WorkerReply {
    WorkerFault fault = WorkerFault::kNone;
    SANE_Status status = SANE_STATUS_GOOD;
    bool ok() const { return fault == WorkerFault::kNone && status == SANE_STATUS_GOOD; }
};

class SaneWorker {
  public:
    using FailureListener = std::function<void(WorkerFault fault)>;

    explicit SaneWorker(FailureListener listener) : listener_(std::move(listener)) {}
    ~SaneWorker();
    SaneWorker(const SaneWorker&) = delete;
    SaneWorker& operator=(const SaneWorker&) = delete;

    // The executable: SCANBRIDGE_SANE_WORKER, else scanbridge-sane beside
    // the running executable.
    static std::string ExecutablePath();

    // Starts a new process; false (and logged) when it cannot be started.
    bool Start(std::chrono::milliseconds callTimeout);
    // Asks the process to end (it closes libsane), kills it when it does not.
    void Stop();
    // Kills the running process at once, without waiting for the call in
    // progress, which then fails: for a shutdown that cannot wait for a hung
    // backend. Any thread; never blocks on a call.
    void Abort();
    bool Running();
    uint64_t generation();

    WorkerReply List(std::vector<WireDevice>* devices);
    WorkerReply Open(uint64_t generation, const std::string& name, uint32_t* handle);
    WorkerReply Close(uint64_t generation, uint32_t handle);
    WorkerReply Describe(uint64_t generation, uint32_t handle, std::vector<DeviceOption>* options,
                         std::vector<std::pair<SANE_Int, OptionValue>>* values);
    WorkerReply Get(uint64_t generation, uint32_t handle, SANE_Int index, OptionValue* value);
    WorkerReply Set(uint64_t generation, uint32_t handle, SANE_Int index, const OptionValue& value,
                    SANE_Int* info);
    WorkerReply Start(uint64_t generation, uint32_t handle, SANE_Parameters* parameters);
    // Appends what one sane_read gave to *data.
    WorkerReply Read(uint64_t generation, uint32_t handle, uint32_t maxBytes,
                     std::vector<uint8_t>* data);
    WorkerReply Cancel(uint64_t generation, uint32_t handle);

  private:
    // Sends a request and takes its reply's status; *reply holds the body,
    // positioned after the status. Kills the process on any fault.
    WorkerReply Call(uint64_t generation, const MessageWriter& request, std::vector<uint8_t>* body,
                     MessageReader* reply) EXCLUDES(mutex_);
    // result, or a dead worker when the reply's fields did not decode.
    WorkerReply Decoded(bool decoded, WorkerReply result) EXCLUDES(mutex_);
    static MessageWriter Request(WorkerRequest type, uint32_t handle);
    // Kills and reaps the process (unless already reaped: pid_ -1) and
    // closes the channel.
    void KillLocked() REQUIRES(mutex_);
    // After a fault: kills the process; true when one was running.
    bool KillAfterFaultLocked() REQUIRES(mutex_);
    // The reply of a call that failed with fault; a process that was running
    // is logged and reported to the listener, outside the lock.
    WorkerReply Failed(WorkerFault fault, bool wasRunning) EXCLUDES(mutex_);
    // The process Abort may kill; cleared before the process is reaped, so
    // Abort never signals a process id the system has handed out again.
    void SetAbortTarget(pid_t pid) EXCLUDES(abortMutex_);

    FailureListener listener_;
    Mutex mutex_;
    pid_t pid_ GUARDED_BY(mutex_) = -1;
    int fd_ GUARDED_BY(mutex_) = -1;
    std::unique_ptr<FrameChannel> channel_ GUARDED_BY(mutex_);
    uint64_t generation_ GUARDED_BY(mutex_) = 0;
    std::chrono::milliseconds timeout_ GUARDED_BY(mutex_){120000};
    Mutex abortMutex_;
    pid_t abortPid_ GUARDED_BY(abortMutex_) = -1;
};

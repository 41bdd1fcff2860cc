#include "platform/driver/sane/sane_worker.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "platform/base/kx_log.h"
#include "platform/base/kx_system.h"

namespace {

constexpr uint64_t kAnyGeneration = 0;
constexpr std::chrono::milliseconds kExitGrace{2000};

// Waits up to grace for the process to end; false when it is still running.
bool Reap(pid_t pid, std::chrono::milliseconds grace) {
    auto deadline = std::chrono::steady_clock::now() + grace;
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The descriptor the worker finds its channel on.
constexpr int kChildChannelFd = 3;

// Forks and execs the worker with childFd as its channel on descriptor 3
// and no other descriptor of the service (listening sockets, files) open.
// Only async-signal-safe calls run between fork and exec.
pid_t Spawn(const std::string& path, int childFd) {
    std::string fdText = std::to_string(kChildChannelFd);
    char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("--channel-fd"),
                    fdText.data(), nullptr};
    pid_t pid = fork();
    if (pid != 0) return pid;
    if (childFd == kChildChannelFd)
        fcntl(childFd, F_SETFD, 0);
    else if (dup2(childFd, kChildChannelFd) < 0)  // dup2 leaves the copy open across exec
        _exit(127);
    close_range(kChildChannelFd + 1, ~0U, 0);
    execv(path.c_str(), argv);
    _exit(127);
}

}  // namespace

SaneWorker::~SaneWorker() {
    Stop();
}

std::string SaneWorker::ExecutablePath() {
    if (std::string path = KXBase_GetEnvironment("SCANBRIDGE_SANE_WORKER"); !path.empty())
        return path;
    char self[4096] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string exe = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
    size_t slash = exe.rfind('/');
    return (slash == std::string::npos ? std::string(".") : exe.substr(0, slash)) +
           "/scanbridge-sane";
}

bool SaneWorker::Start(std::chrono::milliseconds callTimeout) {
    MutexLock guard(mutex_);
    if (pid_ > 0) return true;
    std::string path = ExecutablePath();
    if (access(path.c_str(), X_OK) != 0) {
        KXBase_WriteInfo(KX_LOG_INFO, "SANE driver: worker \"%s\" not found", path.c_str());
        return false;
    }
    int ends[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        KXBase_WriteInfo(KX_LOG_INFO, "SANE driver: socketpair failed (errno %d)", errno);
        return false;
    }
    pid_t pid = Spawn(path, ends[1]);
    close(ends[1]);
    if (pid < 0) {
        close(ends[0]);
        KXBase_WriteInfo(KX_LOG_INFO, "SANE driver: cannot start the worker (errno %d)", errno);
        return false;
    }
    pid_ = pid;
    SetAbortTarget(pid);
    fd_ = ends[0];
    channel_ = std::make_unique<FrameChannel>(fd_);
    timeout_ = callTimeout;
    ++generation_;
    KXBase_WriteInfo(KX_LOG_INFO, "SANE driver: worker started (pid %d)", static_cast<int>(pid));
    return true;
}

void SaneWorker::Stop() {
    MutexLock guard(mutex_);
    if (pid_ <= 0) return;
    shutdown(fd_, SHUT_RDWR);  // the worker sees the end of its requests and exits
    SetAbortTarget(-1);
    if (Reap(pid_, kExitGrace)) pid_ = -1;
    KillLocked();
}

bool SaneWorker::Running() {
    MutexLock guard(mutex_);
    return pid_ > 0;
}

uint64_t SaneWorker::generation() {
    MutexLock guard(mutex_);
    return generation_;
}

void SaneWorker::Abort() {
    MutexLock guard(abortMutex_);
    if (abortPid_ > 0) kill(abortPid_, SIGKILL);
}

void SaneWorker::SetAbortTarget(pid_t pid) {
    MutexLock guard(abortMutex_);
    abortPid_ = pid;
}

void SaneWorker::KillLocked() {
    if (pid_ > 0) {
        SetAbortTarget(-1);
        kill(pid_, SIGKILL);
        Reap(pid_, kExitGrace);
        pid_ = -1;
    }
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    channel_.reset();
}

bool SaneWorker::KillAfterFaultLocked() {
    bool wasRunning = pid_ > 0;
    KillLocked();
    return wasRunning;
}

WorkerReply SaneWorker::Failed(WorkerFault fault, bool wasRunning) {
    if (wasRunning) {
        KXBase_WriteInfo(
            KX_LOG_INFO, "SANE driver: worker %s",
            fault == WorkerFault::kTimeout ? "did not answer in time; killed" : "died");
        if (listener_) listener_(fault);
    }
    return {fault, SANE_STATUS_IO_ERROR};
}

WorkerReply SaneWorker::Call(uint64_t generation, const MessageWriter& request,
                             std::vector<uint8_t>* body, MessageReader* reply) {
    WorkerFault fault = WorkerFault::kDied;
    bool wasRunning = false;
    {
        MutexLock guard(mutex_);
        if (pid_ <= 0 || (generation != kAnyGeneration && generation != generation_))
            return {WorkerFault::kDied, SANE_STATUS_IO_ERROR};
        if (channel_->Send(request) == ChannelResult::kOk) {
            ChannelResult received = channel_->Receive(body, timeout_);
            if (received == ChannelResult::kOk) {
                *reply = MessageReader(*body);
                int32_t status = 0;
                if (reply->Int(&status))
                    return {WorkerFault::kNone, static_cast<SANE_Status>(status)};
            } else if (received == ChannelResult::kTimeout) {
                fault = WorkerFault::kTimeout;
            }
        }
        wasRunning = KillAfterFaultLocked();
    }
    return Failed(fault, wasRunning);
}

MessageWriter SaneWorker::Request(WorkerRequest type, uint32_t handle) {
    MessageWriter request;
    request.Byte(static_cast<uint8_t>(type));
    request.Word(handle);
    return request;
}

WorkerReply SaneWorker::Decoded(bool decoded, WorkerReply result) {
    if (decoded) return result;
    // A reply whose fields do not decode: the stream can no longer be trusted.
    bool wasRunning = false;
    {
        MutexLock guard(mutex_);
        wasRunning = KillAfterFaultLocked();
    }
    return Failed(WorkerFault::kDied, wasRunning);
}

WorkerReply SaneWorker::List(std::vector<WireDevice>* devices) {
    MessageWriter request;
    request.Byte(static_cast<uint8_t>(WorkerRequest::kList));
    std::vector<uint8_t> body;
    MessageReader reply(body);
    WorkerReply result = Call(kAnyGeneration, request, &body, &reply);
    devices->clear();
    if (!result.ok()) return result;
    uint32_t count = 0;
    reply.Word(&count);
    for (uint32_t i = 0; i < count && reply.ok(); ++i) {
        WireDevice device;
        if (reply.Device(&device)) devices->push_back(std::move(device));
    }
    return Decoded(reply.ok(), result);
}

WorkerReply SaneWorker::Open(uint64_t generation, const std::string& name, uint32_t* handle) {
    MessageWriter request;
    request.Byte(static_cast<uint8_t>(WorkerRequest::kOpen));
    request.Text(name);
    std::vector<uint8_t> body;
    MessageReader reply(body);
    WorkerReply result = Call(generation, request, &body, &reply);
    if (!result.ok()) return result;
    reply.Word(handle);
    return Decoded(reply.ok(), result);
}

WorkerReply SaneWorker::Close(uint64_t generation, uint32_t handle) {
    std::vector<uint8_t> body;
    MessageReader reply(body);
    return Call(generation, Request(WorkerRequest::kClose, handle), &body, &reply);
}

WorkerReply SaneWorker::Describe(uint64_t generation, uint32_t handle,
                                 std::vector<DeviceOption>* options,
                                 std::vector<std::pair<SANE_Int, OptionValue>>* values) {
    std::vector<uint8_t> body;
    MessageReader reply(body);
    WorkerReply result = Call(generation, Request(WorkerRequest::kDescribe, handle), &body, &reply);
    options->clear();
    values->clear();
    if (!result.ok()) return result;
    uint32_t count = 0;
    reply.Word(&count);
    for (uint32_t i = 0; i < count && reply.ok(); ++i) {
        DeviceOption option;
        uint8_t hasValue = 0;
        OptionValue value;
        if (!reply.Option(&option) || !reply.Byte(&hasValue) || !reply.Value(&value)) break;
        if (hasValue != 0) values->emplace_back(option.index, std::move(value));
        options->push_back(std::move(option));
    }
    return Decoded(reply.ok(), result);
}

WorkerReply SaneWorker::Get(uint64_t generation, uint32_t handle, SANE_Int index,
                            OptionValue* value) {
    MessageWriter request = Request(WorkerRequest::kGet, handle);
    request.Int(index);
    std::vector<uint8_t> body;
    MessageReader reply(body);
    WorkerReply result = Call(generation, request, &body, &reply);
    if (!result.ok()) return result;
    reply.Value(value);
    return Decoded(reply.ok(), result);
}

WorkerReply SaneWorker::Set(uint64_t generation, uint32_t handle, SANE_Int index,
                            const OptionValue& value, SANE_Int* info) {
    MessageWriter request = Request(WorkerRequest::kSet, handle);
    request.Int(index);
    request.Value(value);
    std::vector<uint8_t> body;
    MessageReader reply(body);
    WorkerReply result = Call(generation, request, &body, &reply);
    *info = 0;
    if (result.fault != WorkerFault::kNone || result.status != SANE_STATUS_GOOD) return result;
    reply.Int(info);
    return Decoded(reply.ok(), result);
}

WorkerReply SaneWorker::Start(uint64_t generation, uint32_t handle, SANE_Parameters* parameters) {
    std::vector<uint8_t> body;
    MessageReader reply(body);
    WorkerReply result = Call(generation, Request(WorkerRequest::kStart, handle), &body, &reply);
    if (!result.ok()) return result;
    reply.Parameters(parameters);
    return Decoded(reply.ok(), result);
}

WorkerReply SaneWorker::Read(uint64_t generation, uint32_t handle, uint32_t maxBytes,
                             std::vector<uint8_t>* data) {
    MessageWriter request = Request(WorkerRequest::kRead, handle);
    request.Word(maxBytes);
    std::vector<uint8_t> body;
    MessageReader reply(body);
    WorkerReply result = Call(generation, request, &body, &reply);
    if (result.fault != WorkerFault::kNone) return result;
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    bool fits = reply.Bytes(&bytes, &size) && size <= maxBytes;
    if (fits) data->insert(data->end(), bytes, bytes + size);
    return Decoded(fits, result);
}

WorkerReply SaneWorker::Cancel(uint64_t generation, uint32_t handle) {
    std::vector<uint8_t> body;
    MessageReader reply(body);
    return Call(generation, Request(WorkerRequest::kCancel, handle), &body, &reply);
}

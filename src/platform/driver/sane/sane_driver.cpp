#include "platform/driver/sane/sane_driver.h"

#include <algorithm>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/base/kx_log.h"

namespace {

constexpr std::chrono::milliseconds kFirstBackoff{250};
// How long Exit lets the driver's threads end by themselves before it kills
// the worker under them.
constexpr std::chrono::milliseconds kExitGrace{2000};
constexpr std::chrono::milliseconds kLongestBackoff{8000};

// Runs action once after grace unless destroyed first; destruction waits
// for the action to return.
class Watchdog {
  public:
    Watchdog(std::chrono::milliseconds grace, std::function<void()> action)
        : thread_([this, grace, action = std::move(action)] {
              if (!WaitDone(std::chrono::steady_clock::now() + grace)) action();
          }) {}
    ~Watchdog() {
        {
            MutexLock guard(mutex_);
            done_ = true;
        }
        changed_.NotifyAll();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

  private:
    // False when the deadline passed first.
    bool WaitDone(std::chrono::steady_clock::time_point deadline) {
        MutexLock guard(mutex_);
        while (!done_ && changed_.WaitUntil(mutex_, deadline)) {
        }
        return done_;
    }

    Mutex mutex_;
    CondVar changed_;
    bool done_ GUARDED_BY(mutex_) = false;
    std::thread thread_;  // last: starts once the members above exist
};

uintptr_t HandleId(SANE_Handle handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

const NamedDevice* FindNamed(const std::vector<NamedDevice>& devices, const std::string& name) {
    for (const NamedDevice& device : devices) {
        if (device.name == name) return &device;
    }
    return nullptr;
}

// The pause before the next try after failures consecutive worker failures.
std::chrono::milliseconds Backoff(int failures) {
    std::chrono::milliseconds pause = kFirstBackoff;
    for (int i = 1; i < failures && pause < kLongestBackoff; ++i)
        pause *= 2;
    return std::min(pause, kLongestBackoff);
}

}  // namespace

SaneDriver::SaneDriver() : worker_([this](WorkerFault) { Wake(); }) {}

SaneDriver::~SaneDriver() {
    Exit();
}

SANE_Status SaneDriver::Init(const EventSink& sink) {
    SaneConfig config = ReadSaneConfig();
    {
        MutexLock guard(mutex_);
        if (running_) return SANE_STATUS_INVAL;
        config_ = config;
        sink_ = sink;
        running_ = true;
        stopping_ = false;
        wakeRequested_ = false;
        firstListDone_ = false;
    }
    if (!worker_.Start(std::chrono::seconds(config.readTimeoutS))) {
        MutexLock guard(mutex_);
        running_ = false;
        return SANE_STATUS_IO_ERROR;
    }
    monitor_ = std::thread([this] { Monitor(); });
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(config.firstListMs);
    MutexLock guard(mutex_);
    while (!firstListDone_ && changed_.WaitUntil(mutex_, deadline)) {
    }
    if (!firstListDone_) {
        KXBase_WriteInfo(KX_LOG_INFO,
                         "SANE driver: the first device list takes longer than %d ms; "
                         "scanners will be announced as they are found",
                         config.firstListMs);
    }
    KXBase_WriteInfo(KX_LOG_INFO, "SANE driver started with %zu scanner(s)", devices_.size());
    return SANE_STATUS_GOOD;
}

void SaneDriver::Exit() {
    if (OnDriverThread()) {
        KXBase_WriteInfo(KX_LOG_INFO, "SANE driver: exit from a driver thread refused");
        return;
    }
    std::map<uintptr_t, std::shared_ptr<OpenScanner>> handles;
    Jobs retired;
    {
        MutexLock guard(mutex_);
        if (!running_) return;
        running_ = false;
        stopping_ = true;
        handles.swap(handles_);
        retired = retired_.TakeAll();
        for (auto& [id, scanner] : handles) {
            if (scanner->job != nullptr) scanner->job->Stop();
        }
    }
    changed_.NotifyAll();
    {
        // A backend stuck in a call (a vanished network scanner) would hold
        // the exit for the whole read time limit; past a short grace the
        // worker is killed, which fails the call at once.
        Watchdog watchdog(kExitGrace, [this] { worker_.Abort(); });
        if (monitor_.joinable()) monitor_.join();
        for (auto& [id, scanner] : handles)
            scanner->job.reset();  // the scans deliver their finish events first
        retired.clear();
        handles.clear();
    }
    worker_.Stop();
    MutexLock guard(mutex_);
    values_.clear();
    devices_.clear();
    announced_.clear();
    listing_.Clear();
    KXBase_WriteInfo(KX_LOG_INFO, "SANE driver stopped");
}

bool SaneDriver::OnDriverThread() {
    if (std::this_thread::get_id() == monitorId_.load()) return true;
    MutexLock guard(mutex_);
    return retired_.OnAnyJobThread(
        handles_, [](const std::shared_ptr<OpenScanner>& scanner) { return scanner->job.get(); });
}

SANE_Status SaneDriver::GetDevices(const SANE_Device*** list) {
    if (list == nullptr) return SANE_STATUS_INVAL;
    MutexLock guard(mutex_);
    std::vector<ListedDevice> devices;
    for (const NamedDevice& device : devices_)
        devices.push_back(
            {device.name, device.device.vendor, device.device.model, device.device.type});
    return listing_.PublishTo(running_, std::move(devices), list);
}

SANE_Status SaneDriver::Open(SANE_String_Const name, SANE_Handle* handle) {
    if (handle == nullptr) return SANE_STATUS_INVAL;
    *handle = nullptr;
    if (name == nullptr) return SANE_STATUS_INVAL;
    std::lock_guard opening(openMutex_);
    std::string saneName;
    // Asked before taking mutex_: the worker's lock may be held by a long read.
    uint64_t generation = worker_.generation();
    {
        MutexLock guard(mutex_);
        const NamedDevice* device = running_ ? FindNamed(devices_, name) : nullptr;
        if (device == nullptr) return SANE_STATUS_INVAL;
        for (auto& [id, scanner] : handles_) {
            if (scanner->name == name && !scanner->lost) return SANE_STATUS_DEVICE_BUSY;
        }
        saneName = device->device.name;
    }
    uint32_t workerHandle = 0;
    WorkerReply opened = worker_.Open(generation, saneName, &workerHandle);
    if (!opened.ok()) {
        KXBase_WriteInfo(KX_LOG_INFO, "SANE scanner \"%s\" (%s): open failed (status %d)", name,
                         saneName.c_str(), opened.status);
        return opened.fault == WorkerFault::kNone ? opened.status : SANE_STATUS_IO_ERROR;
    }
    auto scanner =
        std::make_shared<OpenScanner>(name, ScanTarget{&worker_, generation, workerHandle});
    SANE_Status loaded = scanner->options.Load(scanner->port);
    if (loaded != SANE_STATUS_GOOD) {
        worker_.Close(generation, workerHandle);
        return loaded;
    }
    MutexLock guard(mutex_);
    auto kept = values_.find(name);
    if (kept != values_.end()) scanner->options.Restore(kept->second);
    uintptr_t id = nextHandle_++;
    handles_[id] = scanner;
    *handle = reinterpret_cast<SANE_Handle>(id);
    KXBase_WriteInfo(KX_LOG_INFO, "SANE scanner \"%s\" (%s) opened", name, saneName.c_str());
    return SANE_STATUS_GOOD;
}

void SaneDriver::Close(SANE_Handle handle) {
    std::shared_ptr<OpenScanner> scanner;
    Jobs toJoin;
    bool lost = false;
    {
        MutexLock guard(mutex_);
        scanner = Find(handle);
        if (scanner == nullptr) return;
        if (scanner->job != nullptr) scanner->job->Stop();
        toJoin = retired_.ReleaseWithEnded(std::move(scanner->job));
        lost = scanner->lost;
        handles_.erase(HandleId(handle));
    }
    // Joining the scans happens outside the lock, so their last callbacks may
    // still call into the driver.
    toJoin.clear();
    std::vector<std::string> values;
    {
        std::lock_guard options(scanner->optionMutex);
        values = scanner->options.Values();
    }
    {
        MutexLock guard(mutex_);
        if (running_) values_[scanner->name] = std::move(values);
    }
    if (!lost) worker_.Close(scanner->target.generation, scanner->target.handle);
    KXBase_WriteInfo(KX_LOG_INFO, "SANE scanner \"%s\" closed", scanner->name.c_str());
}

const SANE_Option_Descriptor* SaneDriver::GetOptionDescriptor(SANE_Handle handle, SANE_Int option) {
    std::shared_ptr<OpenScanner> scanner;
    {
        MutexLock guard(mutex_);
        scanner = FindUsable(handle);
        if (scanner == nullptr) return nullptr;
    }
    std::lock_guard options(scanner->optionMutex);
    return scanner->options.Descriptor(option);
}

SANE_Status SaneDriver::ControlOption(SANE_Handle handle, SANE_Int option, SANE_Action action,
                                      void* value, SANE_Int* info) {
    if (info != nullptr) *info = 0;
    std::shared_ptr<OpenScanner> scanner;
    {
        MutexLock guard(mutex_);
        scanner = FindUsable(handle);
        if (scanner == nullptr) return SANE_STATUS_INVAL;
        bool scanning = scanner->job != nullptr && scanner->job->Running();
        if (scanning && action != SANE_ACTION_GET_VALUE) return SANE_STATUS_DEVICE_BUSY;
    }
    std::lock_guard options(scanner->optionMutex);
    return scanner->options.Control(scanner->port, option, action, value, info);
}

SANE_Status SaneDriver::Start(SANE_Handle handle) {
    std::shared_ptr<OpenScanner> scanner;
    Jobs finished;
    {
        MutexLock guard(mutex_);
        scanner = FindUsable(handle);
        if (scanner == nullptr) return SANE_STATUS_INVAL;
        if (!retired_.MakeWayForScan(scanner->job, finished)) return SANE_STATUS_DEVICE_BUSY;
    }
    finished.clear();  // the last scans have sent their finish events; wait for their threads
    SaneScanSettings settings;
    {
        std::lock_guard options(scanner->optionMutex);
        SANE_Status prepared = scanner->options.PrepareScan(scanner->port, &settings);
        if (prepared != SANE_STATUS_GOOD) return prepared;
    }
    // The scan's thread may switch a combo device to its flatbed; the scanner
    // outlives the job (Close joins it), yet a weak reference costs nothing.
    FlatbedSwitch useFlatbed = [weak = std::weak_ptr(scanner)](SaneScanSettings* flatbed) {
        std::shared_ptr<OpenScanner> open = weak.lock();
        if (open == nullptr) return SANE_STATUS_INVAL;
        std::lock_guard options(open->optionMutex);
        return open->options.PrepareFlatbedScan(open->port, flatbed);
    };
    auto job = std::make_unique<SaneScanJob>(sink_, handle, scanner->name, scanner->target,
                                             settings, std::move(useFlatbed));
    MutexLock guard(mutex_);
    if (!running_ || scanner->lost) return SANE_STATUS_INVAL;
    if (scanner->job != nullptr) return SANE_STATUS_DEVICE_BUSY;
    SANE_Status started = job->Start();
    if (started == SANE_STATUS_GOOD) scanner->job = std::move(job);
    return started;
}

void SaneDriver::Cancel(SANE_Handle handle) {
    MutexLock guard(mutex_);
    std::shared_ptr<OpenScanner> scanner = Find(handle);
    if (scanner != nullptr && scanner->job != nullptr) scanner->job->Stop();
}

std::shared_ptr<SaneDriver::OpenScanner> SaneDriver::Find(SANE_Handle handle) {
    if (!running_) return nullptr;
    auto it = handles_.find(HandleId(handle));
    return it != handles_.end() ? it->second : nullptr;
}

std::shared_ptr<SaneDriver::OpenScanner> SaneDriver::FindUsable(SANE_Handle handle) {
    std::shared_ptr<OpenScanner> scanner = Find(handle);
    return scanner != nullptr && !scanner->lost ? scanner : nullptr;
}

bool SaneDriver::ScanRunning() {
    MutexLock guard(mutex_);
    for (auto& [id, scanner] : handles_) {
        if (scanner->job != nullptr && scanner->job->Running()) return true;
    }
    return false;
}

void SaneDriver::Monitor() {
    monitorId_ = std::this_thread::get_id();
    int failures = 0;
    for (;;) {
        ForgetOldWorker();
        bool healthy = EnsureWorker() && (ScanRunning() || Poll());
        failures = healthy ? 0 : failures + 1;
        {
            MutexLock guard(mutex_);
            // A failure this round has been seen; its wake-up must not cut the pause.
            if (!healthy) wakeRequested_ = false;
            firstListDone_ = true;
        }
        changed_.NotifyAll();
        if (!Sleep(healthy ? std::chrono::milliseconds(config_.pollMs) : Backoff(failures))) break;
    }
}

bool SaneDriver::EnsureWorker() {
    if (worker_.Running()) return true;
    return worker_.Start(std::chrono::seconds(config_.readTimeoutS));
}

bool SaneDriver::Poll() {
    std::vector<WireDevice> listed;
    WorkerReply reply = worker_.List(&listed);
    if (reply.fault != WorkerFault::kNone) return false;
    if (reply.status != SANE_STATUS_GOOD) {
        // The scanners are not known to be gone: keep them until a list succeeds.
        KXBase_WriteInfo(KX_LOG_INFO, "SANE driver: listing devices failed (status %d)",
                         reply.status);
        return true;
    }
    std::vector<NamedDevice> named;
    {
        MutexLock guard(mutex_);
        named = names_.Update(listed);
    }
    Announce(named);
    return true;
}

void SaneDriver::Announce(const std::vector<NamedDevice>& devices) {
    std::vector<NamedDevice> left;
    std::vector<NamedDevice> arrived;
    {
        MutexLock guard(mutex_);
        if (!running_) return;
        for (const std::string& name : announced_) {
            if (FindNamed(devices, name) != nullptr) continue;
            const NamedDevice* gone = FindNamed(devices_, name);
            left.push_back(gone != nullptr ? *gone : NamedDevice{name, {}});
        }
        for (const NamedDevice& device : devices) {
            if (!Contains(announced_, device.name)) arrived.push_back(device);
        }
        announced_.clear();
        for (const NamedDevice& device : devices)
            announced_.push_back(device.name);
        devices_ = devices;
        for (auto& [id, scanner] : handles_) {
            if (FindNamed(left, scanner->name) != nullptr) scanner->lost = true;
        }
    }
    for (const NamedDevice& device : left) {
        KXBase_WriteInfo(KX_LOG_INFO, "SANE scanner \"%s\" left", device.name.c_str());
        sink_.Device(SANE_EVENT_DEVICE_LEFT, device.name, device.device.vendor,
                     device.device.model);
    }
    for (const NamedDevice& device : arrived) {
        KXBase_WriteInfo(KX_LOG_INFO, "SANE scanner \"%s\" (%s) arrived", device.name.c_str(),
                         device.device.name.c_str());
        sink_.Device(SANE_EVENT_DEVICE_ARRIVED, device.name, device.device.vendor,
                     device.device.model);
    }
}

void SaneDriver::ForgetOldWorker() {
    bool alive = worker_.Running();
    uint64_t generation = worker_.generation();
    std::vector<NamedDevice> left;
    {
        MutexLock guard(mutex_);
        for (auto& [id, scanner] : handles_) {
            if (scanner->lost || (alive && scanner->target.generation == generation)) continue;
            scanner->lost = true;
            const NamedDevice* device = FindNamed(devices_, scanner->name);
            left.push_back(device != nullptr ? *device : NamedDevice{scanner->name, {}});
            announced_.erase(std::remove(announced_.begin(), announced_.end(), scanner->name),
                             announced_.end());
        }
    }
    for (const NamedDevice& device : left) {
        KXBase_WriteInfo(KX_LOG_INFO, "SANE scanner \"%s\" lost with its worker",
                         device.name.c_str());
        sink_.Device(SANE_EVENT_DEVICE_LEFT, device.name, device.device.vendor,
                     device.device.model);
    }
}

bool SaneDriver::Sleep(std::chrono::milliseconds period) {
    auto deadline = std::chrono::steady_clock::now() + period;
    MutexLock guard(mutex_);
    while (!stopping_ && !wakeRequested_ && changed_.WaitUntil(mutex_, deadline)) {
    }
    wakeRequested_ = false;
    return !stopping_;
}

void SaneDriver::Wake() {
    {
        MutexLock guard(mutex_);
        wakeRequested_ = true;
    }
    changed_.NotifyAll();
}

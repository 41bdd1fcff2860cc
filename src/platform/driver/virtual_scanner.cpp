#include "platform/driver/virtual_scanner.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/base/kx_log.h"
#include "platform/driver/driver_config.h"

namespace {

constexpr std::chrono::milliseconds kDevicePollPeriod{250};
// Init waits at most this long for the arrival events of the scanners present.
constexpr std::chrono::milliseconds kFirstListLimit{5000};

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

uintptr_t HandleId(SANE_Handle handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

}  // namespace

VirtualScanner::~VirtualScanner() {
    Exit();
}

SANE_Status VirtualScanner::Init(const EventSink& sink) {
    std::vector<std::string> initial = ReadVirtualDevices();
    {
        MutexLock guard(mutex_);
        if (running_) return SANE_STATUS_INVAL;
        sink_ = sink;
        devices_ = initial;
        announced_.clear();
        running_ = true;
    }
    KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner driver started with %zu scanner(s)",
                     initial.size());
    SANE_Status status = watcher_.Start(
        initial, [this](const std::vector<std::string>& names) { DevicesChanged(names); },
        kDevicePollPeriod, kFirstListLimit);
    if (status != SANE_STATUS_GOOD) {
        MutexLock guard(mutex_);
        running_ = false;
        devices_.clear();
    }
    return status;
}

void VirtualScanner::Exit() {
    if (OnDriverThread()) {
        KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner: exit from a driver thread refused");
        return;
    }
    std::map<uintptr_t, OpenScanner> handles;
    Jobs retired;
    {
        MutexLock guard(mutex_);
        if (!running_) return;
        running_ = false;
        handles.swap(handles_);
        retired = retired_.TakeAll();
    }
    for (auto& [id, scanner] : handles) {
        if (scanner.job != nullptr) scanner.job->Stop(StopReason::kShutdown);
    }
    watcher_.Stop();
    handles.clear();  // joins the scans, which deliver their finish events first
    retired.clear();
    MutexLock guard(mutex_);
    options_.clear();
    devices_.clear();
    announced_.clear();
    listing_.Clear();
    KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner driver stopped");
}

bool VirtualScanner::OnDriverThread() {
    if (watcher_.OnWatcherThread()) return true;
    MutexLock guard(mutex_);
    return retired_.OnAnyJobThread(handles_,
                                   [](const OpenScanner& scanner) { return scanner.job.get(); });
}

SANE_Status VirtualScanner::GetDevices(const SANE_Device*** list) {
    if (list == nullptr) return SANE_STATUS_INVAL;
    MutexLock guard(mutex_);
    std::vector<ListedDevice> devices;
    for (const std::string& name : devices_)
        devices.push_back({name, "ScanBridge", "Virtual Scanner", "sheetfed scanner"});
    return listing_.PublishTo(running_, std::move(devices), list);
}

SANE_Status VirtualScanner::Open(SANE_String_Const name, SANE_Handle* handle) {
    if (handle == nullptr) return SANE_STATUS_INVAL;
    *handle = nullptr;
    if (name == nullptr) return SANE_STATUS_INVAL;
    MutexLock guard(mutex_);
    if (!running_ || !Contains(devices_, name)) return SANE_STATUS_INVAL;
    for (auto& [id, scanner] : handles_) {
        if (scanner.name == name && !scanner.lost) return SANE_STATUS_DEVICE_BUSY;
    }
    options_.try_emplace(name);
    uintptr_t id = nextHandle_++;
    handles_[id].name = name;
    *handle = reinterpret_cast<SANE_Handle>(id);
    KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner \"%s\" opened", name);
    return SANE_STATUS_GOOD;
}

void VirtualScanner::Close(SANE_Handle handle) {
    Jobs toJoin;
    {
        MutexLock guard(mutex_);
        auto it = handles_.find(HandleId(handle));
        if (it == handles_.end()) return;
        if (it->second.job != nullptr) it->second.job->Stop(StopReason::kCancel);
        toJoin = retired_.ReleaseWithEnded(std::move(it->second.job));
        KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner \"%s\" closed", it->second.name.c_str());
        handles_.erase(it);
    }
    // Destroying the jobs waits for their threads, outside the lock, so their
    // last callbacks may still call into the driver.
}

const SANE_Option_Descriptor* VirtualScanner::GetOptionDescriptor(SANE_Handle handle,
                                                                  SANE_Int option) {
    MutexLock guard(mutex_);
    if (FindUsable(handle) == nullptr) return nullptr;
    return VirtualOptionDescriptor(option);
}

SANE_Status VirtualScanner::ControlOption(SANE_Handle handle, SANE_Int option, SANE_Action action,
                                          void* value, SANE_Int* info) {
    if (info != nullptr) *info = 0;
    MutexLock guard(mutex_);
    OpenScanner* scanner = FindUsable(handle);
    if (scanner == nullptr) return SANE_STATUS_INVAL;
    VirtualOptionValues& values = options_[scanner->name];
    switch (action) {
        case SANE_ACTION_GET_VALUE:
            return values.Get(option, value);
        case SANE_ACTION_SET_VALUE:
            if (scanner->job != nullptr && scanner->job->Running()) return SANE_STATUS_DEVICE_BUSY;
            return values.Set(option, value, info);
        default:
            return SANE_STATUS_INVAL;
    }
}

SANE_Status VirtualScanner::Start(SANE_Handle handle) {
    Jobs finished;
    {
        MutexLock guard(mutex_);
        OpenScanner* scanner = FindUsable(handle);
        if (scanner == nullptr) return SANE_STATUS_INVAL;
        if (!retired_.MakeWayForScan(scanner->job, finished)) return SANE_STATUS_DEVICE_BUSY;
    }
    finished.clear();  // the last scans have sent their finish events; wait for their threads
    VirtualScanConfig config = ReadVirtualScanConfig();
    if (config.failStart) {
        KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner: start refused (fail_start=1)");
        return SANE_STATUS_IO_ERROR;
    }
    return LaunchScan(handle, config);
}

SANE_Status VirtualScanner::LaunchScan(SANE_Handle handle, const VirtualScanConfig& config) {
    MutexLock guard(mutex_);
    OpenScanner* scanner = FindUsable(handle);
    if (scanner == nullptr) return SANE_STATUS_INVAL;
    if (scanner->job != nullptr) return SANE_STATUS_DEVICE_BUSY;
    ScanPlan plan = MakeScanPlan(options_[scanner->name], config);
    if (plan.sheets <= 0) {
        KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner \"%s\": no paper in the feeder",
                         scanner->name.c_str());
        return SANE_STATUS_NO_DOCS;
    }
    auto job =
        std::make_unique<ScanJob>(sink_, handle, scanner->name, std::move(plan), scanner->cache);
    SANE_Status status = job->Start();
    if (status == SANE_STATUS_GOOD) scanner->job = std::move(job);
    return status;
}

void VirtualScanner::Cancel(SANE_Handle handle) {
    MutexLock guard(mutex_);
    OpenScanner* scanner = Find(handle);
    if (scanner != nullptr && scanner->job != nullptr) scanner->job->Stop(StopReason::kCancel);
}

VirtualScanner::OpenScanner* VirtualScanner::Find(SANE_Handle handle) {
    if (!running_) return nullptr;
    auto it = handles_.find(HandleId(handle));
    return it != handles_.end() ? &it->second : nullptr;
}

VirtualScanner::OpenScanner* VirtualScanner::FindUsable(SANE_Handle handle) {
    OpenScanner* scanner = Find(handle);
    return scanner != nullptr && !scanner->lost ? scanner : nullptr;
}

void VirtualScanner::DevicesChanged(const std::vector<std::string>& names) {
    std::vector<std::string> left;
    std::vector<std::string> arrived;
    EventSink sink;
    {
        MutexLock guard(mutex_);
        if (!running_) return;
        sink = sink_;
        for (const std::string& name : announced_) {
            if (!Contains(names, name)) left.push_back(name);
        }
        for (const std::string& name : names) {
            if (!Contains(announced_, name)) arrived.push_back(name);
        }
        announced_ = names;
        devices_ = names;
        for (auto& [id, scanner] : handles_) {
            if (scanner.lost || !Contains(left, scanner.name)) continue;
            scanner.lost = true;
            if (scanner.job != nullptr) scanner.job->Stop(StopReason::kDeviceLost);
        }
    }
    for (const std::string& name : left) {
        KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner \"%s\" left", name.c_str());
        sink.Device(SANE_EVENT_DEVICE_LEFT, name);
    }
    for (const std::string& name : arrived) {
        KXBase_WriteInfo(KX_LOG_INFO, "virtual scanner \"%s\" arrived", name.c_str());
        sink.Device(SANE_EVENT_DEVICE_ARRIVED, name);
    }
}

#include "platform/driver/sane/sane_scan_job.h"

#include <algorithm>
#include <limits>
#include <new>
#include <system_error>
#include <utility>

#include "platform/base/kx_log.h"
#include "platform/driver/job_thread.h"
#include "platform/driver/scan_texts.h"

namespace {

constexpr const char* kWorkerDied = "扫描仪驱动异常退出";
constexpr const char* kWorkerSilent = "扫描仪无响应";
// Largest frame kept: an A3 page at 1200 dpi in 48-bit colour is about 1.3 GiB.
constexpr uint64_t kMaxFrameBytes = uint64_t{2} << 30;

}  // namespace

const char* ScanStatusText(SANE_Status status) {
    switch (status) {
        case SANE_STATUS_JAMMED:
            return kScanJammedText;
        case SANE_STATUS_NO_DOCS:
            return "进纸器中没有纸张";
        case SANE_STATUS_COVER_OPEN:
            return "盖板打开";
        case SANE_STATUS_DEVICE_BUSY:
            return "设备忙";
        case SANE_STATUS_IO_ERROR:
            return "输入输出错误";
        case SANE_STATUS_ACCESS_DENIED:
            return "拒绝访问";
        case SANE_STATUS_NO_MEM:
            return kScanNoMemoryText;
        case SANE_STATUS_UNSUPPORTED:
            return "不支持的操作";
        case SANE_STATUS_CANCELLED:
            return kScanCancelledText;
        default:
            return "扫描仪错误";
    }
}

SaneScanJob::SaneScanJob(EventSink sink, SANE_Handle opaque, std::string device, ScanTarget target,
                         SaneScanSettings settings, FlatbedSwitch useFlatbed)
    : sink_(sink),
      opaque_(opaque),
      device_(std::move(device)),
      target_(target),
      settings_(settings),
      useFlatbed_(std::move(useFlatbed)) {}

SaneScanJob::~SaneScanJob() {
    Stop();
    if (thread_.joinable()) thread_.join();
}

SANE_Status SaneScanJob::Start() {
    return StartJobThread(&thread_, &running_, [this] { Run(); });
}

void SaneScanJob::Run() {
    threadId_ = std::this_thread::get_id();
    KXBase_WriteInfo(KX_LOG_INFO, "SANE scanner \"%s\": scan started (%s, %d sheet(s))",
                     device_.c_str(), settings_.feeder ? "feeder" : "flatbed",
                     settings_.sheetLimit);
    sink_.Text(opaque_, SANE_EVENT_WORKING, kScanWorkingText, 0);
    ReadResult result = ScanPages();
    if (result.fault == WorkerFault::kNone)
        target_.worker->Cancel(target_.generation, target_.handle);
    Finish(result);
}

int SaneScanJob::PagesToRead() const {
    int sides = settings_.duplex ? 2 : 1;
    if (settings_.sheetLimit > 0) return settings_.sheetLimit * sides;
    // Without a count a feeder is read until it is empty; a flatbed holds one sheet.
    return settings_.feeder ? std::numeric_limits<int>::max() : sides;
}

SaneScanJob::ReadResult SaneScanJob::ScanPages() {
    ReadResult result = ScanSource();
    bool feederEmpty = result.fault == WorkerFault::kNone && result.status == SANE_STATUS_NO_DOCS &&
                       delivered_ == 0;
    if (!feederEmpty || !settings_.flatbedFallback || !useFlatbed_) return result;

    WorkerReply cancelled = target_.worker->Cancel(target_.generation, target_.handle);
    if (cancelled.fault != WorkerFault::kNone) return {cancelled.fault, cancelled.status};
    SANE_Status switched = useFlatbed_(&settings_);
    if (switched != SANE_STATUS_GOOD) return {WorkerFault::kNone, switched};
    KXBase_WriteInfo(KX_LOG_INFO, "SANE scanner \"%s\": the feeder is empty, scanning the flatbed",
                     device_.c_str());
    return ScanSource();
}

SaneScanJob::ReadResult SaneScanJob::ScanSource() {
    int limit = PagesToRead();
    for (int read = 0; read < limit; ++read) {
        SanePage page;
        ReadResult result = ReadPage(&page);
        if (result.fault == WorkerFault::kNone && result.status == SANE_STATUS_NO_DOCS &&
            read > 0) {
            return {};
        }
        if (result.fault != WorkerFault::kNone || result.status != SANE_STATUS_GOOD) return result;
        if (!Deliver(std::move(page))) return {WorkerFault::kNone, SANE_STATUS_NO_MEM};
        if (stop_) return {WorkerFault::kNone, SANE_STATUS_CANCELLED};
    }
    return {};
}

SaneScanJob::ReadResult SaneScanJob::ReadPage(SanePage* page) {
    PageAssembler assembler;
    while (!assembler.Complete()) {
        if (stop_) return {WorkerFault::kNone, SANE_STATUS_CANCELLED};
        SANE_Parameters parameters{};
        WorkerReply started =
            target_.worker->Start(target_.generation, target_.handle, &parameters);
        if (started.fault != WorkerFault::kNone || started.status != SANE_STATUS_GOOD)
            return {started.fault, started.status};
        std::vector<uint8_t> data;
        ReadResult frame = ReadFrame(parameters, &data);
        if (frame.fault != WorkerFault::kNone || frame.status != SANE_STATUS_GOOD) return frame;
        SANE_Status added = assembler.AddFrame(parameters, std::move(data));
        if (added != SANE_STATUS_GOOD) {
            KXBase_WriteInfo(KX_LOG_INFO,
                             "SANE scanner \"%s\": unusable frame (format %d, "
                             "depth %d, %d x %d)",
                             device_.c_str(), parameters.format, parameters.depth,
                             parameters.pixels_per_line, parameters.lines);
            return {WorkerFault::kNone, SANE_STATUS_IO_ERROR};
        }
    }
    *page = assembler.Take(settings_.resolution);
    return {};
}

SaneScanJob::ReadResult SaneScanJob::ReadFrame(const SANE_Parameters& parameters,
                                               std::vector<uint8_t>* data) {
    uint64_t announced = static_cast<uint64_t>(std::max(parameters.lines, 0)) *
                         static_cast<uint64_t>(std::max(parameters.bytes_per_line, 0));
    try {
        if (announced <= kMaxFrameBytes) data->reserve(static_cast<size_t>(announced));
        for (;;) {
            if (stop_) return {WorkerFault::kNone, SANE_STATUS_CANCELLED};
            WorkerReply reply =
                target_.worker->Read(target_.generation, target_.handle, kMaxReadChunk, data);
            if (reply.fault != WorkerFault::kNone) return {reply.fault, reply.status};
            if (reply.status == SANE_STATUS_EOF) return {};
            if (reply.status != SANE_STATUS_GOOD) return {WorkerFault::kNone, reply.status};
            if (data->size() > kMaxFrameBytes) {
                KXBase_WriteInfo(KX_LOG_INFO, "SANE scanner \"%s\": a frame past %llu bytes",
                                 device_.c_str(), static_cast<unsigned long long>(kMaxFrameBytes));
                return {WorkerFault::kNone, SANE_STATUS_NO_MEM};
            }
        }
    } catch (const std::bad_alloc&) {
        return {WorkerFault::kNone, SANE_STATUS_NO_MEM};
    }
}

bool SaneScanJob::Deliver(SanePage page) {
    std::vector<SanePage> pages;
    SANE_Status status = SANE_STATUS_NO_MEM;
    try {
        status = ProcessSanePage(std::move(page), settings_, &pages);
    } catch (const std::bad_alloc&) {
        status = SANE_STATUS_NO_MEM;
    }
    if (status != SANE_STATUS_GOOD) return false;
    for (SanePage& out : pages) {
        SANE_Event_Image image{};
        image.parameters = out.parameters;
        image.resolution = out.resolution;
        image.page_number = ++delivered_;
        image.data = out.data.data();
        sink_.Image(opaque_, &image);
    }
    return true;
}

void SaneScanJob::Finish(const ReadResult& result) {
    if (result.fault == WorkerFault::kDied) {
        Fail(kWorkerDied);
    } else if (result.fault == WorkerFault::kTimeout) {
        Fail(kWorkerSilent);
    } else if (result.status == SANE_STATUS_GOOD) {
        running_ = false;
        sink_.Text(opaque_, SANE_EVENT_SCAN_FINISHED, kScanCompletedText, 0);
    } else if (result.status == SANE_STATUS_CANCELLED) {
        running_ = false;
        sink_.Text(opaque_, SANE_EVENT_SCAN_FINISHED, kScanCancelledText, 0);
    } else {
        Fail(ScanStatusText(result.status));
    }
    KXBase_WriteInfo(KX_LOG_INFO, "SANE scanner \"%s\": scan ended, %d page(s)", device_.c_str(),
                     delivered_);
}

void SaneScanJob::Fail(const char* text) {
    KXBase_WriteInfo(KX_LOG_INFO, "SANE scanner \"%s\": %s", device_.c_str(), text);
    sink_.Text(opaque_, SANE_EVENT_ERROR, text, 1);
    running_ = false;
    sink_.Text(opaque_, SANE_EVENT_SCAN_FINISHED, text, 1);
}

// Scan session scan pipeline: starting and stopping scans, the driver's event
// handler, and turning every scanned page into a saved file.
//
// A page is copied out of the driver's record on the driver thread, given
// the scan's options under `lock` and its file name and encoding settings by
// the output files, then checked for blankness and encoded on a page worker
// while the driver delivers the next pages. Pages are recorded
// (PUMP_MSG_V2_FILE_SAVED) and reported to the page (imageCallback) strictly
// in the order they arrived, and all of them before the scan's end is
// signalled. A page that cannot be copied or saved is named in the log,
// and the scan's end is then reported as an error ("错误", flag 1) even when
// the driver finished normally, so the page never takes a scan that lost
// pages for a success.
#include <algorithm>
#include <memory>

#include "net/pump_messages.h"
#include "platform/base/kx_log.h"
#include "platform/base/kx_paths.h"
#include "platform/base/kx_system.h"
#include "platform/base/service_thread.h"
#include "platform/driver/driver_event.h"
#include "platform/image/proc/kx_imgproc.h"
#include "platform/image/scanner_page.h"
#include "ver_2/error_info.h"
#include "ver_2/ordered_pipeline.h"
#include "ver_2/output_files.h"
#include "ver_2/page_files.h"
#include "ver_2/pump_messages_v2.h"
#include "ver_2/scan_session.h"

namespace ver_2 {

namespace {

// One page on its way from the driver to a file and to the page.
struct ScannedPage {
    int number = 0;  // 1-based within the scan
    KXImage image = nullptr;
    bool temporary = false;
    bool checkBlank = false;
    PageSaveSettings settings;
    std::string path;
    int32_t blank = 0;
    bool saved = false;
};

// Blank check and encoding, on a page worker.
void EncodePage(ScannedPage& page) {
    if (page.checkBlank) KXImgProc_ImageBlankCheck(page.image, nullptr, &page.blank);
    page.saved = WritePageFile(page.image, page.settings, page.path) == 0;
    KXBase_DestroyImage(page.image);
    page.image = nullptr;
}

}  // namespace

int ScanSession::StartScan(bool blankCheck, bool localSave, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (!deviceOpened_) return Refuse(error, kNoScanner);
    if (scanning_) return Refuse(error, kScanRunning);
    KXEvent done = nullptr;
    KXBase_CreateEvent(0, 0, &done);
    {
        KXLockGuard guard(lock_);
        blankCheck_ = blankCheck;
        saveToTemp_ = !localSave;
        scanDoneEvent_ = done;
        ++scanNumber_;
        pagesReceived_ = 0;
    }
    pagesLost_ = 0;
    SANE_Status status = sane_qnsane_start(device_);
    if (status == SANE_STATUS_GOOD) {
        scanning_ = true;
        return 0;
    }
    ClearScanState();
    KXBase_DestroyEvent(done);
    return Refuse(error, "the scanner did not start: " + DriverStatusText(status));
}

int ScanSession::StopScan(ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (!scanning_) return Refuse(error, "no scan is running");
    FinishScan();
    return 0;
}

void ScanSession::OnScanFinished(uint64_t scanNumber) {
    SB_ASSERT_SERVICE_THREAD();
    bool current = false;
    {
        KXLockGuard guard(lock_);
        current = scanNumber == scanNumber_;
    }
    if (scanning_ && current) FinishScan();
}

void ScanSession::FinishScan() {
    KXEvent done = nullptr;
    {
        KXLockGuard guard(lock_);
        done = scanDoneEvent_;
    }
    sane_qnsane_cancel(device_);
    KXBase_WaitEvent(done);
    ClearScanState();
    KXBase_DestroyEvent(done);
    scanning_ = false;
    // The page buffers of the scan have been freed; hand their memory back
    // to the system instead of keeping it for the next scan.
    KXBase_ReleaseFreeMemory();
}

void ScanSession::ClearScanState() {
    KXLockGuard guard(lock_);
    scanDoneEvent_ = nullptr;
    blankCheck_ = false;
    saveToTemp_ = false;
}

SANE_Int ScanSession::DriverEventHandler(void*, SANE_Int code, void* data, SANE_Int* value,
                                         void* user) {
    auto* self = static_cast<ScanSession*>(user);
    DriverEvent event = DecodeDriverEvent(code, data, value);
    LogDriverEvent(event);
    int flag = event.failed ? 1 : 0;
    switch (event.kind) {
        case DriverEventKind::kDeviceArrived:
            self->DeviceArrived(event.text);
            break;
        case DriverEventKind::kDeviceLeft:
            self->DeviceLeft(event.text);
            break;
        case DriverEventKind::kStatus:
            self->ReportEvent(3, event.text, 0);
            break;
        case DriverEventKind::kError:
            self->ReportEvent(6, event.text, flag);
            break;
        case DriverEventKind::kWorking:
            self->ReportEvent(4, event.text, 0);
            break;
        case DriverEventKind::kPage:
            if (event.page != nullptr)
                self->OnPageScanned(*event.page);
            else
                self->PageLost(self->NextPageNumber(), "the driver sent no page record", "");
            break;
        case DriverEventKind::kScanFinished:
            self->OnScanEnded(event.text, flag);
            break;
        case DriverEventKind::kOther:
            break;
    }
    return 0;
}

void ScanSession::DeviceArrived(const char* name) {
    KXLockGuard guard(lock_);
    deviceNameList_.emplace_back(name);
    if (eventCallback_ != nullptr) eventCallback_(1, name, 0, eventUserData_);
}

void ScanSession::DeviceLeft(const char* name) {
    auto message = std::make_unique<DeviceNameMessage>();
    message->session = this;
    message->name = name;
    PostPayload(pump_, PUMP_MSG_V2_DEVICE_LEFT, std::move(message));
    KXLockGuard guard(lock_);
    auto it = std::find(deviceNameList_.begin(), deviceNameList_.end(), name);
    if (it != deviceNameList_.end()) deviceNameList_.erase(it);
    if (eventCallback_ != nullptr) eventCallback_(2, name, 0, eventUserData_);
}

void ScanSession::ReportEvent(int code, const char* text, int flag) {
    KXLockGuard guard(lock_);
    if (eventCallback_ != nullptr) eventCallback_(code, text, flag, eventUserData_);
}

int ScanSession::NextPageNumber() {
    KXLockGuard guard(lock_);
    return ++pagesReceived_;
}

void ScanSession::OnPageScanned(const SANE_Event_Image& record) {
    auto page = std::make_shared<ScannedPage>();
    page->number = NextPageNumber();
    page->image = CopyScannerPage(record, KX_PIXEL_KEEP);
    if (page->image == nullptr) {
        PageLost(page->number, "the scanned image cannot be copied", "");
        return;
    }
    OrderedPipeline* workers = nullptr;
    {
        KXLockGuard guard(lock_);
        page->temporary = saveToTemp_;
        page->checkBlank = blankCheck_;
        workers = pageWorkers_.get();
    }
    outputs_.PreparePage(page->temporary, page->path, page->settings);

    OrderedPipeline::Job job;
    job.work = [page] { EncodePage(*page); };
    job.complete = [this, page] {
        if (!page->saved) {
            PageLost(page->number, "it cannot be saved", page->path);
            return;
        }
        KXLockGuard guard(lock_);
        if (!page->temporary) {
            auto message = std::make_unique<FilePathMessage>();
            message->files = &outputs_;
            message->path = page->path;
            if (!PostPayload(pump_, PUMP_MSG_V2_FILE_SAVED, std::move(message))) {
                KXBase_WriteInfo(KX_LOG_INFO, "page %d saved but not recorded, filePath=%s",
                                 page->number, page->path.c_str());
            }
        }
        if (imageCallback_ != nullptr) {
            imageCallback_(page->path.c_str(), page->blank != 0 ? 1 : 0, imageUserData_);
        }
    };
    // Outside the lock: Submit waits while the workers are full, and their
    // completions take the lock.
    workers->Submit(std::move(job));
}

void ScanSession::PageLost(int number, const char* reason, const std::string& path) {
    ++pagesLost_;
    if (path.empty()) {
        KXBase_WriteInfo(KX_LOG_INFO, "page %d lost: %s", number, reason);
    } else {
        KXBase_WriteInfo(KX_LOG_INFO, "page %d lost: %s, filePath=%s", number, reason,
                         path.c_str());
    }
}

void ScanSession::OnScanEnded(const char* text, int flag) {
    // Every page of the scan is saved and reported before its end is. The
    // finish message is queued ahead of the end's messages, so a page that
    // answers "scan_end" at once finds the back end idle. The end is
    // reported before the done event is set: neither a waiting StopScan nor
    // the finish message can return before it, so its messages still carry
    // the tags of this scan.
    OrderedPipeline* workers = nullptr;
    uint64_t scanNumber = 0;
    KXEvent done = nullptr;
    {
        KXLockGuard guard(lock_);
        workers = pageWorkers_.get();
        scanNumber = scanNumber_;
        done = scanDoneEvent_;
    }
    workers->Drain();
    int lost = pagesLost_.exchange(0);
    if (lost > 0) KXBase_WriteInfo(KX_LOG_INFO, "scan ended with %d page(s) lost", lost);
    if (lost > 0 && flag == 0) {
        text = kErrorText;
        flag = 1;
    }
    auto message = std::make_unique<ScanFinishedMessage>();
    message->session = this;
    message->scanNumber = scanNumber;
    PostPayload(pump_, PUMP_MSG_V2_SCAN_FINISHED, std::move(message));
    ReportEvent(5, text, flag);
    if (done != nullptr) KXBase_SetEvent(done);
}

}  // namespace ver_2

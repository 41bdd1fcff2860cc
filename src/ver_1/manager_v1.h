// The first-generation back end: the one open scanner, its scan parameters,
// the scan state, the image store of every pid, the documents built from it,
// uploads, and the two callback slots through which progress and scanned
// images reach the newest Socket.IO connection.
//
// Thread rule: every operation runs on the service thread except the scanner
// event handler, which runs on a driver thread. `lock` guards what the
// driver thread reads (marked GUARDED_BY below): the callback slots and the
// scan context, the service thread's copy of the open scanner's name and
// parameters (refreshed whenever they change) and of the running scan's
// insert position, serial and done event. While
// `scanning` is set the driver thread files pages and every service-thread
// operation on the store refuses to run (false, outputs emptied, nothing
// changed).
//
// Ownership: constructed and destroyed by the service thread; the servers
// keep a pointer to it. It owns the lock and the scan-done event. Byte
// outputs belong to the caller.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "net/manager.h"
#include "platform/base/kx_pump.h"
#include "platform/base/kx_thread.h"
#include "platform/base/thread_annotations.h"
#include "platform/driver/sane_qnsane.h"
#include "platform/image/kx_image.h"
#include "ver_1/scan_params.h"
#include "ver_1/upload_request.h"

namespace ver_1 {

// Progress sink: (code, text, flag, user data).
using EventCallback = void (*)(int code, const char* text, int flag, void* userData);
// Image sink: (image name, data URL, user data).
using ImageCallback = void (*)(const char* name, const char* dataUrl, void* userData);

// One image of a pid: its name and its data URL.
struct NamedImage {
    std::string name;
    std::string dataUrl;
};

class ManagerV1 : public Manager {
  public:
    explicit ManagerV1(KXPump pump);
    ~ManagerV1() override;
    ManagerV1(const ManagerV1&) = delete;
    ManagerV1& operator=(const ManagerV1&) = delete;

    // Registers the scanner event handler with the driver.
    void InitDriver();
    // Stops a running scan, closes the scanner and ends the driver; the
    // destructor does the same. Idempotent.
    void Shutdown();

    void SetEventCallback(EventCallback callback, void* userData);
    void SetImageCallback(ImageCallback callback, void* userData);

    // Pump messages posted by the scanner event handler.
    void OpenArrivedDevice(const std::string& name);
    void CloseLeftDevice(const std::string& name);
    // The scan numbered serial has finished: ends it unless a later scan
    // has started since.
    void OnScanFinished(uint64_t serial);

    // Scan parameters (the option tables live in scan_options.h).
    bool GetParams(ScanParams& out);
    bool SetParams(const ScanParams& in);

    // Starts a scan whose pages are inserted before insertBeforeName (insert
    // mode) or appended; false when busy, without a scanner or refused.
    bool StartScan(const std::string& insertBeforeName, bool insertMode);
    // Cancels a running scan and waits for its end; always true.
    bool StopScan();

    bool scanning() const { return scanning_; }
    bool HasDevice() const { return device_ != nullptr && !deviceName_.empty(); }
    // The open scanner's name ("" when none).
    const std::string& deviceName() const { return deviceName_; }

    // Image store of a pid (image_store.h). Pids and names that could leave
    // the pid's folder are refused (false, outputs empty).
    bool GetImagesByPid(const std::string& pid, std::vector<NamedImage>* images);
    bool GetImageByName(const std::string& pid, const std::string& name, std::string* dataUrl);
    bool SaveImageData(const std::string& pid, const std::string& name, const std::string& text);
    bool DeleteImage(const std::string& pid, const std::string& name);
    bool DeleteAllImages(const std::string& pid);
    bool MergeImages(const std::string& pid, bool horizontal, const std::vector<int>& indexes,
                     NamedImage* merged);
    bool SplitImage(const std::string& pid, const std::string& name, bool horizontal, int x, int y,
                    NamedImage* first, NamedImage* second);
    bool ExchangeImages(const std::string& pid, int first, int second);
    bool SortImagesByNumber(const std::string& pid);
    bool GetLastBatch(std::string* pid);
    bool EchoSerial(const std::string& text, std::string* out);

    // Documents of all listed images of a pid, written to path; false (and
    // no file) when no page could be written.
    bool MakeOfdFile(const std::string& pid, const std::string& path);
    bool MakePdfFile(const std::string& pid, const std::string& path);
    bool MakeTiffFile(const std::string& pid, const std::string& path);
    bool MakeZipFile(const std::string& pid, const std::string& path);

    // The same documents as bytes or Base64 text; true exactly when there
    // are bytes (text).
    bool GetOfdData(const std::string& pid, std::vector<uint8_t>* bytes);
    bool GetPdfData(const std::string& pid, std::vector<uint8_t>* bytes);
    bool GetTiffData(const std::string& pid, std::vector<uint8_t>* bytes);
    bool GetZipData(const std::string& pid, std::vector<uint8_t>* bytes);
    bool GetOfdBase64(const std::string& pid, std::string* text);
    bool GetPdfBase64(const std::string& pid, std::string* text);
    bool GetTiffBase64(const std::string& pid, std::string* text);
    bool GetZipBase64(const std::string& pid, std::string* text);

    // Builds the document the request names from the open scanner's images
    // and uploads it; the transfer's result.
    bool UploadDocument(const UploadRequest& request);

    // The scanner event handler (driver thread).
    static SANE_Int DriverEventHandler(void* opaque, SANE_Int code, void* data, SANE_Int* value,
                                       void* user);

  private:
    // What the driver thread needs of the open scanner and the running scan.
    struct ScanContext {
        std::string deviceName;
        ScanParams params;
        std::string insertBeforeName;
        bool insertMode = false;
        uint64_t serial = 0;
        KXEvent done = nullptr;
    };

    using DocumentBuilder = bool (ManagerV1::*)(const std::string& pid, const std::string& path);

    void CallEvent(int code, const char* text, int flag) EXCLUDES(lock_);
    void CloseDevice();
    // Driver thread: files one scanned page and reports it; false when the
    // page is lost (not copied, saved or listed), which the log names.
    bool FileScannedPage(const SANE_Event_Image& page) EXCLUDES(lock_);
    static void UploadPage(const ScanParams& params, const std::string& path);
    ScanContext CurrentScan() EXCLUDES(lock_);
    // Service thread: clears the scan's part of the context and frees its
    // done event.
    void ForgetScan() EXCLUDES(lock_);
    // Service thread, after deviceName_ or params_ changed.
    void ShareScannerWithDriverSide() EXCLUDES(lock_);
    bool MakeMultiPageFile(const std::string& pid, const std::string& path, int kind);
    bool GetDocumentData(DocumentBuilder build, const std::string& pid,
                         std::vector<uint8_t>* bytes);
    bool GetDocumentBase64(DocumentBuilder build, const std::string& pid, std::string* text);
    // Saves a new image under the next number of pid's list and appends it.
    bool AddImage(const std::string& pid, KXImage image, NamedImage* added);

    KXPump pump_;
    KXLock lock_ = nullptr;
    std::string deviceName_;
    SANE_Handle device_ = nullptr;
    ScanParams params_;
    EventCallback eventCallback_ GUARDED_BY(lock_) = nullptr;
    void* eventUserData_ GUARDED_BY(lock_) = nullptr;
    ImageCallback imageCallback_ GUARDED_BY(lock_) = nullptr;
    void* imageUserData_ GUARDED_BY(lock_) = nullptr;
    ScanContext scan_ GUARDED_BY(lock_);
    bool scanning_ = false;
    KXEvent scanDoneEvent_ = nullptr;
    // Numbers the scans, so that a finished message of an earlier scan
    // cannot end a later one.
    uint64_t scanSerial_ = 0;
    // Pages of the running scan that were lost; the scan's end is then
    // reported as an error instead of the driver's success text.
    std::atomic<int> pagesLost_{0};
    bool driverInited_ = false;
};

// Runs the back end's own pump messages (arrival, removal, scan finished) on
// the service thread and releases their payloads; false for any other message.
bool RunManagerV1Message(const PumpMessage* message);

}  // namespace ver_1

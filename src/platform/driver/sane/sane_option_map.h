// The page-facing option set of a SANE scanner. Pages are written against
// one set of option titles (those of the virtual scanner: "颜色模式",
// "分辨率", "扫描张数", ...), so every SANE device shows that set first,
// mapped onto the device's well-known options by meaning, then its own
// settable single-word and string options in a group "设备选项". Options the
// device lacks are kept here and applied to the pixels after the read
// (PageProcessing).
//
// One map per open handle; the values of the page-facing set belong to the
// scanner name and are kept by the driver between opens (Values/Restore).
// Descriptors handed out stay valid until the next Load, PrepareScan or
// Control that reloads the table (the page-facing ones for the map's life);
// PrepareFlatbedScan, which runs on a scan's thread, leaves them valid.
// Thread rule: none of its own; the driver serialises.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/driver/sane/device_option_port.h"
#include "platform/driver/sane_qnsane.h"

// What a scan needs from the page-facing values, fixed at start.
struct SaneScanSettings {
    bool feeder = false;  // the source is an automatic document feeder
    // A combo device (feeder and flatbed) scanning one side: when its feeder
    // is empty at the first page, the document is on the glass.
    bool flatbedFallback = false;
    bool duplex = false;      // the source scans both sides
    int sheetLimit = 0;       // sheets to scan; 0 = until the feeder is empty
    int resolution = 200;     // dpi set on the device
    bool blackWhite = false;  // "黑白": pages come out 1-bit (from the device or thresholded here)
    bool skipBlank = false;   // one of the two skip-blank modes
    bool invoicePaper = false;  // "跳过空白页（发票纸）"
    int blankSensitivity = 5;   // 0..100
    double gamma = 1.0;         // applied here (1.0 = none)
    int brightness = 0;         // -100..100, applied here when softwareBrightness
    bool softwareBrightness = false;
    int rotationDegrees = 0;  // "文稿方向": 0, 90, 180, 270 clockwise
    bool split = false;       // "图像拆分": each page becomes its left and right halves
    bool denoise = true;      // "黑白图像噪点优化" on 1-bit pages
    bool sharpen = false;     // "  锐化"
};

// Where a scan reads: the source the page's "扫描页面" chooses, or the
// flatbed of a combo device whose feeder turned out empty.
enum class ScanSource { kPageChoice, kFlatbed };

class SaneOptionMap {
  public:
    SaneOptionMap();
    ~SaneOptionMap();
    SaneOptionMap(const SaneOptionMap&) = delete;
    SaneOptionMap& operator=(const SaneOptionMap&) = delete;

    // Reads the device's table through port and builds the page-facing set.
    SANE_Status Load(DeviceOptionPort& port);

    // The descriptors, option 0 being the count, as sane_get_option_descriptor.
    const SANE_Option_Descriptor* Descriptor(SANE_Int option) const;

    // As sane_control_option on the page-facing numbering. Values outside a
    // constraint and strings that do not fit are refused (SANE_STATUS_INVAL,
    // nothing changed); the restore-defaults button restores the page-facing
    // defaults and the device's own defaults.
    SANE_Status Control(DeviceOptionPort& port, SANE_Int option, SANE_Action action, void* value,
                        SANE_Int* info);

    // Pushes the page-facing values onto the device (mode, resolution,
    // source, scan area, brightness) and says what the scan must do itself.
    SANE_Status PrepareScan(DeviceOptionPort& port, SaneScanSettings* settings);
    // The same for the flatbed of a combo device, whatever the feeder
    // settings say: one side, the count of sheets.
    SANE_Status PrepareFlatbedScan(DeviceOptionPort& port, SaneScanSettings* settings);

    // The page-facing values of the scanner, to keep per scanner name, and
    // their restoration after the next open (also applied to the device by
    // the next PrepareScan). Device options are not kept: the device keeps
    // its own. One text per option 1..16 (empty for groups and the button);
    // a text the device does not accept leaves that option at its default.
    std::vector<std::string> Values() const;
    void Restore(const std::vector<std::string>& values);

  private:
    SANE_Status Prepare(DeviceOptionPort& port, ScanSource source, SaneScanSettings* settings);

    struct State;
    std::unique_ptr<State> state_;
};

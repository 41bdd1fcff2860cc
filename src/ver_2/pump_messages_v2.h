// Pump messages 3 to 6 of the second generation and their payloads, posted
// by the scanner event handler and the page workers; the service thread's
// pump handler runs them on the scan session or the output files they name.
#pragma once

#include <cstdint>
#include <string>

namespace ver_2 {

class OutputFiles;
class ScanSession;

enum PumpMessageV2 : uint32_t {
    PUMP_MSG_V2_DEVICE_LEFT = 3,    // DeviceNameMessage
    PUMP_MSG_V2_SCAN_FINISHED = 4,  // ScanFinishedMessage
    PUMP_MSG_V2_FILE_SAVED = 5,     // FilePathMessage
    PUMP_MSG_V2_FILE_DROPPED = 6,   // FilePathMessage; nothing posts it
};

struct DeviceNameMessage {
    ScanSession* session = nullptr;
    std::string name;
};

// The scan that ended, so a late message never ends a later scan.
struct ScanFinishedMessage {
    ScanSession* session = nullptr;
    uint64_t scanNumber = 0;
};

struct FilePathMessage {
    OutputFiles* files = nullptr;
    std::string path;
};

}  // namespace ver_2

// Pump messages 3 to 6 of the second generation and their payloads, posted
// by the scanner event handler and the page workers; the service thread's
// pump handler runs them on the back end.
#pragma once

#include <cstdint>
#include <string>

namespace ver_2 {

class ManagerV2;

enum PumpMessageV2 : uint32_t {
    PUMP_MSG_V2_DEVICE_LEFT = 3,    // DeviceNameMessage
    PUMP_MSG_V2_SCAN_FINISHED = 4,  // ScanFinishedMessage
    PUMP_MSG_V2_FILE_SAVED = 5,     // FilePathMessage
    PUMP_MSG_V2_FILE_DROPPED = 6,   // FilePathMessage; nothing posts it
};

struct DeviceNameMessage {
    ManagerV2* manager = nullptr;
    std::string name;
};

// The scan that ended, so a late message never ends a later scan.
struct ScanFinishedMessage {
    ManagerV2* manager = nullptr;
    uint64_t scanNumber = 0;
};

struct FilePathMessage {
    ManagerV2* manager = nullptr;
    std::string path;
};

}  // namespace ver_2

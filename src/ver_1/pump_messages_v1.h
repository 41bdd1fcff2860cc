// Pump messages 3 to 6 of the first generation and their payloads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/byte_buffer.h"
#include "net/http_request.h"

class WebServer;

namespace ver_1 {

class ManagerV1;

enum PumpMessageV1 : uint32_t {
    PUMP_MSG_V1_DEVICE_ARRIVED = 3,  // DeviceNameMessage
    PUMP_MSG_V1_DEVICE_REMOVED = 4,  // DeviceNameMessage
    PUMP_MSG_V1_SCAN_FINISHED = 5,   // BackEndMessage
    PUMP_MSG_V1_HTTP_REQUEST = 6,    // HttpRequestMessage
};

struct DeviceNameMessage {
    ManagerV1* manager = nullptr;
    std::string name;
};

// The scan-finished message also carries the number of the scan that ended.
struct BackEndMessage {
    ManagerV1* manager = nullptr;
    uint64_t scanSerial = 0;
};

struct HttpRequestMessage {
    WebServer* server = nullptr;
    uint32_t id = 0;
    HttpRequest request;
    ByteBuffer body;  // empty when the request has none
};

}  // namespace ver_1

#include "net/websocket_writer.h"

size_t BuildTextFrameHeader(uint64_t length, uint8_t header[10]) {
    header[0] = 0x81;
    if (length <= 125) {
        header[1] = static_cast<uint8_t>(length);
        return 2;
    }
    if (length <= 65535) {
        header[1] = 126;
        header[2] = static_cast<uint8_t>(length >> 8);
        header[3] = static_cast<uint8_t>(length);
        return 4;
    }
    header[1] = 127;
    for (int i = 0; i < 4; ++i)
        header[2 + i] = 0;
    for (int i = 0; i < 4; ++i)
        header[6 + i] = static_cast<uint8_t>(length >> (24 - 8 * i));
    return 10;
}

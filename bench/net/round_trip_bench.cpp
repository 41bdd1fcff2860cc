// The round trip of a small command over loopback: a client sends one masked
// frame and waits for the whole reply, through the real server, connection
// thread, pump and command handler running in this process.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "platform/base/kx_pump.h"
#include "platform/base/kx_thread.h"
#include "service/pump_handlers.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ws_server.h"

namespace {

void RunPump(KXThread, void* pump) {
    KXBase_RunMsgPump(static_cast<KXPump>(pump), PumpHandlerV2, nullptr);
}

std::string MaskedTextFrame(const std::string& payload) {
    const uint8_t mask[4] = {1, 2, 3, 4};
    std::string frame = {'\x81', static_cast<char>(0x80 | payload.size())};
    frame.append(reinterpret_cast<const char*>(mask), 4);
    for (size_t i = 0; i < payload.size(); ++i)
        frame.push_back(static_cast<char>(payload[i] ^ mask[i % 4]));
    return frame;
}

int ConnectAndUpgrade(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    std::string handshake = "GET / HTTP/1.1\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
    send(fd, handshake.data(), handshake.size(), 0);
    std::string reply;
    char c;
    while (reply.find("\r\n\r\n") == std::string::npos && recv(fd, &c, 1, 0) == 1)
        reply.push_back(c);
    return fd;
}

// Reads one server frame (2- or 4-byte header) completely.
void ReadFrame(int fd) {
    uint8_t header[4];
    recv(fd, header, 2, MSG_WAITALL);
    size_t length = header[1];
    if (length == 126) {
        recv(fd, header + 2, 2, MSG_WAITALL);
        length = (size_t{header[2]} << 8) | header[3];
    }
    std::string payload(length, '\0');
    recv(fd, payload.data(), length, MSG_WAITALL);
}

void BM_SmallCommandRoundTrip(benchmark::State& state) {
    KXPump pump = nullptr;
    KXBase_CreateMsgPump(&pump);
    auto* manager = new ver_2::ManagerV2(pump);
    auto* server = new ver_2::WSServer(pump, manager);
    uint16_t port = 0;
    for (uint16_t candidate = 39100; candidate < 39200 && port == 0; ++candidate) {
        if (server->Open(candidate)) port = candidate;
    }
    KXThread thread = nullptr;
    KXBase_OpenThread(RunPump, pump, &thread);

    int fd = ConnectAndUpgrade(port);
    std::string frame = MaskedTextFrame(R"({"func":"get_curr_device_name","iden":"1"})");
    for (auto _ : state) {
        send(fd, frame.data(), frame.size(), 0);
        ReadFrame(fd);
    }
    close(fd);

    KXBase_QuitMsgPump(pump);
    KXBase_CloseThread(thread);
    server->Close();
    KXBase_DispatchPendingMessages(pump, PumpHandlerV2, nullptr);
    delete server;
    delete manager;
    KXBase_DestroyMsgPump(pump);
}
BENCHMARK(BM_SmallCommandRoundTrip)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();

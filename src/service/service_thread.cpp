#include "service/service_thread.h"

#include <string>
#include <vector>

#include "platform/base/kx_log.h"
#include "platform/base/kx_paths.h"
#include "platform/base/kx_profile.h"
#include "platform/base/service_thread.h"
#include "platform/driver/driver_config.h"
#include "service/network_settings.h"
#include "service/pump_handlers.h"
#include "service/startup_report.h"
#include "ver_1/http_server.h"
#include "ver_1/manager_v1.h"
#include "ver_1/sockio_server.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ws_server.h"

namespace {

constexpr uint16_t kRestPort = 18999;
constexpr uint16_t kSocketIoPort = 28999;
constexpr int kDefaultWebSocketPort = 38999;

int ReadConfigInt(const char* file, const char* section, const char* key, int fallback) {
    char folder[256];
    KXBase_GetConfigPath(folder, sizeof folder);
    std::string path = std::string(folder) + file;
    int value = fallback;
    KXBase_GetProfileInt(path.c_str(), section, key, fallback, &value);
    return value;
}

// Opens the REST server, then the Socket.IO server; on a failure nothing
// stays open.
bool OpenGeneration1Servers(ver_1::HttpServer& http, ver_1::SockIoServer& sockIo) {
    if (!http.Open(kRestPort)) return false;
    if (sockIo.Open(kSocketIoPort)) return true;
    http.Close();
    return false;
}

// The most connections a generation serves at once (the two generation-1
// servers together); each has a thread.
constexpr size_t kMaxConnections = 64;

// What the servers of one generation share; made before them and destroyed
// after them.
struct ServerSharing {
    NetworkSettings settings = ReadNetworkSettings();
    OriginGate origins{settings.origins};
    ConnectionBudget budget{kMaxConnections};

    ServerPolicy Policy() {
        return {settings.addresses, &origins, &budget, settings.headTimeoutMs};
    }
};

void RunGeneration1(KXPump pump) {
    ServerSharing sharing;
    ver_1::ManagerV1 manager(pump);
    manager.InitDriver();
    ver_1::HttpServer http(pump, &manager);
    ver_1::SockIoServer sockIo(pump, &manager);
    http.SetPolicy(sharing.Policy());
    sockIo.SetPolicy(sharing.Policy());
    if (OpenGeneration1Servers(http, sockIo)) {
        std::vector<std::string> addresses = http.ListenAddresses();
        for (const std::string& address : sockIo.ListenAddresses())
            addresses.push_back(address);
        LogStartup(1, ReadDriverName(), addresses);
        KXBase_RunMsgPump(pump, PumpHandlerV1, nullptr);
        sockIo.Close();
        http.Close();
    }
    // Stop the driver while the servers and the back end still exist, then
    // handle what it and the connections posted meanwhile.
    manager.Shutdown();
    KXBase_DispatchPendingMessages(pump, PumpHandlerV1, nullptr);
}

void RunGeneration2(KXPump pump) {
    ServerSharing sharing;
    ver_2::ManagerV2 manager(pump);
    ver_2::WSServer server(pump, &manager);
    server.SetPolicy(sharing.Policy());
    int port = ReadConfigInt("config2.ini", "connect", "port", kDefaultWebSocketPort);
    if (!server.Open(static_cast<uint16_t>(port))) return;
    LogStartup(2, ReadDriverName(), server.ListenAddresses());
    KXBase_RunMsgPump(pump, PumpHandlerV2, nullptr);
    // Closing the connection ends a running scan; the pages it saved are
    // still recorded before the back end goes.
    server.Close();
    ver_2::ErrorInfo ignored;
    manager.DeinitDevice(ignored);
    KXBase_DispatchPendingMessages(pump, PumpHandlerV2, nullptr);
}

}  // namespace

void ServiceThread(KXThread, void* pump) {
    MarkServiceThread();
    int generation = ReadConfigInt("config.ini", "version", "verNum", 2);
    if (generation == 1) {
        RunGeneration1(static_cast<KXPump>(pump));
    } else {
        RunGeneration2(static_cast<KXPump>(pump));
    }
    UnmarkServiceThread();
}

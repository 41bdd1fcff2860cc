// ScanBridge: a background service that lets a web page in a local browser
// operate a document scanner.
#include <curl/curl.h>

#include <cstdio>
#include <cstring>

#include "platform/base/kx_paths.h"
#include "platform/base/kx_pump.h"
#include "platform/base/kx_thread.h"
#include "platform/image/proc/kx_imgproc.h"
#include "service/service_thread.h"
#include "service/signal_watcher.h"
#include "ver_2/command_table.h"

namespace {

constexpr char kUsage[] =
    "Usage: scanbridge\n"
    "Serves the scanner to web pages on local TCP ports until SIGINT or SIGTERM.\n"
    "Behaviour comes from config.ini, config1.ini and config2.ini in the configuration\n"
    "folder; folders can be moved with SCANBRIDGE_CONFIG_DIR, SCANBRIDGE_DOCUMENTS_DIR and\n"
    "SCANBRIDGE_TMP_DIR.\n"
    "--list-commands prints the names of the WebSocket commands, one a line.\n"
    "Only this machine's own pages are served; config.ini [security] allowed_origins (and\n"
    "SCANBRIDGE_ALLOWED_ORIGINS) allow other origins, [security] listen other addresses.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("scanbridge " SCANBRIDGE_VERSION);
        return 0;
    }

    if (argc > 1 && std::strcmp(argv[1], "--list-commands") == 0) {
        // Lets clients and their tests check they cover every command.
        size_t count = 0;
        const ver_2::CommandEntry* commands = ver_2::CommandTable(&count);
        for (size_t i = 0; i < count; ++i)
            std::puts(commands[i].name);
        return 0;
    }

    // Settings and the database of scanned pages are the user's alone, also
    // when an earlier version left them readable by others.
    KXBase_SecureConfigFolder();
    curl_global_init(CURL_GLOBAL_ALL);
    KXPump pump = nullptr;
    if (KXBase_CreateMsgPump(&pump) != KX_OK) return 0;
    {
        SignalWatcher signals(pump);
        signals.Start();
        KXThread service = nullptr;
        if (KXBase_OpenThread(ServiceThread, pump, &service) == KX_OK) {
            KXBase_CloseThread(service);
        }
    }
    KXBase_DestroyMsgPump(pump);
    KXImgProc_ReleaseIdleEngines();
    curl_global_cleanup();
    return 0;
}

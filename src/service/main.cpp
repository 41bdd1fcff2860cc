// ScanBridge: a background service that lets a web page in a local browser
// operate a document scanner.
#include <curl/curl.h>

#include "platform/base/kx_paths.h"
#include "platform/base/kx_pump.h"
#include "platform/base/kx_thread.h"
#include "platform/base/signal_watcher.h"
#include "platform/image/proc/kx_imgproc.h"
#include "service/command_line.h"
#include "service/service_thread.h"

int main(int argc, char** argv) {
    int exitCode = 0;
    if (HandleCommandLine(argc, argv, &exitCode)) return exitCode;

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

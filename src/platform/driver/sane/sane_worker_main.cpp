// scanbridge-sane: the worker process of the SANE driver. The service
// starts it with one end of a socketpair ("--channel-fd N") and talks to it
// with the requests of worker_protocol.h; libsane and its backends run here,
// so a backend that crashes or hangs takes only this process with it.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/driver/sane/frame_channel.h"
#include "platform/driver/sane/worker_session.h"

// Backends leak (buffers of a scan, device lists); when this program is
// built with LeakSanitizer, those are not ours to report. The service itself
// keeps full leak checking.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libsane\n";
}
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--channel-fd") != 0) {
        std::fprintf(stderr, "scanbridge-sane is started by scanbridge, not by hand\n");
        return 2;
    }
    int fd = std::atoi(argv[2]);
    // The worker never outlives the service, even when the service is killed.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1) return 0;
    signal(SIGPIPE, SIG_IGN);
    FrameChannel channel(fd);
    return WorkerSession().Run(channel);
}

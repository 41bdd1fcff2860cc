#include "platform/base/signal_watcher.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdint>

#include "platform/base/kx_log.h"

bool SignalWatcher::Start() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return false;
    signal(SIGPIPE, SIG_IGN);

    signalFd_ = signalfd(-1, &signals, SFD_CLOEXEC);
    stopFd_ = eventfd(0, EFD_CLOEXEC);
    if (signalFd_ >= 0 && stopFd_ >= 0 && KXBase_OpenThread(Run, this, &thread_) == KX_OK) {
        return true;
    }
    // Without the watcher the signals keep their default action, so the
    // service can still be stopped.
    Stop();
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    KXBase_WriteInfo(KX_LOG_INFO, "signal watcher not started; SIGINT and SIGTERM end at once");
    return false;
}

void SignalWatcher::Stop() {
    if (thread_ != nullptr) {
        uint64_t one = 1;
        ssize_t wrote = write(stopFd_, &one, sizeof one);
        (void)wrote;
        KXBase_CloseThread(thread_);
        thread_ = nullptr;
    }
    if (signalFd_ >= 0) close(signalFd_);
    if (stopFd_ >= 0) close(stopFd_);
    signalFd_ = -1;
    stopFd_ = -1;
}

void SignalWatcher::Run(KXThread, void* param) {
    auto* self = static_cast<SignalWatcher*>(param);
    pollfd fds[2] = {{self->signalFd_, POLLIN, 0}, {self->stopFd_, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents != 0) return;
        signalfd_siginfo info{};
        if (read(self->signalFd_, &info, sizeof info) != sizeof info) continue;
        KXBase_WriteInfo(KX_LOG_INFO, "signal %u received, stopping", info.ssi_signo);
        KXBase_QuitMsgPump(self->pump_);
    }
}

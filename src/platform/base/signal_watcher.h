// Turns SIGINT and SIGTERM into a quit request for the message pump.
//
// Start() must run on the main thread before any other thread exists: it
// blocks the two signals for the whole process (threads inherit the mask) and
// starts a thread that waits for them on a signalfd. No work is done inside a
// signal handler. Stop() ends that thread.
#pragma once

#include "platform/base/kx_pump.h"
#include "platform/base/kx_thread.h"

class SignalWatcher {
  public:
    explicit SignalWatcher(KXPump pump) : pump_(pump) {}
    ~SignalWatcher() { Stop(); }
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    bool Start();
    void Stop();

  private:
    static void Run(KXThread thread, void* self);

    KXPump pump_;
    int signalFd_ = -1;
    int stopFd_ = -1;
    KXThread thread_ = nullptr;
};

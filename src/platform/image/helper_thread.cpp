#include "platform/image/helper_thread.h"

#include <atomic>

#include "platform/base/kx_thread.h"

namespace kximage {
namespace {

// The thread waits for a posted task, runs it and signals its end. The task
// and the stop request are written before the post and read after the wait,
// so the event orders them.
class Helper {
  public:
    static Helper& Shared() {
        static Helper helper;
        return helper;
    }

    bool TryStart(HelperTask task, void* param) {
        if (thread_ == nullptr) return false;
        bool idle = false;
        if (!busy_.compare_exchange_strong(idle, true, std::memory_order_acquire)) return false;
        task_ = task;
        param_ = param;
        KXBase_SetEvent(posted_);
        return true;
    }

    void WaitForTask() {
        KXBase_WaitEvent(done_);
        busy_.store(false, std::memory_order_release);
    }

    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

  private:
    Helper() {
        if (KXBase_CreateEvent(0, 0, &posted_) != KX_OK ||
            KXBase_CreateEvent(0, 0, &done_) != KX_OK)
            return;
        if (KXBase_OpenThread(Loop, this, &thread_) != KX_OK) thread_ = nullptr;
    }

    ~Helper() {
        if (thread_ != nullptr) {
            stopping_ = true;
            KXBase_SetEvent(posted_);
            KXBase_CloseThread(thread_);
        }
        if (posted_ != nullptr) KXBase_DestroyEvent(posted_);
        if (done_ != nullptr) KXBase_DestroyEvent(done_);
    }

    static void Loop(KXThread, void* param) {
        auto* self = static_cast<Helper*>(param);
        for (;;) {
            KXBase_WaitEvent(self->posted_);
            if (self->stopping_) return;
            self->task_(self->param_);
            KXBase_SetEvent(self->done_);
        }
    }

    KXEvent posted_ = nullptr;
    KXEvent done_ = nullptr;
    KXThread thread_ = nullptr;
    std::atomic<bool> busy_{false};
    bool stopping_ = false;
    HelperTask task_ = nullptr;
    void* param_ = nullptr;
};

}  // namespace

bool HelperRun::Start(HelperTask task, void* param) {
    Wait();
    started_ = Helper::Shared().TryStart(task, param);
    return started_;
}

void HelperRun::Wait() {
    if (!started_) return;
    Helper::Shared().WaitForTask();
    started_ = false;
}

}  // namespace kximage

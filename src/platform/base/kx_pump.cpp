#include "platform/base/kx_pump.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>

#include "platform/base/kx_log.h"

struct KXPumpObject {
    std::mutex mutex;
    std::condition_variable posted;
    std::deque<PumpMessage> queue;
    bool quit = false;
};

int KXBase_CreateMsgPump(KXPump* pump) {
    if (pump == nullptr) return KX_ERR_ARGUMENT;
    *pump = new (std::nothrow) KXPumpObject;
    return *pump != nullptr ? KX_OK : KX_ERR_SYSTEM;
}

int KXBase_RunMsgPump(KXPump pump, KXPumpHandler handler, void* param) {
    if (pump == nullptr || handler == nullptr) return KX_ERR_ARGUMENT;
    std::deque<PumpMessage> batch;
    for (;;) {
        {
            std::unique_lock guard(pump->mutex);
            pump->posted.wait(guard, [pump] { return pump->quit || !pump->queue.empty(); });
            if (pump->quit) return KX_OK;
            batch.swap(pump->queue);
        }
        // Handle the batch outside the lock; a quit request stops after the
        // current message and puts the rest back in front of the queue.
        while (!batch.empty()) {
            PumpMessage message = batch.front();
            batch.pop_front();
            handler(&message, param);
            std::lock_guard guard(pump->mutex);
            if (pump->quit) {
                pump->queue.insert(pump->queue.begin(), batch.begin(), batch.end());
                return KX_OK;
            }
        }
    }
}

int KXBase_DispatchPendingMessages(KXPump pump, KXPumpHandler handler, void* param) {
    if (pump == nullptr || handler == nullptr) return KX_ERR_ARGUMENT;
    for (;;) {
        PumpMessage message;
        {
            std::lock_guard guard(pump->mutex);
            if (pump->queue.empty()) return KX_OK;
            message = pump->queue.front();
            pump->queue.pop_front();
        }
        handler(&message, param);
    }
}

int KXBase_PostPumpMessage(KXPump pump, const PumpMessage* message) {
    if (pump == nullptr || message == nullptr) return KX_ERR_ARGUMENT;
    try {
        std::lock_guard guard(pump->mutex);
        pump->queue.push_back(*message);
    } catch (const std::bad_alloc&) {
        return KX_ERR_SYSTEM;
    }
    pump->posted.notify_one();
    return KX_OK;
}

int KXBase_QuitMsgPump(KXPump pump) {
    if (pump == nullptr) return KX_ERR_ARGUMENT;
    {
        std::lock_guard guard(pump->mutex);
        pump->quit = true;
    }
    pump->posted.notify_all();
    return KX_OK;
}

int KXBase_DestroyMsgPump(KXPump pump) {
    if (pump == nullptr) return KX_ERR_ARGUMENT;
    if (!pump->queue.empty()) {
        KXBase_WriteInfo(8, "message pump destroyed with %zu messages queued", pump->queue.size());
    }
    delete pump;
    return KX_OK;
}

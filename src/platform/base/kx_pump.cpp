#include "platform/base/kx_pump.h"

#include <deque>
#include <new>

#include "platform/base/annotated_mutex.h"
#include "platform/base/kx_log.h"

struct KXPumpObject {
    Mutex mutex;
    CondVar posted;
    std::deque<PumpMessage> queue GUARDED_BY(mutex);
    bool quit GUARDED_BY(mutex) = false;
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
            MutexLock guard(pump->mutex);
            while (!pump->quit && pump->queue.empty())
                pump->posted.Wait(pump->mutex);
            if (pump->quit) return KX_OK;
            batch.swap(pump->queue);
        }
        // Handle the batch outside the lock; a quit request stops after the
        // current message and puts the rest back in front of the queue.
        while (!batch.empty()) {
            PumpMessage message = batch.front();
            batch.pop_front();
            handler(&message, param);
            MutexLock guard(pump->mutex);
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
            MutexLock guard(pump->mutex);
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
        MutexLock guard(pump->mutex);
        pump->queue.push_back(*message);
    } catch (const std::bad_alloc&) {
        return KX_ERR_SYSTEM;
    }
    pump->posted.NotifyOne();
    return KX_OK;
}

int KXBase_QuitMsgPump(KXPump pump) {
    if (pump == nullptr) return KX_ERR_ARGUMENT;
    {
        MutexLock guard(pump->mutex);
        pump->quit = true;
    }
    pump->posted.NotifyAll();
    return KX_OK;
}

int KXBase_DestroyMsgPump(KXPump pump) {
    if (pump == nullptr) return KX_ERR_ARGUMENT;
    size_t queued = 0;
    {
        MutexLock guard(pump->mutex);
        queued = pump->queue.size();
    }
    if (queued != 0) KXBase_WriteInfo(8, "message pump destroyed with %zu messages queued", queued);
    delete pump;
    return KX_OK;
}

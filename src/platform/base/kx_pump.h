// The message pump: a queue through which every thread hands work to the one
// thread that runs the pump (the service thread).
//
// Any thread may post. Only the thread inside KXBase_RunMsgPump calls the
// handler, one message at a time, in the order the messages were posted.
// A queued message's payload belongs to the handler; when a post fails the
// poster keeps (and must release) the payload.
#pragma once

#include <cstdint>

#include "platform/base/kx_status.h"

struct PumpMessage {
    uint32_t id = 0;
    void* payload = nullptr;
};

struct KXPumpObject;
using KXPump = KXPumpObject*;

// Called on the pump's thread for each message; param is the value given to
// KXBase_RunMsgPump.
using KXPumpHandler = void (*)(const PumpMessage* message, void* param);

int KXBase_CreateMsgPump(KXPump* pump);
// Runs handler for each posted message until KXBase_QuitMsgPump is called;
// messages still queued at that point stay queued.
int KXBase_RunMsgPump(KXPump pump, KXPumpHandler handler, void* param);
// Runs handler for every message queued now or posted while it runs, without
// waiting for new ones. Used once the pump has stopped, so that work posted
// during shutdown (pages saved while a scan is cancelled) is not lost.
int KXBase_DispatchPendingMessages(KXPump pump, KXPumpHandler handler, void* param);
// Copies the record into the queue; 0 = queued.
int KXBase_PostPumpMessage(KXPump pump, const PumpMessage* message);
// Makes KXBase_RunMsgPump return after the message it is handling, if any.
// Safe to call from any thread, also before the pump runs.
int KXBase_QuitMsgPump(KXPump pump);
// Frees the pump. Messages still queued are counted in the log; their
// payloads cannot be released here, so callers dispatch them first.
int KXBase_DestroyMsgPump(KXPump pump);

// The pump handlers of the two generations. They run on the service thread
// for each posted message, release every payload they receive, and drop
// messages whose connection no longer exists.
#pragma once

#include "platform/base/kx_pump.h"

void PumpHandlerV1(const PumpMessage* message, void* param);
void PumpHandlerV2(const PumpMessage* message, void* param);

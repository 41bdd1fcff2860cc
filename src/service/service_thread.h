// The service thread: chooses the interface generation from "config.ini",
// builds that generation's back end and servers, runs the message pump until
// a quit request, then tears everything down in order.
#pragma once

#include "platform/base/kx_thread.h"

// Thread routine; param is the pump handle.
void ServiceThread(KXThread thread, void* pump);

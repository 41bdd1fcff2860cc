// Marks the service thread, the one thread that owns the back ends, the
// servers and their connections. Functions that must run on it say so in
// their header and check it with SB_ASSERT_SERVICE_THREAD(), which aborts in
// debug builds when called from elsewhere. Before a service thread is marked
// (unit tests that drive objects directly) every thread passes.
#pragma once

#include <cassert>

void MarkServiceThread();
void UnmarkServiceThread();
bool IsServiceThread();

#define SB_ASSERT_SERVICE_THREAD() assert(IsServiceThread())

// The exception boundary of the image-file library: every public call runs
// its work through GuardedCall, so an exception from a library underneath
// (qpdf, the standard library running out of memory) becomes a status and
// never leaves the call.
#pragma once

#include <exception>

#include "platform/base/kx_log.h"
#include "platform/base/kx_status.h"

namespace kximage {

template <typename Work>
int GuardedCall(const char* call, Work&& work) noexcept {
    try {
        return work();
    } catch (const std::exception& error) {
        KXBase_WriteInfo(KX_LOG_INFO, "%s: %s", call, error.what());
    } catch (...) {
        KXBase_WriteInfo(KX_LOG_INFO, "%s: unknown exception", call);
    }
    return KX_ERR_SYSTEM;
}

}  // namespace kximage

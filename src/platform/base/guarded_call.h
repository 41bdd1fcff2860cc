// The exception boundary of the libraries with a C-style face (the image
// files, the image processing): every public call runs its work through
// GuardedCall, so an exception from a library underneath (qpdf, Tesseract,
// the standard library running out of memory) is logged with the call's
// name, becomes a failure status and never leaves the call. Any thread.
#pragma once

#include <exception>

#include "platform/base/kx_log.h"
#include "platform/base/kx_status.h"

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

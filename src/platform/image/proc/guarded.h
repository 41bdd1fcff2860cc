// Keeps C++ exceptions (allocation failures, library throws) from crossing
// the library's C-style boundary: they become a failure status.
#pragma once

#include "platform/base/kx_status.h"

namespace kx_imgproc {

template <typename Body>
int Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return KX_ERR_SYSTEM;
    }
}

}  // namespace kx_imgproc

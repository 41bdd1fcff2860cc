#include "net/origin_gate.h"

#include "platform/base/kx_log.h"

namespace {

// Refused origins remembered for the log; past this many (a page that keeps
// inventing origins) the rest are not logged.
constexpr size_t kMaxRememberedOrigins = 256;

}  // namespace

OriginGate::OriginGate(OriginPolicy policy) : policy_(std::move(policy)) {
    KXBase_CreateLock(&lock_);
}

OriginGate::~OriginGate() {
    KXBase_DestroyLock(lock_);
}

bool OriginGate::Admits(const std::optional<std::string>& origin) {
    if (!origin || policy_.Allows(*origin)) return true;
    bool first = false;
    {
        KXLockGuard guard(lock_);
        if (refused_.size() < kMaxRememberedOrigins) first = refused_.insert(*origin).second;
    }
    if (first) {
        KXBase_WriteInfo(KX_LOG_INFO,
                         "refused a request from origin %s; to allow it, add it to "
                         "allowed_origins in the [security] section of config.ini",
                         origin->c_str());
    }
    return false;
}

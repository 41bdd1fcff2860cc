// The origin check every server runs on a browser's request: the policy,
// and a record of the origins already refused so that the log names each
// one once, with the setting that would allow it.
//
// Made by the service thread before the servers open and destroyed after
// they close; Admits may be called from any connection thread.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "net/origin_policy.h"
#include "platform/base/kx_thread.h"
#include "platform/base/thread_annotations.h"

class OriginGate {
  public:
    explicit OriginGate(OriginPolicy policy);
    ~OriginGate();
    OriginGate(const OriginGate&) = delete;
    OriginGate& operator=(const OriginGate&) = delete;

    // True when the request is served: it has no Origin header (it does not
    // come from a browser page) or its origin is allowed. A refused origin
    // is logged the first time it is seen.
    bool Admits(const std::optional<std::string>& origin) EXCLUDES(lock_);

  private:
    OriginPolicy policy_;
    KXLock lock_ = nullptr;
    std::set<std::string> refused_ GUARDED_BY(lock_);
};

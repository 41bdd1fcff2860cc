// The time a connection has left to send its handshake or request head.
// One per connection thread; not shared.
#pragma once

#include <algorithm>
#include <chrono>

class HeadDeadline {
  public:
    explicit HeadDeadline(int limitMs) : limit_(limitMs) { Restart(); }

    // Starts the limit again (a new request head is awaited).
    void Restart() { end_ = std::chrono::steady_clock::now() + limit_; }

    // Milliseconds left, at least 0.
    int RemainingMs() const {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end_ - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<long long>(left.count(), 0));
    }

  private:
    std::chrono::milliseconds limit_;
    std::chrono::steady_clock::time_point end_;
};

#include "platform/driver/sane/frame_channel.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left before deadline for poll(), -1 for no deadline.
int PollTimeout(bool bounded, Clock::time_point deadline) {
    if (!bounded) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ChannelResult FrameChannel::Send(const MessageWriter& message) {
    std::vector<uint8_t> frame = message.Frame();
    size_t sent = 0;
    while (sent < frame.size()) {
        ssize_t n = send(fd_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return ChannelResult::kClosed;
        sent += static_cast<size_t>(n);
    }
    return ChannelResult::kOk;
}

ChannelResult FrameChannel::Receive(std::vector<uint8_t>* body, std::chrono::milliseconds timeout) {
    bool bounded = timeout.count() >= 0;
    Clock::time_point deadline = Clock::now() + timeout;
    uint8_t buffer[64 * 1024];
    for (;;) {
        switch (reader_.Next(body)) {
            case FrameReader::Result::kFrame:
                return ChannelResult::kOk;
            case FrameReader::Result::kTooLong:
                return ChannelResult::kInvalid;
            case FrameReader::Result::kNeedMore:
                break;
        }
        pollfd entry{fd_, POLLIN, 0};
        int ready = poll(&entry, 1, PollTimeout(bounded, deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return ChannelResult::kClosed;
        if (ready == 0) return ChannelResult::kTimeout;
        ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return ChannelResult::kClosed;
        reader_.Feed(buffer, static_cast<size_t>(n));
    }
}

#include "platform/driver/sane/frame_channel.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>

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
    return Send(message, nullptr, 0);
}

ChannelResult FrameChannel::Send(const MessageWriter& message, const uint8_t* data, size_t size) {
    bool withData = data != nullptr || size > 0;
    MessageWriter lengths;
    lengths.Word(static_cast<uint32_t>(message.body().size() + (withData ? 4 + size : 0)));
    MessageWriter dataLength;
    dataLength.Word(static_cast<uint32_t>(size));
    iovec pieces[4] = {
        {const_cast<uint8_t*>(lengths.body().data()), lengths.body().size()},
        {const_cast<uint8_t*>(message.body().data()), message.body().size()},
        {const_cast<uint8_t*>(dataLength.body().data()), withData ? dataLength.body().size() : 0},
        {const_cast<uint8_t*>(data), size}};
    size_t first = 0;
    while (first < 4) {
        msghdr header{};
        header.msg_iov = pieces + first;
        header.msg_iovlen = 4 - first;
        ssize_t n = sendmsg(fd_, &header, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ChannelResult::kClosed;
        // Step past what went out, piece by piece.
        auto sent = static_cast<size_t>(n);
        while (first < 4 && sent >= pieces[first].iov_len) {
            sent -= pieces[first].iov_len;
            ++first;
        }
        if (first < 4) {
            pieces[first].iov_base = static_cast<uint8_t*>(pieces[first].iov_base) + sent;
            pieces[first].iov_len -= sent;
        }
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

// Whole frames of worker_protocol.h over one end of a socketpair: the
// channel sends a body with its length prefix and receives the next body,
// waiting at most a given time for it.
//
// Thread rule: one sender and one receiver at a time (the owner serialises
// request and reply). The channel does not own the descriptor.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "platform/driver/sane/worker_protocol.h"

enum class ChannelResult {
    kOk,
    kClosed,   // the peer closed its end or the connection broke
    kTimeout,  // nothing whole arrived in time
    kInvalid,  // the peer announced a body past the limit
};

class FrameChannel {
  public:
    explicit FrameChannel(int fd) : fd_(fd) {}

    ChannelResult Send(const MessageWriter& message);
    // Sends message followed by one more byte-string field holding data,
    // without copying data into the message first.
    ChannelResult Send(const MessageWriter& message, const uint8_t* data, size_t size);
    // Waits for the next body; a negative timeout waits for ever.
    ChannelResult Receive(std::vector<uint8_t>* body, std::chrono::milliseconds timeout);

  private:
    int fd_;
    FrameReader reader_;
};

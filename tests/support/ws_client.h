// A WebSocket client for end-to-end tests, built on Boost.Beast so that the
// service is checked against an implementation that is not our own. Every
// read has a time-out so a missing reply fails the test instead of hanging.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace testing_support {

class WsClient {
  public:
    WsClient();
    ~WsClient();

    // Connects to 127.0.0.1:port and performs the handshake for target,
    // sending an Origin header when origin is given; false (with the reason
    // in error()) on failure.
    bool Connect(int port, const std::string& target = "/", const std::string& origin = "");
    // Sends one text message.
    bool Send(const std::string& text);
    // The next message, or nothing when none arrives in time or the
    // connection ended.
    std::optional<std::string> Receive(
        std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // True when the peer ended the connection within the time-out.
    bool WaitClosed(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Drops the connection without a close frame.
    void Close();
    // The closing handshake: sends a close frame with code and waits for the
    // peer's; true when it came.
    bool CloseHandshake(int code = 1000);
    const std::string& error() const { return error_; }

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string error_;
};

}  // namespace testing_support

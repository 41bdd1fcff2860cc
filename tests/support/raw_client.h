// A plain TCP client for tests that must send exact bytes (hand-made frames,
// garbage, half messages) and read exact bytes back, with time-outs.
#pragma once

#include <chrono>
#include <string>

namespace testing_support {

class RawClient {
  public:
    RawClient() = default;
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connect(int port);
    bool Send(const std::string& bytes);
    // Reads exactly count bytes; fewer when the time-out or the end comes first.
    std::string ReadExactly(size_t count,
                            std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Reads until text has been received (returned including it), or time-out.
    std::string ReadUntil(const std::string& text,
                          std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // True when the peer closes the connection within the time-out (any
    // bytes that arrive first are discarded).
    bool WaitClosed(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    void Close();

    // A WebSocket handshake request for target with the given key, and the
    // client frame (masked) carrying payload with the given first byte.
    static std::string Handshake(const std::string& target = "/",
                                 const std::string& key = "dGhlIHNhbXBsZSBub25jZQ==",
                                 const std::string& extraHeaders = "");
    static std::string MaskedFrame(unsigned char first, const std::string& payload);

  private:
    // One recv with a time-out: bytes read, 0 on close, -1 on time-out/error.
    long ReadSome(char* buffer, size_t size, std::chrono::milliseconds timeout);

    int fd_ = -1;
};

}  // namespace testing_support

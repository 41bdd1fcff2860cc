#include "support/raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace testing_support {

RawClient::~RawClient() {
    Close();
}

bool RawClient::Connect(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool RawClient::Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t sent = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        done += static_cast<size_t>(sent);
    }
    return true;
}

long RawClient::ReadSome(char* buffer, size_t size, std::chrono::milliseconds timeout) {
    pollfd fd{fd_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(timeout.count())) <= 0) return -1;
    ssize_t got = recv(fd_, buffer, size, 0);
    return got < 0 ? -1 : static_cast<long>(got);
}

std::string RawClient::ReadExactly(size_t count, std::chrono::milliseconds timeout) {
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        char buffer[4096];
        long got = ReadSome(buffer, std::min(sizeof buffer, count - out.size()), left);
        if (got <= 0) break;
        out.append(buffer, static_cast<size_t>(got));
    }
    return out;
}

std::string RawClient::ReadUntil(const std::string& text, std::chrono::milliseconds timeout) {
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.find(text) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        char c;
        if (ReadSome(&c, 1, left) != 1) break;
        out.push_back(c);
    }
    return out;
}

bool RawClient::WaitClosed(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        char buffer[4096];
        long got = ReadSome(buffer, sizeof buffer, left);
        if (got == 0) return true;
        if (got < 0) {
            // A reset also counts as closed; a time-out does not.
            pollfd fd{fd_, POLLIN, 0};
            if (poll(&fd, 1, 0) > 0 && (fd.revents & (POLLERR | POLLHUP)) != 0) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
        }
    }
}

void RawClient::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

std::string RawClient::Handshake(const std::string& target, const std::string& key,
                                 const std::string& extraHeaders) {
    std::string request = "GET " + target +
                          " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                          "Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\n";
    if (!key.empty()) request += "Sec-WebSocket-Key: " + key + "\r\n";
    return request + extraHeaders + "\r\n";
}

std::string RawClient::MaskedFrame(unsigned char first, const std::string& payload) {
    static const unsigned char kMask[4] = {0x37, 0xFA, 0x21, 0x3D};
    std::string frame(1, static_cast<char>(first));
    size_t length = payload.size();
    if (length <= 125) {
        frame.push_back(static_cast<char>(0x80 | length));
    } else if (length <= 65535) {
        frame.push_back(static_cast<char>(0x80 | 126));
        frame.push_back(static_cast<char>(length >> 8));
        frame.push_back(static_cast<char>(length));
    } else {
        frame.push_back(static_cast<char>(0x80 | 127));
        for (int i = 7; i >= 0; --i)
            frame.push_back(static_cast<char>(uint64_t{length} >> (8 * i)));
    }
    frame.append(reinterpret_cast<const char*>(kMask), 4);
    for (size_t i = 0; i < length; ++i)
        frame.push_back(static_cast<char>(payload[i] ^ kMask[i % 4]));
    return frame;
}

}  // namespace testing_support

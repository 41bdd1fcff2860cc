#include "platform/base/kx_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr useconds_t kOutOfDescriptorsPause = 100 * 1000;

// Whether fd is one of the last descriptors the process may open.
bool IsReserved(int fd) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
    return static_cast<rlim_t>(fd) + KX_RESERVED_DESCRIPTORS >= limit.rlim_cur;
}

// Closes a socket that failed to set up, keeping the errno of that failure
// for the caller.
void CloseKeepingError(int fd) {
    int error = errno;
    ::close(fd);
    errno = error;
}

// Replies are small and latency matters, so Nagle's delay is off.
void ConfigureConnection(int fd) {
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// The socket address for a numeric IPv4 or IPv6 address and port.
bool MakeAddress(const std::string& text, uint16_t port, sockaddr_storage* address,
                 socklen_t* length) {
    *address = {};
    auto* v4 = reinterpret_cast<sockaddr_in*>(address);
    if (inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        *length = sizeof(sockaddr_in);
        return true;
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(address);
    if (inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        *length = sizeof(sockaddr_in6);
        return true;
    }
    return false;
}

}  // namespace

int KXSocket_Listen(const std::string& text, uint16_t port, int backlog, KXSocket* socket,
                    KXListenFailure* failure) {
    if (socket == nullptr || failure == nullptr) return KX_ERR_ARGUMENT;
    *socket = KX_INVALID_SOCKET;
    *failure = KXListenFailure::kNone;
    sockaddr_storage address;
    socklen_t length = 0;
    if (!MakeAddress(text, port, &address, &length)) {
        *failure = KXListenFailure::kUnavailable;
        return KX_ERR_ARGUMENT;
    }
    int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *failure = errno == EAFNOSUPPORT ? KXListenFailure::kUnavailable : KXListenFailure::kSocket;
        return KX_ERR_SYSTEM;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (address.ss_family == AF_INET6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        *failure = errno == EADDRNOTAVAIL ? KXListenFailure::kUnavailable : KXListenFailure::kBind;
        CloseKeepingError(fd);
        return KX_ERR_SYSTEM;
    }
    if (listen(fd, backlog) != 0) {
        CloseKeepingError(fd);
        *failure = KXListenFailure::kListen;
        return KX_ERR_SYSTEM;
    }
    *socket = fd;
    return KX_OK;
}

int KXSocket_Accept(KXSocket listener, KXSocket* accepted, std::string* peerIp,
                    uint16_t* peerPort) {
    if (accepted == nullptr || peerIp == nullptr || peerPort == nullptr) return KX_ERR_ARGUMENT;
    for (;;) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        int fd = accept4(listener, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
        if (fd < 0) {
            // A connection reset before it was accepted is not the server's failure.
            if (errno == EINTR || errno == ECONNABORTED) continue;
            // Running out of descriptors or memory passes as connections
            // close; waiting keeps the port served instead of ending it.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                usleep(kOutOfDescriptorsPause);
                continue;
            }
            return KX_ERR_SYSTEM;
        }
        if (IsReserved(fd)) {
            ::close(fd);
            usleep(kOutOfDescriptorsPause);
            continue;
        }
        ConfigureConnection(fd);
        char text[INET6_ADDRSTRLEN] = {};
        if (address.ss_family == AF_INET6) {
            const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
            inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
            *peerPort = ntohs(v6->sin6_port);
        } else {
            const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
            inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
            *peerPort = ntohs(v4->sin_port);
        }
        *accepted = fd;
        *peerIp = text;
        return KX_OK;
    }
}

int KXSocket_SetSendTimeout(KXSocket socket, int timeoutMs) {
    if (socket == KX_INVALID_SOCKET || timeoutMs < 0) return KX_ERR_ARGUMENT;
    timeval limit{};
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = (timeoutMs % 1000) * 1000;
    if (setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0)
        return KX_ERR_SYSTEM;
    return KX_OK;
}

long KXSocket_Recv(KXSocket socket, void* buffer, size_t size, int timeoutMs) {
    if (timeoutMs >= 0) {
        pollfd ready{socket, POLLIN, 0};
        int polled = 0;
        do {
            polled = poll(&ready, 1, timeoutMs);
        } while (polled < 0 && errno == EINTR);
        if (polled == 0) return KX_RECV_TIMED_OUT;
    }
    for (;;) {
        ssize_t got = recv(socket, buffer, size, 0);
        if (got < 0 && errno == EINTR) continue;
        return static_cast<long>(got);
    }
}

int KXSocket_SendAll(KXSocket socket, const void* data, size_t size, bool more) {
    const auto* bytes = static_cast<const char*>(data);
    int flags = MSG_NOSIGNAL | (more ? MSG_MORE : 0);
    while (size > 0) {
        ssize_t sent = send(socket, bytes, size, flags);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return KX_ERR_SYSTEM;
        bytes += sent;
        size -= static_cast<size_t>(sent);
    }
    return KX_OK;
}

int KXSocket_Shutdown(KXSocket socket) {
    return shutdown(socket, SHUT_RDWR) == 0 ? KX_OK : KX_ERR_SYSTEM;
}

int KXSocket_Close(KXSocket socket) {
    return ::close(socket) == 0 ? KX_OK : KX_ERR_SYSTEM;
}

std::string KXSocket_LocalAddress(KXSocket socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        return std::string(text) + ":" + std::to_string(ntohs(v4.sin_port));
    }
    if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(v6.sin6_port));
    }
    return {};
}

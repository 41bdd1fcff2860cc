// TCP sockets (IPv4 and IPv6) for the servers and their connections.
//
// Thin wrappers over POSIX sockets so that nothing above the platform layer
// makes socket calls. Sends never raise SIGPIPE. Any thread may call these;
// a socket is owned by the code that opened or accepted it and is released
// with KXSocket_Close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/base/kx_status.h"

using KXSocket = int;
constexpr KXSocket KX_INVALID_SOCKET = -1;

// The step of KXSocket_Listen that failed. kUnavailable: the address is not
// a numeric IPv4 or IPv6 address, or this machine has no such address or
// address family (an IPv6 loopback on a host without IPv6).
enum class KXListenFailure { kNone = 0, kSocket = 1, kBind = 2, kListen = 3, kUnavailable = 5 };

// A socket listening on address (numeric: "127.0.0.1", "::1", "0.0.0.0",
// "::", "192.168.1.20") at port with the given backlog. An IPv6 socket takes
// only IPv6 connections. SO_REUSEADDR is set so a restarted service can bind
// past TIME_WAIT; a port held by a live listener still fails at the bind step.
// On failure errno holds the system's reason.
int KXSocket_Listen(const std::string& address, uint16_t port, int backlog, KXSocket* socket,
                    KXListenFailure* failure);
// Descriptors that connections never take: they stay free for the service's
// own work (the files of a scan, the database and its journal, uploads, and
// the sanitizers' own checks in test builds), so a crowd of connections
// cannot make a page fail to be saved.
constexpr int KX_RESERVED_DESCRIPTORS = 16;

// Blocks until a connection arrives; fails once the listening socket is shut
// down. While running out of descriptors (or within the reserve above),
// accepting pauses; a connection that would take a reserved descriptor is
// closed at once. The peer's address is numeric text (IPv6 without brackets).
int KXSocket_Accept(KXSocket listener, KXSocket* accepted, std::string* peerIp, uint16_t* peerPort);
// A send on the socket gives up after timeoutMs without progress (0: waits
// without limit), so a peer that stops reading cannot stall its sender.
int KXSocket_SetSendTimeout(KXSocket socket, int timeoutMs);
// Result of KXSocket_Recv when nothing arrived within the time limit.
constexpr long KX_RECV_TIMED_OUT = -2;

// Bytes received (> 0), 0 when the peer closed, KX_RECV_TIMED_OUT when
// timeoutMs (>= 0) passed without a byte, another negative value on failure.
// A negative timeoutMs waits without limit.
long KXSocket_Recv(KXSocket socket, void* buffer, size_t size, int timeoutMs = -1);
// Sends everything or fails; the result of a failure is only informative.
// more = true holds the bytes back until the next send, so that a frame
// header and its payload sent separately leave in one segment; it gives up
// after the socket's send time-out (KXSocket_SetSendTimeout).
int KXSocket_SendAll(KXSocket socket, const void* data, size_t size, bool more = false);
// Ends both directions, waking any thread blocked in recv or accept on it.
int KXSocket_Shutdown(KXSocket socket);
int KXSocket_Close(KXSocket socket);
// The local address a socket is bound to, as "127.0.0.1:38999" or
// "[::1]:38999"; empty when it cannot be read.
std::string KXSocket_LocalAddress(KXSocket socket);

// IPv4 TCP sockets for the servers and their connections.
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

// The step of KXSocket_Listen that failed.
enum class KXListenFailure { kNone = 0, kSocket = 1, kBind = 2, kListen = 3 };

// A socket listening on every IPv4 interface at port with the given backlog.
// SO_REUSEADDR is set so a restarted service can bind past TIME_WAIT; a port
// held by a live listener still fails at the bind step. On failure errno
// holds the system's reason.
int KXSocket_Listen(uint16_t port, int backlog, KXSocket* socket, KXListenFailure* failure);
// Blocks until a connection arrives; fails once the listening socket is shut down.
int KXSocket_Accept(KXSocket listener, KXSocket* accepted, std::string* peerIp, uint16_t* peerPort);
// Bytes received (> 0), 0 when the peer closed, < 0 on failure.
long KXSocket_Recv(KXSocket socket, void* buffer, size_t size);
// Sends everything or fails; the result of a failure is only informative.
// more = true holds the bytes back until the next send, so that a frame
// header and its payload sent separately leave in one segment. Accepted
// sockets give up a send after 60 seconds without progress.
int KXSocket_SendAll(KXSocket socket, const void* data, size_t size, bool more = false);
// Ends both directions, waking any thread blocked in recv or accept on it.
int KXSocket_Shutdown(KXSocket socket);
int KXSocket_Close(KXSocket socket);
// The local address a socket is bound to, as "127.0.0.1:38999" or
// "[::1]:38999"; empty when it cannot be read.
std::string KXSocket_LocalAddress(KXSocket socket);

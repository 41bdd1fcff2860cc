#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>

#include "platform/base/kx_socket.h"

namespace {

// A listener on a free loopback port and one accepted connection to it.
struct AcceptedPair {
    KXSocket listener = KX_INVALID_SOCKET;
    int client = -1;
    KXSocket accepted = KX_INVALID_SOCKET;

    AcceptedPair() {
        KXListenFailure failure = KXListenFailure::kNone;
        if (KXSocket_Listen("127.0.0.1", 0, 1, &listener, &failure) != KX_OK) return;
        sockaddr_in address{};
        socklen_t length = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        client = ::socket(AF_INET, SOCK_STREAM, 0);
        if (connect(client, reinterpret_cast<sockaddr*>(&address), length) != 0) return;
        std::string ip;
        uint16_t port = 0;
        KXSocket_Accept(listener, &accepted, &ip, &port);
    }
    ~AcceptedPair() {
        if (accepted != KX_INVALID_SOCKET) KXSocket_Close(accepted);
        if (client >= 0) ::close(client);
        if (listener != KX_INVALID_SOCKET) KXSocket_Close(listener);
    }
};

timeval SendTimeoutOf(KXSocket socket) {
    timeval limit{};
    socklen_t size = sizeof limit;
    getsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, &size);
    return limit;
}

// Accepting leaves the send time-out to the caller, which sets it in
// milliseconds; a bad socket or a negative time is refused.
TEST(Sockets, SendTimeOutIsTheCallersAndSetInMilliseconds) {
    AcceptedPair pair;
    ASSERT_NE(pair.accepted, KX_INVALID_SOCKET);
    timeval before = SendTimeoutOf(pair.accepted);
    EXPECT_EQ(before.tv_sec, 0);
    EXPECT_EQ(before.tv_usec, 0);

    ASSERT_EQ(KXSocket_SetSendTimeout(pair.accepted, 60000), KX_OK);
    EXPECT_EQ(SendTimeoutOf(pair.accepted).tv_sec, 60);
    ASSERT_EQ(KXSocket_SetSendTimeout(pair.accepted, 1500), KX_OK);
    timeval after = SendTimeoutOf(pair.accepted);
    EXPECT_EQ(after.tv_sec, 1);
    EXPECT_NEAR(after.tv_usec, 500000, 4000);  // the kernel keeps it in jiffies

    EXPECT_NE(KXSocket_SetSendTimeout(pair.accepted, -1), KX_OK);
    EXPECT_NE(KXSocket_SetSendTimeout(KX_INVALID_SOCKET, 1000), KX_OK);
}

}  // namespace

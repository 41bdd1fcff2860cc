// A connection of the generation-1 Socket.IO endpoint: Engine.IO packets
// carried directly over WebSocket, with Socket.IO events ("42" + a JSON
// array) both ways.
//
// The connection thread answers the Engine.IO ping "2" with "3" itself;
// every other message goes to HandleEvent on the service thread. OnEvent and
// OnImage are the back end's callbacks; they run on a driver thread under the
// back end's lock and only format text and post it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/websocket_user.h"

namespace ver_1 {

class ManagerV1;

class SockIoUser : public WebSocketUser {
  public:
    SockIoUser(WebServer* server, uint32_t id, std::string ip, uint16_t port, KXSocket socket);
    ~SockIoUser() override;

    // Runs a "scan" or "stop" event from the page. Service thread.
    void HandleEvent(const uint8_t* text, size_t length);

    static void OnEvent(int code, const char* text, int flag, void* user);
    static void OnImage(const char* name, const char* dataUrl, void* user);

    ManagerV1& manager() const;

  protected:
    const char* ThreadName() const override { return "SockIoUser::ThreadFunc"; }
    bool CheckHandshake(const std::string& text) override;
    bool OnMessage(ByteBuffer message) override;
};

}  // namespace ver_1

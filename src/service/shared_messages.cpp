#include "service/shared_messages.h"

#include "net/pump_messages.h"
#include "net/web_server.h"
#include "net/websocket_user.h"

namespace {

void HandleUserConnected(const PumpMessage* message) {
    auto connection = AdoptPayload<AcceptedConnection>(message);
    // During shutdown the server may already be closed; then nobody takes
    // the socket.
    if (connection->server->IsOpen()) connection->server->AcceptUser(*connection);
    if (connection->socket != KX_INVALID_SOCKET) KXSocket_Close(connection->socket);
}

void HandleUserClosed(const PumpMessage* message) {
    auto reference = AdoptPayload<ConnectionRef>(message);
    reference->server->RemoveUser(reference->id);
}

void HandleSendText(const PumpMessage* message) {
    auto text = AdoptPayload<TextMessage>(message);
    auto* user = dynamic_cast<WebSocketUser*>(FindConnection(text->server, text->id));
    if (user == nullptr || text->text == nullptr || text->length == 0) return;
    // Events addressed to a connection still in its handshake are dropped:
    // its peer is not yet a WebSocket client and the reply must come first.
    if (!user->HandshakeDone()) return;
    user->SendTextFrame(reinterpret_cast<const char*>(text->text.get()), text->length);
}

}  // namespace

WebUser* FindConnection(WebServer* server, uint32_t id) {
    return server != nullptr ? server->FindUser(id) : nullptr;
}

bool HandleSharedMessage(const PumpMessage* message) {
    switch (message->id) {
        case PUMP_MSG_USER_CONNECTED:
            HandleUserConnected(message);
            return true;
        case PUMP_MSG_USER_CLOSED:
            HandleUserClosed(message);
            return true;
        case PUMP_MSG_SEND_TEXT:
            HandleSendText(message);
            return true;
        default:
            return false;
    }
}

// A connection that speaks WebSocket as a server: the base of the
// generation-2 command connection and the generation-1 Socket.IO connection.
//
// The connection thread runs the reader loop: it collects the opening
// handshake (within the server's head time limit) and lets the subclass
// check and answer it, answers pings itself (a pong echoing the payload,
// under the send lock), and hands every complete message to OnMessage,
// which by default posts PUMP_MSG_TEXT_RECEIVED to the service thread. A
// close frame is answered with a close frame echoing its status code; that,
// a protocol violation, a failed check, a peer flooding the service thread
// or the peer going away ends the loop with PUMP_MSG_USER_CLOSED. When the
// server closes, an open WebSocket gets a close frame with status 1001.
//
// SendTextFrame writes one unmasked text frame under the send lock (service
// thread, or the connection thread for protocol answers); PostSendText hands
// a copy of the text to the service thread to write, and may be called from
// any thread (scanner-driver threads use it for events).
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "net/byte_buffer.h"
#include "net/http_request.h"
#include "net/web_user.h"
#include "net/websocket_reader.h"

class WebSocketUser : public WebUser {
  public:
    using WebUser::WebUser;

    void ThreadFunc() override;

    // False, sending nothing, when text is null or length is 0.
    bool SendTextFrame(const char* text, size_t length);
    // True once the opening handshake has been answered in full; before
    // that only the connection thread writes to the peer.
    bool HandshakeDone() const { return handshakeDone_; }
    void PostSendText(const char* text, size_t length);
    void OnServerClosing() override;

  protected:
    // The name logged when the thread starts, e.g. "WSUser::ThreadFunc".
    virtual const char* ThreadName() const = 0;
    // Checks the opening handshake and answers it; false ends the connection.
    virtual bool CheckHandshake(const std::string& text) = 0;
    // A complete message arrived (connection thread); false ends the
    // connection.
    virtual bool OnMessage(ByteBuffer message);

    // True when the server admits the request's origin; otherwise answers
    // "403 Forbidden" and returns false.
    bool AdmitOrigin(const HttpRequest& request);
    // Sends the 101 reply for the request's "Sec-WebSocket-Key"; false when
    // the key is missing or empty.
    bool AcceptHandshake(const HttpRequest& request);

  private:
    // Acts on one reader event; false ends the connection.
    bool HandleEvent(WebSocketReader::Event event, WebSocketReader& reader);

    std::atomic<bool> handshakeDone_{false};
};

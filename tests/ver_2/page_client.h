// The page's side of the generation-2 channel for end-to-end tests: a
// WebSocket client (Boost.Beast) that sends JSON commands, waits for their
// replies and keeps the events that arrive in between, in order. Messages are
// parsed with cJSON. One test thread uses a client.
#pragma once

#include <cjson/cJSON.h>

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/ws_client.h"

namespace testing_support {

using Json = std::shared_ptr<cJSON>;

// Parses text; null when it is not JSON.
Json ParseJson(const std::string& text);

// Members of a message; "" / 0 / false when absent or of another type.
std::string JsonString(const Json& json, const char* name);
double JsonNumber(const Json& json, const char* name);
bool JsonBool(const Json& json, const char* name);
bool JsonHas(const Json& json, const char* name);
// The names of the message's members, in order.
std::vector<std::string> JsonKeys(const Json& json);

class PageClient {
  public:
    // Connects (again) to the service; kept events are dropped.
    bool Connect(int port) {
        socket_.Close();
        events_.clear();
        return socket_.Connect(port);
    }
    void Close() { socket_.Close(); }

    // Sends text and returns the reply: the next message with a "ret"
    // member. Events received meanwhile are kept. Null on time-out.
    Json Call(const std::string& text,
              std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // Sends every text at once, without waiting for any reply in between,
    // then returns their replies in order (null for those not received in
    // time). Events received meanwhile are kept.
    std::vector<Json> CallAll(const std::vector<std::string>& texts,
                              std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // The raw text of the next reply (as printed by the service).
    std::string CallRaw(const std::string& text,
                        std::chrono::milliseconds timeout = std::chrono::seconds(60));

    // The next event, kept or new; null on time-out.
    Json NextEvent(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Events up to and including the first whose "func" is func; empty when
    // it does not come in time.
    std::vector<Json> EventsThrough(const std::string& func,
                                    std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // True when no event arrives within the time: after waiting, a probe
    // command is sent, and nothing may come before its reply. (A time-out
    // while reading would end the client's connection.)
    bool Quiet(std::chrono::milliseconds time);

  private:
    std::optional<std::string> Receive(std::chrono::steady_clock::time_point deadline);
    // The next message with a "ret" member; events before it are kept.
    std::string NextReply(std::chrono::steady_clock::time_point deadline);

    WsClient socket_;
    std::deque<std::string> events_;
};

}  // namespace testing_support

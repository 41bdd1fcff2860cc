// A running generation-1 service (REST on 18999, Socket.IO on 28999) in a
// private folder tree with the virtual scanner, and the clients the
// end-to-end tests talk to it with: raw HTTP/1.1 over one TCP connection
// per exchange, and Boost.Beast WebSocket clients speaking Socket.IO.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/raw_client.h"
#include "support/service_process.h"
#include "support/ws_client.h"

namespace testing_support {

struct HttpResponse {
    bool received = false;
    std::string head;  // status line and headers
    std::string body;
};

// Reads one response from an open connection: the head, then as many body
// bytes as its Content-Length announces.
HttpResponse ReadResponse(RawClient& client,
                          std::chrono::milliseconds timeout = std::chrono::seconds(30));

// "application/x-www-form-urlencoded" escaping of a field value.
std::string FormEscape(const std::string& text);

class Generation1Test : public ::testing::Test {
  protected:
    static constexpr int kRestPort = 18999;
    static constexpr int kSocketIoPort = 28999;
    static constexpr char kScanner[] = "Virtual Scanner";

    // Starts generation 1 with the given [virtual] keys (and extra
    // environment variables) and waits until both servers listen and (unless
    // no scanner is configured) the scanner is open.
    void StartService(const std::map<std::string, std::string>& virtualKeys = {},
                      const std::map<std::string, std::string>& environment = {});
    void RestartService();
    void TearDown() override;

    // One request on a new connection; the response's body ("" and a test
    // failure when none arrives).
    HttpResponse Exchange(const std::string& request);
    std::string Get(const std::string& target);
    std::string PostForm(const std::string& path, const std::string& form);

    // A Socket.IO client past the open and connect packets.
    bool ConnectSocketIo(WsClient& client);

    // The folder of a pid and helpers to fill it.
    std::string PidFolder(const std::string& pid = kScanner) const;
    void MakeImage(const std::string& pid, const std::string& name, uint32_t width,
                   uint32_t height) const;
    void WriteList(const std::string& pid, const std::vector<std::string>& names) const;
    std::vector<std::string> ReadList(const std::string& pid = kScanner) const;

    ServiceProcess service_;
    // Extra environment of the service (e.g. another scanner driver).
    std::map<std::string, std::string> environment_;
};

// Messages received until one contains text (included), or the time-out.
std::vector<std::string> ReceiveUntil(WsClient& client, const std::string& text,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(30));

// True when the text parses as JSON.
bool IsJson(const std::string& text);

}  // namespace testing_support

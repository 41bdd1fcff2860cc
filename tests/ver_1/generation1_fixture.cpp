#include "ver_1/generation1_fixture.h"

#include <cjson/cJSON.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/image/kx_imgfmt.h"

namespace testing_support {

namespace {

constexpr char kFormType[] = "Content-Type: application/x-www-form-urlencoded\r\n";

size_t ContentLength(const std::string& head) {
    std::string lower = head;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) return 0;
    return static_cast<size_t>(std::atol(head.c_str() + at + 17));
}

}  // namespace

HttpResponse ReadResponse(RawClient& client, std::chrono::milliseconds timeout) {
    HttpResponse response;
    response.head = client.ReadUntil("\r\n\r\n", timeout);
    if (response.head.size() < 4 || response.head.substr(response.head.size() - 4) != "\r\n\r\n") {
        return response;
    }
    size_t length = ContentLength(response.head);
    response.body = client.ReadExactly(length, timeout);
    response.received = response.body.size() == length;
    return response;
}

std::string FormEscape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            out += escape;
        }
    }
    return out;
}

void Generation1Test::StartService(const std::map<std::string, std::string>& virtualKeys,
                                   const std::map<std::string, std::string>& environment) {
    service_.SetConfig("config.ini", "version", "verNum", "1");
    service_.SetConfig("config.ini", "virtual", "page_delay_ms", "5");
    service_.SetConfig("config.ini", "virtual", "sheets", "2");
    for (const auto& [key, value] : virtualKeys)
        service_.SetConfig("config.ini", "virtual", key, value);
    std::map<std::string, std::string> variables = environment_;
    for (const auto& [name, value] : environment) variables[name] = value;
    service_.Start(variables);
    ASSERT_TRUE(service_.WaitForLog("open webserver success, port=28999")) << service_.Log();
    auto devices = virtualKeys.find("devices");
    if (devices != virtualKeys.end() && devices->second.empty()) return;
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (PostForm("/VevIzer/getVersionInfo", "") !=
            "{\"code\":200, \"msg\":null, \"data\":\"\"}")
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    FAIL() << "the scanner was not opened\n" << service_.Log();
}

void Generation1Test::RestartService() {
    ASSERT_EQ(service_.Stop(SIGTERM), 0) << service_.Log();
    service_.Start(environment_);
    // The log of the first run may still be there for a moment: wait for
    // the ports themselves, then for the scanner.
    for (int attempt = 0; attempt < 400; ++attempt) {
        RawClient probe;
        if (probe.Connect(kRestPort)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (PostForm("/VevIzer/getVersionInfo", "") !=
            "{\"code\":200, \"msg\":null, \"data\":\"\"}")
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    FAIL() << "the scanner was not opened again\n" << service_.Log();
}

void Generation1Test::TearDown() {
    if (service_.pid() > 0 && service_.Running()) {
        EXPECT_EQ(service_.Stop(SIGTERM), 0) << service_.Log();
    }
}

HttpResponse Generation1Test::Exchange(const std::string& request) {
    RawClient client;
    EXPECT_TRUE(client.Connect(kRestPort));
    client.Send(request);
    HttpResponse response = ReadResponse(client);
    EXPECT_TRUE(response.received) << request;
    return response;
}

std::string Generation1Test::Get(const std::string& target) {
    return Exchange("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").body;
}

std::string Generation1Test::PostForm(const std::string& path, const std::string& form) {
    return Exchange("POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + kFormType +
                    "Content-Length: " + std::to_string(form.size()) + "\r\n\r\n" + form)
        .body;
}

bool Generation1Test::ConnectSocketIo(WsClient& client) {
    if (!client.Connect(kSocketIoPort, "/socket.io/?EIO=3&transport=websocket")) return false;
    auto open = client.Receive();
    auto connect = client.Receive();
    return open && open->rfind("0{", 0) == 0 && connect == "40";
}

std::string Generation1Test::PidFolder(const std::string& pid) const {
    return service_.documentsDir() + "scanbridge/" + pid + "/";
}

void Generation1Test::MakeImage(const std::string& pid, const std::string& name, uint32_t width,
                                uint32_t height) const {
    KXImage image = nullptr;
    ASSERT_EQ(KXBase_CreateImage(width, height, KX_PIXEL_RGB, KX_ORIGIN_TOP_LEFT, &image), 0);
    std::string folder = PidFolder(pid);
    std::filesystem::create_directories(folder);
    EXPECT_EQ(KXImgFmt_SaveImage(image, 0, nullptr, (folder + name).c_str()), 0);
    KXBase_DestroyImage(image);
}

void Generation1Test::WriteList(const std::string& pid,
                                const std::vector<std::string>& names) const {
    std::string text;
    for (const std::string& name : names)
        text += name + "\n";
    WriteFile(PidFolder(pid) + "images.txt", text);
}

std::vector<std::string> Generation1Test::ReadList(const std::string& pid) const {
    std::vector<std::string> names;
    std::istringstream lines(ReadFile(PidFolder(pid) + "images.txt"));
    for (std::string line; std::getline(lines, line);)
        names.push_back(line);
    return names;
}

std::vector<std::string> ReceiveUntil(WsClient& client, const std::string& text,
                                      std::chrono::milliseconds timeout) {
    std::vector<std::string> messages;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        auto message = client.Receive(std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()));
        if (!message) break;
        messages.push_back(*message);
        if (message->find(text) != std::string::npos) break;
    }
    return messages;
}

bool IsJson(const std::string& text) {
    cJSON* json = cJSON_ParseWithOpts(text.c_str(), nullptr, 1);
    cJSON_Delete(json);
    return json != nullptr;
}

}  // namespace testing_support

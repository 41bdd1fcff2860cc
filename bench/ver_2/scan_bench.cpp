// End-to-end scan speed and memory: the real service scans 100 colour A4
// pages at 300 dpi through the virtual scanner ("page_delay_ms" 0), saves
// them as JPEG at quality 80 and reports each page to a Beast WebSocket
// client. Counted from the "start_scan" request to the "scan_end" event.
//
// Counters: pages_per_s over all iterations; the service's resident memory
// (VmRSS, MiB) in the last iteration before the scan, averaged over pages
// 1-10 and 91-100, and half a second after it; cores.
#include <benchmark/benchmark.h>
#include <cjson/cJSON.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "support/service_process.h"
#include "support/ws_client.h"

namespace {

using testing_support::FreePort;
using testing_support::ServiceProcess;
using testing_support::WsClient;

constexpr int kPages = 100;

double ResidentMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

std::string FuncOf(const std::string& message) {
    cJSON* json = cJSON_Parse(message.c_str());
    const cJSON* func = cJSON_GetObjectItemCaseSensitive(json, "func");
    std::string result = cJSON_IsString(func) ? func->valuestring : "";
    bool isReply = cJSON_GetObjectItemCaseSensitive(json, "ret") != nullptr;
    cJSON_Delete(json);
    return isReply ? "reply:" + result : result;
}

// Sends a command and skips messages up to its reply.
bool Call(WsClient& client, const std::string& text) {
    if (!client.Send(text)) return false;
    while (auto message = client.Receive(std::chrono::seconds(30))) {
        if (FuncOf(*message).rfind("reply:", 0) == 0) return true;
    }
    return false;
}

void BM_ScanHundredColourA4Pages(benchmark::State& state) {
    ServiceProcess service;
    int port = FreePort();
    service.SetConfig("config2.ini", "connect", "port", std::to_string(port));
    service.SetConfig("config.ini", "virtual", "page_delay_ms", "0");
    service.SetConfig("config.ini", "virtual", "sheets", std::to_string(kPages));
    service.Start();
    if (!service.WaitForLog("open webserver success")) {
        state.SkipWithError("the service did not start");
        return;
    }
    WsClient client;
    bool ready =
        client.Connect(port) && Call(client, R"({"func":"init_device"})") &&
        Call(client, R"({"func":"open_device","device_name":"Virtual Scanner"})") &&
        Call(client,
             R"({"func":"set_global_config","image_format":"jpg","image_jpeg_quality":80})") &&
        Call(client, R"({"func":"set_device_param","device_param":[
                     {"name":"扫描张数","value":"连续扫描"},{"name":"颜色模式","value":"24位彩色"},
                     {"name":"分辨率","value":300},{"name":"纸张尺寸","value":"A4"},
                     {"name":"扫描页面","value":"单面"}]})");
    if (!ready) {
        state.SkipWithError("the scanner could not be prepared");
        return;
    }
    double before = 0, first = 0, last = 0, after = 0, totalSeconds = 0;
    int images = 0;
    int totalImages = 0;
    for (auto _ : state) {
        before = ResidentMiB(service.pid());
        first = last = 0;
        images = 0;
        auto start = std::chrono::steady_clock::now();
        client.Send(R"({"func":"start_scan"})");
        while (auto message = client.Receive(std::chrono::seconds(60))) {
            std::string func = FuncOf(*message);
            if (func == "scan_image") {
                ++images;
                double rss = ResidentMiB(service.pid());
                if (images <= 10) first += rss / 10;
                if (images > kPages - 10) last += rss / 10;
            }
            if (func == "scan_end") break;
        }
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        totalSeconds += seconds;
        totalImages += images;
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        after = ResidentMiB(service.pid());
        Call(client, R"({"func":"clear_global_file_save_path"})");
        state.ResumeTiming();
    }
    if (images != kPages) state.SkipWithError("not every page was reported");
    state.counters["pages_per_s"] = totalImages / totalSeconds;
    state.counters["rss_before_MiB"] = before;
    state.counters["rss_pages_1_10_MiB"] = first;
    state.counters["rss_pages_91_100_MiB"] = last;
    state.counters["rss_after_MiB"] = after;
    state.counters["cores"] = std::thread::hardware_concurrency();
    client.Close();
    service.Stop(SIGTERM);
}
BENCHMARK(BM_ScanHundredColourA4Pages)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

// The batch store through the real (Release) service, measured by a Beast
// WebSocket client that is not our code, from sending the command to the
// last byte of its reply:
//  - "insert_local_image" of a colour A4 page at 300 dpi (JPEG, quality 80),
//    beside the thumbnail alone and the back end's insert alone (both in
//    this process);
// The page is a real scan: the virtual scanner's colour A4 page at 300 dpi,
// saved by the service as it saves every scanned page. The service's CPU
// time per command is counted too (service_cpu_ms): on a shared machine it
// varies less than the elapsed time.
//  - "get_image_thumbnail_list" of a batch of 500 such pages;
//  - "move_image" and "image_book_sort" on a batch of 1000 pages.
#include <benchmark/benchmark.h>
#include <cjson/cJSON.h>
#include <jpeglib.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "support/service_process.h"
#include "support/temp_dir.h"
#include "support/ws_client.h"
#include "ver_2/batch_store.h"
#include "ver_2/thumbnails.h"

namespace {

using testing_support::FreePort;
using testing_support::ServiceProcess;
using testing_support::TempDir;
using testing_support::WsClient;

bool IsReply(const std::string& message) {
    std::unique_ptr<cJSON, decltype(&cJSON_Delete)> json(cJSON_Parse(message.c_str()),
                                                         cJSON_Delete);
    return json != nullptr && cJSON_GetObjectItemCaseSensitive(json.get(), "ret") != nullptr;
}

int RetOf(const std::string& message) {
    std::unique_ptr<cJSON, decltype(&cJSON_Delete)> json(cJSON_Parse(message.c_str()),
                                                         cJSON_Delete);
    const cJSON* ret = cJSON_GetObjectItemCaseSensitive(json.get(), "ret");
    return cJSON_IsNumber(ret) ? ret->valueint : -99;
}

// CPU time (user and system) the process has used so far, in milliseconds.
double CpuMilliseconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; fields >> field && i <= 15; ++i) {
        if (i == 14 || i == 15) ticks += std::stod(field);
    }
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The service with a connected client.
class Session {
  public:
    bool Open() {
        int port = FreePort();
        service_.SetConfig("config2.ini", "connect", "port", std::to_string(port));
        service_.Start();
        return service_.WaitForLog("open webserver success") && client_.Connect(port);
    }
    ~Session() {
        client_.Close();
        service_.Stop(SIGTERM);
    }

    // The reply's text, whole; empty on time-out. received() is the moment
    // its last byte arrived, before the client parsed it.
    std::string Call(const std::string& text) {
        if (!client_.Send(text)) return {};
        while (auto message = client_.Receive(std::chrono::seconds(120))) {
            received_ = std::chrono::steady_clock::now();
            if (IsReply(*message)) return *message;
        }
        return {};
    }
    std::chrono::steady_clock::time_point received() const { return received_; }
    bool Succeeds(const std::string& text) { return RetOf(Call(text)) == 0; }
    double CpuMilliseconds() { return ::CpuMilliseconds(service_.pid()); }

    // Scans one colour A4 page at 300 dpi and returns the saved file's path.
    std::string ScanPage() {
        bool ready = Succeeds(R"({"func":"init_device"})") &&
                     Succeeds(R"({"func":"open_device","device_name":"Virtual Scanner"})") &&
                     Succeeds(R"({"func":"set_device_param","device_param":[
                     {"name":"扫描张数","value":"扫描指定张数"},{"name":"扫描数量","value":1},
                     {"name":"颜色模式","value":"24位彩色"},{"name":"分辨率","value":300},
                     {"name":"纸张尺寸","value":"A4"},{"name":"扫描页面","value":"单面"}]})") &&
                     client_.Send(R"({"func":"start_scan"})");
        std::string path;
        while (ready) {
            std::optional<std::string> message = client_.Receive(std::chrono::seconds(60));
            if (!message) break;
            std::unique_ptr<cJSON, decltype(&cJSON_Delete)> json(cJSON_Parse(message->c_str()),
                                                                 cJSON_Delete);
            const cJSON* func = cJSON_GetObjectItemCaseSensitive(json.get(), "func");
            const cJSON* file = cJSON_GetObjectItemCaseSensitive(json.get(), "image_path");
            if (cJSON_IsString(file) && !IsReply(*message)) path = file->valuestring;
            if (cJSON_IsString(func) && std::string(func->valuestring) == "scan_end") break;
        }
        return path;
    }

    bool AppendPages(const std::string& path, int count) {
        for (int i = 0; i < count; ++i) {
            if (!Succeeds(R"({"func":"insert_local_image","image_path":")" + path + "\"}"))
                return false;
        }
        return true;
    }

  private:
    ServiceProcess service_;
    WsClient client_;
    std::chrono::steady_clock::time_point received_;
};

double Seconds(std::chrono::steady_clock::time_point from,
               std::chrono::steady_clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// The scanned page, made once for the whole program and kept in a folder of
// its own.
const std::string& ScannedPage() {
    static TempDir folder;
    static std::string page = [] {
        Session session;
        std::string scanned = session.Open() ? session.ScanPage() : "";
        if (scanned.empty()) return std::string();
        std::string kept = folder.path() + "page.jpg";
        std::filesystem::copy_file(scanned, kept);
        return kept;
    }();
    return page;
}

// Service CPU time per iteration, next to the time to the reply's last byte.
void CountServiceCpu(benchmark::State& state, Session& session, double startCpu) {
    state.counters["service_cpu_ms"] =
        (session.CpuMilliseconds() - startCpu) / static_cast<double>(state.iterations());
}

void BM_MakeThumbnailOfA4Page(benchmark::State& state) {
    const std::string& page = ScannedPage();
    if (page.empty()) return state.SkipWithError("no scanned page");
    for (auto _ : state) {
        std::vector<uint8_t> thumb = ver_2::MakeThumbnail(page);
        if (thumb.empty()) state.SkipWithError("no thumbnail");
        benchmark::DoNotOptimize(thumb.data());
    }
    state.counters["page_KiB"] = static_cast<double>(std::filesystem::file_size(page)) / 1024;
}
BENCHMARK(BM_MakeThumbnailOfA4Page)->Unit(benchmark::kMillisecond);

// The floor under the thumbnail: libjpeg decoding the page at 1/8 scale
// from memory, nothing else.
void BM_BaselineLibjpegEighthScaleDecode(benchmark::State& state) {
    const std::string& page = ScannedPage();
    if (page.empty()) return state.SkipWithError("no scanned page");
    std::ifstream file(page, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    for (auto _ : state) {
        jpeg_decompress_struct info;
        jpeg_error_mgr errors;
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&info, TRUE);
        info.scale_num = 1;
        info.scale_denom = 8;
        jpeg_start_decompress(&info);
        std::vector<unsigned char> row(size_t{info.output_width} * info.output_components);
        JSAMPROW rows[1] = {row.data()};
        while (info.output_scanline < info.output_height)
            jpeg_read_scanlines(&info, rows, 1);
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(row.data());
    }
}
BENCHMARK(BM_BaselineLibjpegEighthScaleDecode)->Unit(benchmark::kMillisecond);

// The batch store alone, in this process: reading the file, the thumbnail
// and the database transaction, without the channel.
void BM_BackEndInsertLocalImageA4(benchmark::State& state) {
    const std::string& page = ScannedPage();
    if (page.empty()) return state.SkipWithError("no scanned page");
    TempDir root;
    ver_2::BatchStore store(root.path() + "config/");
    ver_2::ErrorInfo errorText;
    int inserted = 0;
    for (auto _ : state) {
        if (store.InsertLocalImage(page, -1, "", errorText) != 0)
            state.SkipWithError("insert failed");
        if (++inserted % 100 == 0) {
            state.PauseTiming();
            store.ClearImageList(errorText);
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_BackEndInsertLocalImageA4)->Unit(benchmark::kMillisecond);

// The batch store's part of the thumbnail list of 500 pages, in this
// process: the database read and the data URLs, without the reply.
void BM_BackEndThumbnailListOf500Pages(benchmark::State& state) {
    const std::string& page = ScannedPage();
    if (page.empty()) return state.SkipWithError("no scanned page");
    TempDir root;
    ver_2::BatchStore store(root.path() + "config/");
    ver_2::ErrorInfo errorText;
    for (int i = 0; i < 500; ++i) {
        if (store.InsertLocalImage(page, -1, "", errorText) != 0)
            return state.SkipWithError("insert failed");
    }
    for (auto _ : state) {
        std::vector<ver_2::ThumbnailItem> items;
        if (store.GetImageThumbnailList(items, errorText) != 0 || items.size() != 500)
            state.SkipWithError("no list");
        benchmark::DoNotOptimize(items.data());
    }
}
BENCHMARK(BM_BackEndThumbnailListOf500Pages)->Unit(benchmark::kMillisecond);

void BM_InsertLocalImageA4(benchmark::State& state) {
    const std::string& page = ScannedPage();
    Session session;
    if (page.empty() || !session.Open()) return state.SkipWithError("the service did not start");
    std::string insert = R"({"func":"insert_local_image","image_path":")" + page + "\"}";
    int inserted = 0;
    double cpu = session.CpuMilliseconds();
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (RetOf(session.Call(insert)) != 0) return state.SkipWithError("insert failed");
        state.SetIterationTime(Seconds(start, session.received()));
        if (++inserted % 100 == 0) {
            state.PauseTiming();
            session.Succeeds(R"({"func":"clear_image_list"})");
            state.ResumeTiming();
        }
    }
    CountServiceCpu(state, session, cpu);
}
BENCHMARK(BM_InsertLocalImageA4)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ThumbnailListOf500Pages(benchmark::State& state) {
    const std::string& page = ScannedPage();
    Session session;
    if (page.empty() || !session.Open() || !session.AppendPages(page, 500))
        return state.SkipWithError("the batch could not be filled");
    size_t bytes = 0;
    double cpu = session.CpuMilliseconds();
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        std::string reply = session.Call(R"({"func":"get_image_thumbnail_list"})");
        state.SetIterationTime(Seconds(start, session.received()));
        if (RetOf(reply) != 0) return state.SkipWithError("no list");
        bytes = reply.size();
    }
    CountServiceCpu(state, session, cpu);
    state.counters["reply_MiB"] = static_cast<double>(bytes) / (1024 * 1024);
}
BENCHMARK(BM_ThumbnailListOf500Pages)->UseManualTime()->Unit(benchmark::kMillisecond);

// Every iteration moves the first image behind the last (every order row
// changes), alternating with the mode "index" for the first three images.
void BM_MoveImageIn1000Pages(benchmark::State& state) {
    const std::string& page = ScannedPage();
    Session session;
    if (page.empty() || !session.Open() || !session.AppendPages(page, 1000))
        return state.SkipWithError("the batch could not be filled");
    const std::string moves[] = {
        R"({"func":"move_image","image_index_list":[0],"mode":"pos","target":1000})",
        R"({"func":"move_image","image_index_list":[0,1,2],"mode":"index","target":997})",
    };
    int i = 0;
    double cpu = session.CpuMilliseconds();
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (!session.Succeeds(moves[i++ % 2])) return state.SkipWithError("move failed");
        state.SetIterationTime(Seconds(start, session.received()));
    }
    CountServiceCpu(state, session, cpu);
}
BENCHMARK(BM_MoveImageIn1000Pages)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_BookSortOf1000Pages(benchmark::State& state) {
    const std::string& page = ScannedPage();
    Session session;
    if (page.empty() || !session.Open() || !session.AppendPages(page, 1000))
        return state.SkipWithError("the batch could not be filled");
    double cpu = session.CpuMilliseconds();
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (!session.Succeeds(R"({"func":"image_book_sort"})"))
            return state.SkipWithError("sort failed");
        state.SetIterationTime(Seconds(start, session.received()));
    }
    CountServiceCpu(state, session, cpu);
}
BENCHMARK(BM_BookSortOf1000Pages)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

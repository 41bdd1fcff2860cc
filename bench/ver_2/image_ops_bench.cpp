// Image-processing commands through the real (Release) service, each beside
// a baseline measured in the same run on the same files:
//  - "merge_local_image" of two 300-dpi A4 colour pages (saved as JPEG)
//    against the bare library work: decoding both pages, pasting them on a
//    canvas and encoding it;
//  - "local_make_multi_image" of 20 unmodified JPEG pages into a PDF against
//    the img2pdf program on the same files (goal: no slower);
//  - the same 20 pages into an LZW TIFF against the library's TIFF writer fed
//    in this process;
//  - "local_image_direction_correct" of a 300-dpi page turned by 90 degrees
//    (goal under 0.6 s) against the library's direction call alone.
// Commands are timed from the request to the reply, with the result deleted
// outside the timing; the service's OCR engines are loaded before timing.
#include <benchmark/benchmark.h>
#include <cjson/cJSON.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/image/kx_imgfmt.h"
#include "platform/image/proc/kx_imgproc.h"
#include "platform/image/proc/page_maker.h"
#include "support/service_process.h"
#include "support/ws_client.h"

namespace {

using testing_support::FreePort;
using testing_support::ServiceProcess;
using testing_support::WsClient;

constexpr uint32_t kA4Width = 2480;  // 300 dpi
constexpr uint32_t kA4Height = 3508;
constexpr int kDocumentPages = 20;

// The service, its client and the input files, made once for all benchmarks.
struct Bench {
    ServiceProcess service;
    WsClient client;
    std::string folder;
    std::vector<std::string> pages;  // 300-dpi A4 colour JPEG pages
    std::string turnedPage;          // a page turned by 90 degrees, JPEG
    bool ready = false;
};

std::string MemberText(const std::string& message, const char* name) {
    cJSON* json = cJSON_Parse(message.c_str());
    const cJSON* member = cJSON_GetObjectItemCaseSensitive(json, name);
    std::string text = cJSON_IsString(member) ? member->valuestring : "";
    if (cJSON_IsNumber(member)) text = std::to_string(member->valueint);
    cJSON_Delete(json);
    return text;
}

// Sends a command and returns its reply ("" when none comes).
std::string Call(WsClient& client, const std::string& text) {
    if (!client.Send(text)) return "";
    while (auto message = client.Receive(std::chrono::seconds(120))) {
        if (!MemberText(*message, "ret").empty()) return *message;
    }
    return "";
}

std::string JsonList(const std::vector<std::string>& items) {
    std::string text = "[";
    for (size_t i = 0; i < items.size(); ++i)
        text += (i > 0 ? ",\"" : "\"") + items[i] + "\"";
    return text + "]";
}

std::string WritePage(KXImage image, const std::string& path) {
    KXImgFmt_SaveImage(image, KX_FORMAT_JPEG, nullptr, path.c_str());
    return path;
}

Bench& Shared() {
    static Bench* bench = [] {
        auto* b = new Bench;
        b->folder = b->service.root().path() + "inputs/";
        std::filesystem::create_directories(b->folder);
        for (int i = 0; i < kDocumentPages; ++i) {
            imgproc_test::Image page =
                imgproc_test::MakeDocumentPage(kA4Width, kA4Height, KX_PIXEL_RGB, 40 + i % 5, 300);
            imgproc_test::FillRect(page.get(), {200, 200, 900, 500}, {30, 90, 200});
            b->pages.push_back(
                WritePage(page.get(), b->folder + "page" + std::to_string(i) + ".jpg"));
        }
        imgproc_test::Image upright =
            imgproc_test::MakeDocumentPage(kA4Width, kA4Height, KX_PIXEL_RGB, 48, 300);
        imgproc_test::Image turned = imgproc_test::TurnClockwise(upright.get(), 90);
        b->turnedPage = WritePage(turned.get(), b->folder + "turned.jpg");

        int port = FreePort();
        b->service.SetConfig("config2.ini", "connect", "port", std::to_string(port));
        b->service.Start();
        b->ready = b->service.WaitForLog("open webserver success") && b->client.Connect(port);
        // Loads the OCR engines, which the service keeps for later managers.
        b->ready =
            b->ready && MemberText(Call(b->client, R"({"func":"local_image_direction_correct",)"
                                                   R"("local_save":false,"image_path":")" +
                                                       b->turnedPage + "\"}"),
                                   "ret") == "0";
        return b;
    }();
    return *bench;
}

// Times one command per iteration; its kept result is deleted untimed.
void TimeCommand(benchmark::State& state, const std::string& request, const char* pathKey) {
    Bench& bench = Shared();
    if (!bench.ready) {
        state.SkipWithError("the service did not start");
        return;
    }
    for (auto _ : state) {
        std::string reply = Call(bench.client, request);
        state.PauseTiming();
        if (MemberText(reply, "ret") != "0") {
            state.SkipWithError(("the command failed: " + reply).c_str());
            break;
        }
        std::filesystem::remove(MemberText(reply, pathKey));
        state.ResumeTiming();
    }
}

struct ImageDeleter {
    void operator()(KXImage image) const { KXBase_DestroyImage(image); }
};
using ImagePtr = std::unique_ptr<KXImageObject, ImageDeleter>;

ImagePtr Load(const std::string& path, uint32_t type) {
    KXImage image = nullptr;
    KXImgFmt_LoadImage(path.c_str(), 0, nullptr, type, KX_ORIGIN_TOP_LEFT, &image);
    return ImagePtr(image);
}

void BM_MergeTwoA4Pages_Command(benchmark::State& state) {
    Bench& bench = Shared();
    TimeCommand(state,
                R"({"func":"merge_local_image","image_path_list":)" +
                    JsonList({bench.pages[0], bench.pages[1]}) + "}",
                "image_path");
}

void BM_MergeTwoA4Pages_Baseline(benchmark::State& state) {
    Bench& bench = Shared();
    std::string out = bench.folder + "baseline-merge.jpg";
    for (auto _ : state) {
        ImagePtr left = Load(bench.pages[0], KX_PIXEL_RGB);
        ImagePtr right = Load(bench.pages[1], KX_PIXEL_RGB);
        KXImage canvas = nullptr;
        KXBase_CreateImage(2 * kA4Width, kA4Height, KX_PIXEL_RGB, KX_ORIGIN_TOP_LEFT, &canvas);
        KXRect first{0, 0, kA4Width, kA4Height};
        KXRect second{kA4Width, 0, 2 * kA4Width, kA4Height};
        KXBase_SetImageROI(canvas, &first);
        KXBase_CopyImage(left.get(), canvas);
        KXBase_SetImageROI(canvas, &second);
        KXBase_CopyImage(right.get(), canvas);
        KXBase_ResetImageROI(canvas);
        ImageSaveInfo info{80, KX_TIFF_LZW, 80};
        KXImgFmt_SaveImage(canvas, KX_FORMAT_JPEG, &info, out.c_str());
        KXBase_DestroyImage(canvas);
    }
    std::filesystem::remove(out);
}

void BM_PdfOfTwentyJpegPages_Command(benchmark::State& state) {
    TimeCommand(state,
                R"({"func":"local_make_multi_image","format":"pdf","image_path_list":)" +
                    JsonList(Shared().pages) + "}",
                "image_path");
}

void BM_PdfOfTwentyJpegPages_Img2pdf(benchmark::State& state) {
    Bench& bench = Shared();
    std::string out = bench.folder + "img2pdf.pdf";
    std::string command = "img2pdf -o '" + out + "'";
    for (const std::string& page : bench.pages)
        command += " '" + page + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("img2pdf failed");
            break;
        }
    }
    std::filesystem::remove(out);
}

void BM_LzwTiffOfTwentyPages_Command(benchmark::State& state) {
    TimeCommand(state,
                R"({"func":"local_make_multi_image","format":"tif","tiff_compression":"lzw",)"
                R"("image_path_list":)" +
                    JsonList(Shared().pages) + "}",
                "image_path");
}

void BM_LzwTiffOfTwentyPages_LibraryWriter(benchmark::State& state) {
    Bench& bench = Shared();
    std::string out = bench.folder + "writer.tif";
    ImageSaveInfo info{80, KX_TIFF_LZW, 80};
    for (auto _ : state) {
        KXImgWriter writer = nullptr;
        KXImgFmt_OpenImageWriter(out.c_str(), KX_FORMAT_TIFF, &writer);
        for (const std::string& page : bench.pages) {
            ImagePtr image = Load(page, KX_PIXEL_KEEP);
            KXImgFmt_SaveImageToWriter(writer, image.get(), &info);
        }
        KXImgFmt_CloseImageWriter(writer);
    }
    std::filesystem::remove(out);
}

void BM_DirectionCorrectA4Page_Command(benchmark::State& state) {
    TimeCommand(
        state,
        R"({"func":"local_image_direction_correct","image_path":")" + Shared().turnedPage + "\"}",
        "image_path");
}

void BM_DirectionCorrectA4Page_DirectionCallOnly(benchmark::State& state) {
    Bench& bench = Shared();
    ImagePtr page = Load(bench.turnedPage, KX_PIXEL_KEEP);
    KXOcrMgr manager = nullptr;
    KXImgProc_CreateOCRMgr(&manager);
    int32_t direction = 0;
    KXImgProc_ImageTextDirectOCR(manager, page.get(), &direction);  // loads the engines
    for (auto _ : state) {
        KXImgProc_ImageTextDirectOCR(manager, page.get(), &direction);
    }
    if (direction != KX_DIRECTION_ROTATE_LEFT) state.SkipWithError("direction not found");
    KXImgProc_DestroyOCRMgr(manager);
}

BENCHMARK(BM_MergeTwoA4Pages_Command)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_MergeTwoA4Pages_Baseline)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_PdfOfTwentyJpegPages_Command)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->UseRealTime();
BENCHMARK(BM_PdfOfTwentyJpegPages_Img2pdf)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->UseRealTime();
BENCHMARK(BM_LzwTiffOfTwentyPages_Command)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->UseRealTime();
BENCHMARK(BM_LzwTiffOfTwentyPages_LibraryWriter)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->UseRealTime();
BENCHMARK(BM_DirectionCorrectA4Page_Command)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->UseRealTime();
BENCHMARK(BM_DirectionCorrectA4Page_DirectionCallOnly)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Bench& bench = Shared();
    bench.client.Close();
    bench.service.Stop(SIGTERM);
    benchmark::Shutdown();
    return 0;
}

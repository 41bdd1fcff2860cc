// Delivery speed of the virtual scanner: 100 colour A4 pages at 300 dpi with
// no page delay, counted from sane_qnsane_start to the finish event, with a
// callback that only touches each page. Also the cost of drawing one such
// page from nothing, which the page cache pays once per scan settings.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>

#include "platform/base/kx_profile.h"
#include "platform/driver/page_renderer.h"
#include "platform/driver/sane_qnsane.h"
#include "platform/driver/scan_plan.h"
#include "platform/scan_sink.h"

namespace {

SANE_Int FindOption(SANE_Handle handle, const std::string& title) {
    for (SANE_Int i = 1; i < 17; ++i) {
        const SANE_Option_Descriptor* d = sane_qnsane_get_option_descriptor(handle, i);
        if (d != nullptr && title == d->title) return i;
    }
    return -1;
}

void BM_DeliverColourA4At300Dpi(benchmark::State& state) {
    std::string folder = (std::filesystem::temp_directory_path() / "sbbench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    setenv("SCANBRIDGE_CONFIG_DIR", folder.c_str(), 1);
    setenv("SCANBRIDGE_DRIVER", "virtual", 1);
    std::string config = folder + "/config.ini";
    KXBase_SetProfileString(config.c_str(), "virtual", "page_delay_ms", "0");
    KXBase_SetProfileString(config.c_str(), "virtual", "sheets", "100");

    ScanSink sink;
    SANE_Int version = 0;
    SANE_Handle handle = nullptr;
    if (sane_qnsane_init_ex(&version, &ScanSink::OnEvent, &sink) != 0 ||
        sane_qnsane_open("Virtual Scanner", &handle) != 0) {
        state.SkipWithError("driver did not start");
        sane_qnsane_exit();
        return;
    }
    SANE_Word dpi = 300;
    sane_qnsane_control_option(handle, FindOption(handle, "分辨率"), SANE_ACTION_SET_VALUE, &dpi,
                               nullptr);
    char a4[] = "A4";
    sane_qnsane_control_option(handle, FindOption(handle, "纸张尺寸"), SANE_ACTION_SET_VALUE, a4,
                               nullptr);

    int pages = 0;
    for (auto _ : state) {
        {
            std::lock_guard guard(sink.mutex);
            sink.pages = 0;
            sink.done = false;
        }
        sane_qnsane_start(handle);
        std::unique_lock lock(sink.mutex);
        sink.finished.wait(lock, [&] { return sink.done; });
        pages += sink.pages;
    }
    benchmark::DoNotOptimize(sink.checksum);
    state.counters["pages/s"] = benchmark::Counter(pages, benchmark::Counter::kIsRate);
    sane_qnsane_close(handle);
    sane_qnsane_exit();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_DeliverColourA4At300Dpi)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RenderColourA4At300Dpi(benchmark::State& state) {
    VirtualOptionValues options;
    SANE_Word dpi = 300;
    options.Set(kOptionResolution, &dpi, nullptr);
    RenderSettings settings = MakeScanPlan(options, VirtualScanConfig{}).render;
    for (auto _ : state) {
        std::unique_ptr<RenderedPage> page = RenderPage(settings, PageKind::kFront);
        benchmark::DoNotOptimize(page->Data());
    }
}
BENCHMARK(BM_RenderColourA4At300Dpi)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

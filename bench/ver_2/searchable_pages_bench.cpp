// Searchable pages ("ocr-pdf") as a scan writes them, each next to its
// baseline in the same run:
// - one A4 page at 300 dpi through the page writer (engine already loaded,
//   as for every page of a scan after the first) against the `tesseract`
//   command-line tool run single-threaded on the same page, saved as PNG;
// - ten such pages on the scan's page workers (in order, as a scan does)
//   against the same ten pages written one after the other on one thread.
// The page benchmarks also report file sizes ("file_kb" for the benchmark's
// noisy page, "clean_file_kb" for the same page without noise, which a
// lossless picture keeps small), the tool's beside them.
// On a machine shared with other work the wall times follow the load, so
// each benchmark also reports the processor time it used ("cpu_ms": this
// process, all threads; "tool_cpu_ms": the command-line tool), which shows
// whether the work itself grew.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/kx_paths.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"
#include "tests/platform/image/proc/page_maker.h"
#include "ver_2/ordered_pipeline.h"
#include "ver_2/page_files.h"

namespace {

constexpr uint32_t kWidth = 2480;  // A4 at 300 dpi
constexpr uint32_t kHeight = 3508;
constexpr int32_t kBodyTextSize = 50;  // 12 point at 300 dpi
constexpr size_t kScanPages = 10;
constexpr uint32_t kDistinctPages = 4;

struct Bench {
    testing_support::TempDir folder;
    std::vector<imgproc_test::Image> pages;
    imgproc_test::Image clean;  // the first page without noise
    std::string png;            // the first page, for the command-line tool
    std::string cleanPng;
    ver_2::PageSaveSettings settings;
};

Bench& Shared() {
    static Bench* bench = [] {
        auto* made = new Bench;
        made->clean =
            imgproc_test::MakeDocumentPage(kWidth, kHeight, KX_PIXEL_RGB, kBodyTextSize, 300);
        for (uint32_t seed = 1; seed <= kDistinctPages; ++seed) {
            imgproc_test::Image page =
                imgproc_test::MakeDocumentPage(kWidth, kHeight, KX_PIXEL_RGB, kBodyTextSize, 300);
            imgproc_test::AddNoise(page.get(), 4, seed);
            made->pages.push_back(std::move(page));
        }
        made->png = made->folder.File("page.png");
        made->cleanPng = made->folder.File("clean.png");
        ImageSaveInfo info{};
        KXImgFmt_SaveImage(made->pages[0].get(), KX_FORMAT_PNG, &info, made->png.c_str());
        KXImgFmt_SaveImage(made->clean.get(), KX_FORMAT_PNG, &info, made->cleanPng.c_str());
        ver_2::GlobalConfig config;
        config.imageFormat = "ocr-pdf";
        made->settings = ver_2::PageSaveSettingsFor(config);
        return made;
    }();
    return *bench;
}

// The scan's page workers: one per core, at most four.
size_t PageWorkers() {
    return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
}

// Processor time of the whole process, every thread, in milliseconds.
double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Processor time of the finished child processes, in milliseconds.
double ChildrenCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Reports the processor time used per iteration since start.
void ReportCpu(benchmark::State& state, const char* name, double start, double end) {
    state.counters[name] = (end - start) / static_cast<double>(state.iterations());
}

double FileKb(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<double>(info.st_size) / 1024.0 : 0.0;
}

// Writes the page as a scan does; the file's size in KB, 0 when not written.
double WriteSearchablePageKb(KXImage page) {
    Bench& bench = Shared();
    std::string path = ver_2::MakeUniqueFileName(bench.folder.path(), "p", "random", "pdf");
    double kb = ver_2::WritePageFile(page, bench.settings, path) == 0 ? FileKb(path) : 0.0;
    KXBase_DeleteFile(path.c_str());
    return kb;
}

bool WriteSearchablePage(KXImage page) {
    return WriteSearchablePageKb(page) > 0;
}

// The command-line tool's searchable PDF of a PNG file, single-threaded.
std::string ToolCommand(const std::string& png, const std::string& outputBase) {
    return "OMP_THREAD_LIMIT=1 tesseract '" + png + "' '" + outputBase +
           "' -l chi_sim+eng --dpi 300 pdf >/dev/null 2>&1";
}

// Writes the pages on the page workers; false when a page failed or the
// completions came out of order.
bool WriteOnPageWorkers(ver_2::OrderedPipeline& workers, size_t pages) {
    Bench& bench = Shared();
    std::vector<int> written(pages, 0);
    std::vector<size_t> completed;
    for (size_t i = 0; i < pages; ++i) {
        KXImage page = bench.pages[i % bench.pages.size()].get();
        workers.Submit({[&written, i, page] { written[i] = WriteSearchablePage(page) ? 1 : 0; },
                        [&completed, i] { completed.push_back(i); }});
    }
    workers.Drain();
    bool inOrder = std::is_sorted(completed.begin(), completed.end());
    return inOrder && completed.size() == pages &&
           std::count(written.begin(), written.end(), 1) == static_cast<long>(pages);
}

void BM_SearchablePage_PageWriter(benchmark::State& state) {
    KXImage page = Shared().pages[0].get();
    if (!WriteSearchablePage(page)) state.SkipWithError("page not written");  // loads the engine
    double cpu = ProcessCpuMs();
    for (auto _ : state) {
        if (!WriteSearchablePage(page)) state.SkipWithError("page not written");
    }
    ReportCpu(state, "cpu_ms", cpu, ProcessCpuMs());
    state.counters["file_kb"] = WriteSearchablePageKb(page);
    state.counters["clean_file_kb"] = WriteSearchablePageKb(Shared().clean.get());
}

void BM_SearchablePage_TesseractCliOneThread(benchmark::State& state) {
    Bench& bench = Shared();
    std::string command = ToolCommand(bench.png, bench.folder.File("cli"));
    double cpu = ChildrenCpuMs();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("tesseract failed");
    }
    ReportCpu(state, "tool_cpu_ms", cpu, ChildrenCpuMs());
    state.counters["file_kb"] = FileKb(bench.folder.File("cli.pdf"));
    if (std::system(ToolCommand(bench.cleanPng, bench.folder.File("clean")).c_str()) == 0)
        state.counters["clean_file_kb"] = FileKb(bench.folder.File("clean.pdf"));
}

void BM_SearchableScanOfTenPages_PageWorkers(benchmark::State& state) {
    size_t workers = PageWorkers();
    ver_2::OrderedPipeline pipeline(workers, workers + 1);
    // One page per worker first, so every worker's engine is loaded.
    if (!WriteOnPageWorkers(pipeline, workers)) state.SkipWithError("warm-up failed");
    double cpu = ProcessCpuMs();
    for (auto _ : state) {
        if (!WriteOnPageWorkers(pipeline, kScanPages)) state.SkipWithError("pages lost");
    }
    ReportCpu(state, "cpu_ms", cpu, ProcessCpuMs());
    state.counters["workers"] = static_cast<double>(workers);
}

void BM_SearchableScanOfTenPages_OneAfterAnother(benchmark::State& state) {
    Bench& bench = Shared();
    if (!WriteSearchablePage(bench.pages[0].get())) state.SkipWithError("page not written");
    double cpu = ProcessCpuMs();
    for (auto _ : state) {
        for (size_t i = 0; i < kScanPages; ++i) {
            KXImage page = bench.pages[i % bench.pages.size()].get();
            if (!WriteSearchablePage(page)) state.SkipWithError("page lost");
        }
    }
    ReportCpu(state, "cpu_ms", cpu, ProcessCpuMs());
}

BENCHMARK(BM_SearchablePage_PageWriter)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK(BM_SearchablePage_TesseractCliOneThread)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK(BM_SearchableScanOfTenPages_PageWorkers)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_SearchableScanOfTenPages_OneAfterAnother)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

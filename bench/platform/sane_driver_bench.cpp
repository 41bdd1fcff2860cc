// The SANE driver against scanimage: a ten-sheet feed from SANE's test
// backend at 300 dpi in colour (the whole 200 x 200 mm area), read through
// the driver (worker process, frames, page processing, one event per page)
// and, in the same run, by `scanimage --batch` with the same settings. Also
// the round trip of the option set: one device option set through the
// worker, then every descriptor and value read back, as a page does after
// a change.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "platform/base/kx_profile.h"
#include "platform/driver/sane_qnsane.h"
#include "platform/scan_sink.h"

namespace {

constexpr const char* kScanner = "Noname frontend-tester";

// A private folder with config.ini naming the SANE driver and a SANE
// configuration with only the test backend; the environment points at both.
std::string PrepareFolders() {
    std::string folder = (std::filesystem::temp_directory_path() / "sbsane-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return {};
    std::filesystem::create_directory(folder + "/sane");
    std::ofstream(folder + "/sane/dll.conf") << "test\n";
    std::ofstream(folder + "/sane/test.conf") << "number_of_devices 1\n";
    setenv("SCANBRIDGE_CONFIG_DIR", folder.c_str(), 1);
    setenv("SANE_CONFIG_DIR", (folder + "/sane").c_str(), 1);
    setenv("SCANBRIDGE_SANE_WORKER", SCANBRIDGE_SANE_WORKER_EXE, 1);
    setenv("SCANBRIDGE_DRIVER", "sane", 1);
    return folder;
}

SANE_Int FindOption(SANE_Handle handle, const char* key, bool byName) {
    SANE_Int count = 0;
    sane_qnsane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr);
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_qnsane_get_option_descriptor(handle, i);
        const char* text = d == nullptr ? nullptr : byName ? d->name : d->title;
        if (text != nullptr && std::strcmp(text, key) == 0) return i;
    }
    return -1;
}

bool SetText(SANE_Handle handle, const char* title, const char* value) {
    char buffer[256] = {};
    std::strncpy(buffer, value, sizeof buffer - 1);
    return sane_qnsane_control_option(handle, FindOption(handle, title, false),
                                      SANE_ACTION_SET_VALUE, buffer, nullptr) == SANE_STATUS_GOOD;
}

bool SetWord(SANE_Handle handle, SANE_Int option, SANE_Word value) {
    return sane_qnsane_control_option(handle, option, SANE_ACTION_SET_VALUE, &value, nullptr) ==
           SANE_STATUS_GOOD;
}

struct OpenDriver {
    ScanSink sink;
    SANE_Handle handle = nullptr;
    std::string folder;

    bool Open() {
        folder = PrepareFolders();
        SANE_Int version = 0;
        return !folder.empty() &&
               sane_qnsane_init_ex(&version, &ScanSink::OnEvent, &sink) == SANE_STATUS_GOOD &&
               sane_qnsane_open(kScanner, &handle) == SANE_STATUS_GOOD;
    }
    ~OpenDriver() {
        if (handle != nullptr) sane_qnsane_close(handle);
        sane_qnsane_exit();
        if (!folder.empty()) std::filesystem::remove_all(folder);
    }
};

void BM_SaneDriverFeedTenColourPagesAt300Dpi(benchmark::State& state) {
    OpenDriver driver;
    if (!driver.Open() || !SetText(driver.handle, "颜色模式", "24位彩色") ||
        !SetWord(driver.handle, FindOption(driver.handle, "分辨率", false), 300)) {
        state.SkipWithError("the SANE driver could not be set up");
        return;
    }
    for (auto _ : state) {
        {
            std::lock_guard guard(driver.sink.mutex);
            driver.sink.pages = 0;
            driver.sink.done = false;
        }
        if (sane_qnsane_start(driver.handle) != SANE_STATUS_GOOD) {
            state.SkipWithError("start failed");
            return;
        }
        std::unique_lock lock(driver.sink.mutex);
        driver.sink.finished.wait(lock, [&] { return driver.sink.done; });
        if (driver.sink.pages != 10) {
            state.SkipWithError("the feed did not give ten pages");
            return;
        }
    }
    benchmark::DoNotOptimize(driver.sink.checksum);
    state.counters["pages"] = 10;
}
BENCHMARK(BM_SaneDriverFeedTenColourPagesAt300Dpi)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanimageBatchTenColourPagesAt300Dpi(benchmark::State& state) {
    std::string folder = PrepareFolders();
    std::string command =
        "scanimage -d test:0 --source 'Automatic Document Feeder' --mode Color "
        "--depth 8 --resolution 300 -l 0 -t 0 -x 200 -y 200 --format=pnm "
        "--batch='" +
        folder + "/page%d.pnm' 2>/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("scanimage failed");
            break;
        }
        if (!std::filesystem::exists(folder + "/page10.pnm")) {
            state.SkipWithError("scanimage did not write ten pages");
            break;
        }
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ScanimageBatchTenColourPagesAt300Dpi)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaneOptionSetRoundTrip(benchmark::State& state) {
    OpenDriver driver;
    SANE_Int deviceOption = driver.Open() ? FindOption(driver.handle, "test-picture", true) : -1;
    if (deviceOption < 0) {
        state.SkipWithError("the SANE driver could not be set up");
        return;
    }
    SANE_Int count = 0;
    sane_qnsane_control_option(driver.handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr);
    char value[4096];
    for (auto _ : state) {
        char picture[64] = "Color pattern";
        sane_qnsane_control_option(driver.handle, deviceOption, SANE_ACTION_SET_VALUE, picture,
                                   nullptr);
        for (SANE_Int i = 1; i < count; ++i) {
            const SANE_Option_Descriptor* d = sane_qnsane_get_option_descriptor(driver.handle, i);
            if (d != nullptr && d->type != SANE_TYPE_GROUP && d->type != SANE_TYPE_BUTTON)
                sane_qnsane_control_option(driver.handle, i, SANE_ACTION_GET_VALUE, value, nullptr);
        }
    }
    state.counters["options"] = count;
}
BENCHMARK(BM_SaneOptionSetRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

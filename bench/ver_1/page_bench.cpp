// Cost of filing one scanned page and of listing it again: saving an A4
// colour page at 200 dpi with its data URL (one JPEG encoding for "jpg",
// a PNG save plus a JPEG encoding for "png"), and the data URL of a stored
// JPEG page, whose file bytes are reused without decoding.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/image/kx_imgfmt.h"
#include "ver_1/image_store.h"

namespace {

constexpr uint32_t kWidth = 1654;  // A4 at 200 dpi
constexpr uint32_t kHeight = 2339;

// A page-like image: white paper with dark text-like runs on every fourth
// band of rows and a coloured block.
ImageHolder MakePage() {
    ImageHolder page = ver_1::CreateRgbImage(kWidth, kHeight);
    uint8_t* pixels = nullptr;
    KXImageInfo info{};
    KXBase_GetImageInfo(page.get(), &info);
    KXBase_GetImageData(page.get(), &pixels);
    std::mt19937 random(7);
    for (uint32_t y = 100; y < kHeight - 100; ++y) {
        uint8_t* row = pixels + static_cast<size_t>(y) * info.widthStep;
        bool textLine = (y / 12) % 4 == 1;
        for (uint32_t x = 100; x < kWidth - 100; ++x) {
            bool ink = textLine && random() % 3 == 0;
            bool block = y > 1800 && x > 1000 && x < 1400;
            row[3 * x] = ink ? 20 : block ? 200 : 255;
            row[3 * x + 1] = ink ? 20 : block ? 40 : 255;
            row[3 * x + 2] = ink ? 20 : block ? 40 : 255;
        }
    }
    return page;
}

std::string BenchFolder() {
    std::string folder =
        std::filesystem::temp_directory_path().string() + "/scanbridge-page-bench/";
    std::filesystem::create_directories(folder);
    return folder;
}

void SaveNewPage(benchmark::State& state, const char* name) {
    ImageHolder page = MakePage();
    std::string folder = BenchFolder();
    for (auto _ : state) {
        std::string dataUrl;
        benchmark::DoNotOptimize(ver_1::SaveNewImage(page.get(), folder, name, &dataUrl));
        benchmark::DoNotOptimize(dataUrl.data());
    }
    std::filesystem::remove_all(folder);
}

void BM_FileJpegPage(benchmark::State& state) {
    SaveNewPage(state, "1.jpg");
}
BENCHMARK(BM_FileJpegPage)->Unit(benchmark::kMillisecond);

void BM_FilePngPage(benchmark::State& state) {
    SaveNewPage(state, "1.png");
}
BENCHMARK(BM_FilePngPage)->Unit(benchmark::kMillisecond);

void BM_ListStoredJpegPage(benchmark::State& state) {
    ImageHolder page = MakePage();
    std::string folder = BenchFolder();
    std::string dataUrl;
    ver_1::SaveNewImage(page.get(), folder, "1.jpg", &dataUrl);
    for (auto _ : state) {
        ImageHolder loaded = ver_1::LoadRgbImage(folder + "1.jpg");
        benchmark::DoNotOptimize(ver_1::JpegDataUrl(loaded.get()).size());
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ListStoredJpegPage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

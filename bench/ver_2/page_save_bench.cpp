// The per-page work of the scan pipeline on one thread: copying a colour A4
// page at 300 dpi out of the driver's buffer, and writing it as a JPEG file at
// quality 80 (encoded into a sibling file, flushed to the disk, then moved
// into place). The write is also measured with the flush skipped, the
// baseline for what durability costs a page.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/base/file_system.h"
#include "platform/base/kx_paths.h"
#include "platform/image/kx_image.h"
#include "support/temp_dir.h"
#include "ver_2/page_files.h"

namespace {

constexpr uint32_t kWidth = 2480;
constexpr uint32_t kHeight = 3508;

// A page with some structure, so the encoder does real work.
std::vector<uint8_t> MakePixels() {
    std::vector<uint8_t> pixels(size_t{kWidth} * kHeight * 3, 0xF4);
    for (uint32_t y = 200; y < kHeight - 200; y += 40) {
        for (uint32_t x = 150; x < kWidth - 150; ++x) {
            for (uint32_t line = 0; line < 14; ++line)
                pixels[(size_t{y + line} * kWidth + x) * 3 + (x % 3)] = static_cast<uint8_t>(x * 7);
        }
    }
    return pixels;
}

KXImageInfo PageInfo() {
    return KXImageInfo{kWidth, kHeight, KX_PIXEL_RGB, kWidth * 3, KX_ORIGIN_TOP_LEFT};
}

void BM_CopyPage(benchmark::State& state) {
    std::vector<uint8_t> pixels = MakePixels();
    KXImageInfo info = PageInfo();
    for (auto _ : state) {
        KXImage image = nullptr;
        KXBase_CreateImageFromData(pixels.data(), &info, nullptr, 0, KX_ORIGIN_TOP_LEFT, &image);
        benchmark::DoNotOptimize(image);
        KXBase_DestroyImage(image);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pixels.size()));
}
BENCHMARK(BM_CopyPage)->Unit(benchmark::kMillisecond);

// Every call forwarded to the real file system, but flushes that return at
// once.
class NoSyncFileSystem : public kxbase::ForwardingFileSystem {
  public:
    NoSyncFileSystem() : kxbase::ForwardingFileSystem(kxbase::RealFileSystem()) {}
    int Sync(int) override { return 0; }
};

void WriteJpegPages(benchmark::State& state) {
    testing_support::TempDir folder;
    std::vector<uint8_t> pixels = MakePixels();
    KXImageInfo info = PageInfo();
    KXImage image = nullptr;
    KXBase_CreateImageFromData(pixels.data(), &info, nullptr, 0, KX_ORIGIN_TOP_LEFT, &image);
    KXBase_SetImageResolution(image, 300);
    ver_2::GlobalConfig config;
    config.imageFormat = "jpg";
    config.imageJpegQuality = 80;
    ver_2::PageSaveSettings settings = ver_2::PageSaveSettingsFor(config);
    for (auto _ : state) {
        std::string path = ver_2::MakeUniqueFileName(folder.path(), "p", "random", "jpg");
        if (ver_2::WritePageFile(image, settings, path) != 0) state.SkipWithError("save failed");
        state.PauseTiming();
        KXBase_DeleteFile(path.c_str());
        state.ResumeTiming();
    }
    KXBase_DestroyImage(image);
}

void BM_WriteJpegPage(benchmark::State& state) {
    WriteJpegPages(state);
}
BENCHMARK(BM_WriteJpegPage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteJpegPage_WithoutFlush(benchmark::State& state) {
    NoSyncFileSystem noSync;
    kxbase::ScopedFileSystem scoped(noSync);
    WriteJpegPages(state);
}
BENCHMARK(BM_WriteJpegPage_WithoutFlush)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

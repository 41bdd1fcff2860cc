// Speed of the page checks the scan pipeline runs on every 300-dpi page,
// each next to its baseline: text direction against Tesseract's orientation
// detection on the full page, the blank check against one plain pass over
// every pixel. Also the thumbnail reduction of such a page.
#include <benchmark/benchmark.h>
#include <tesseract/baseapi.h>

#include "platform/image/proc/gray_reduce.h"
#include "platform/image/proc/image_access.h"
#include "platform/image/proc/kx_imgproc.h"
#include "platform/image/proc/tessdata.h"
#include "tests/platform/image/proc/page_maker.h"

namespace {

constexpr uint32_t kWidth = 2480;  // A4 at 300 dpi
constexpr uint32_t kHeight = 3508;
constexpr int32_t kBodyTextSize = 50;  // 12 point at 300 dpi

imgproc_test::Image TextPage() {
    imgproc_test::Image page =
        imgproc_test::MakeDocumentPage(kWidth, kHeight, KX_PIXEL_RGB, kBodyTextSize, 300);
    imgproc_test::AddNoise(page.get(), 4, 1);
    return page;
}

imgproc_test::Image BlankPage() {
    imgproc_test::Image page =
        imgproc_test::MakeImage(kWidth, kHeight, KX_PIXEL_RGB, {255, 255, 255}, 300);
    imgproc_test::AddNoise(page.get(), 4, 2);
    return page;
}

void BM_TextDirection(benchmark::State& state) {
    imgproc_test::Image page = TextPage();
    imgproc_test::Image turned = imgproc_test::TurnClockwise(page.get(), 90);
    KXOcrMgr manager = nullptr;
    KXImgProc_CreateOCRMgr(&manager);
    int32_t code = 0;
    KXImgProc_ImageTextDirectOCR(manager, turned.get(), &code);  // loads the engine
    for (auto _ : state) {
        KXImgProc_ImageTextDirectOCR(manager, turned.get(), &code);
        benchmark::DoNotOptimize(code);
    }
    state.counters["code"] = code;
    KXImgProc_DestroyOCRMgr(manager);
}
BENCHMARK(BM_TextDirection)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Baseline: orientation detection on the full-resolution grey page.
void BM_TextDirectionBaselineFullPage(benchmark::State& state) {
    imgproc_test::Image page = TextPage();
    imgproc_test::Image turned = imgproc_test::TurnClockwise(page.get(), 90);
    kximgproc::ImageView view;
    kximgproc::GetImageView(turned.get(), &view);
    kximgproc::PixPtr gray = kximgproc::RoiToGrayPix(view);
    tesseract::TessBaseAPI engine;
    engine.Init(kximgproc::FindTessdata({"osd"}).c_str(), "osd", tesseract::OEM_TESSERACT_ONLY);
    engine.SetPageSegMode(tesseract::PSM_OSD_ONLY);
    int degrees = 0;
    for (auto _ : state) {
        engine.SetImage(gray.get());
        engine.SetSourceResolution(300);
        float confidence = 0, scriptConfidence = 0;
        const char* script = nullptr;
        engine.DetectOrientationScript(&degrees, &confidence, &script, &scriptConfidence);
        benchmark::DoNotOptimize(degrees);
    }
    state.counters["degrees"] = degrees;
}
BENCHMARK(BM_TextDirectionBaselineFullPage)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_BlankCheck(benchmark::State& state) {
    imgproc_test::Image page = state.range(0) != 0 ? TextPage() : BlankPage();
    int32_t blank = 0;
    for (auto _ : state) {
        KXImgProc_ImageBlankCheck(page.get(), nullptr, &blank);
        benchmark::DoNotOptimize(blank);
    }
    state.counters["blank"] = blank;
}
BENCHMARK(BM_BlankCheck)->ArgName("text")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Baseline: one pass over every byte of the page, the least any check that
// reads all pixels would cost.
void BM_BlankCheckBaselineReadEveryPixel(benchmark::State& state) {
    imgproc_test::Image page = BlankPage();
    uint8_t* data = nullptr;
    KXImageInfo info{};
    KXBase_GetImageData(page.get(), &data);
    KXBase_GetImageInfo(page.get(), &info);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (uint32_t y = 0; y < info.height; ++y) {
            const uint8_t* row = data + static_cast<size_t>(y) * info.widthStep;
            for (uint32_t i = 0; i < 3 * info.width; ++i) {
                sum += row[i];
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_BlankCheckBaselineReadEveryPixel)->Unit(benchmark::kMillisecond);

// A batch thumbnail of a 300-dpi page, 240 pixels high.
void BM_ResizeThumbnail(benchmark::State& state) {
    imgproc_test::Image page = TextPage();
    imgproc_test::Image thumbnail = imgproc_test::MakeImage(170, 240, KX_PIXEL_RGB);
    for (auto _ : state) {
        KXImgProc_ResizeImage(page.get(), thumbnail.get(), KX_RESIZE_SMOOTH);
    }
}
BENCHMARK(BM_ResizeThumbnail)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

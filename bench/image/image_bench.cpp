// Image-file library benchmarks, each next to its baseline in the same run:
//  - saving a 300-dpi colour A4 page as JPEG quality 80 against a bare
//    libjpeg-turbo encode of the same pixels (goal: at most 1.3 times);
//  - a 240-pixel thumbnail of a 300-dpi A4 JPEG (preview load, JPEG encode)
//    against a full-size decode of the same file (goal: under 12 ms), with
//    libjpeg-turbo's bare 1/8 decode of the file as the floor;
//  - a 20-page PDF from unmodified JPEG files against reading the files and
//    writing their bytes once (goal: at most 1.5 times).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "bench_pages.h"
#include "platform/image/kx_imgfmt.h"

using namespace image_bench;

namespace {

constexpr int kPdfPages = 20;

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    int fd = open(path.c_str(), O_RDONLY);
    uint8_t chunk[1 << 16];
    ssize_t got;
    while ((got = read(fd, chunk, sizeof chunk)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    close(fd);
    return bytes;
}

KXImage SharedPage() {
    static KXImage page = MakeScanPage(1);
    return page;
}

const std::string& PageJpeg() {
    static std::string path = [] {
        std::string file = BenchFolder() + "a4.jpg";
        ImageSaveInfo info{80, 0, 0};
        KXImgFmt_SaveImage(SharedPage(), 0, &info, file.c_str());
        return file;
    }();
    return path;
}

const std::vector<std::string>& PdfSources() {
    static std::vector<std::string> paths = [] {
        std::vector<std::string> files;
        ImageSaveInfo info{80, 0, 0};
        for (int i = 0; i < kPdfPages; ++i) {
            KXImage page = MakeScanPage(static_cast<uint32_t>(i + 2));
            files.push_back(BenchFolder() + "page" + std::to_string(i) + ".jpg");
            KXImgFmt_SaveImage(page, 0, &info, files.back().c_str());
            KXBase_DestroyImage(page);
        }
        return files;
    }();
    return paths;
}

void BareLibjpegEncodeA4(benchmark::State& state) {
    KXImage page = SharedPage();
    KXImageInfo info{};
    KXBase_GetImageInfo(page, &info);
    uint8_t* data = nullptr;
    KXBase_GetImageData(page, &data);
    std::vector<JSAMPROW> rows(info.height);
    for (uint32_t y = 0; y < info.height; ++y)
        rows[y] = data + static_cast<size_t>(y) * info.widthStep;
    for (auto _ : state) {
        jpeg_compress_struct compress;
        jpeg_error_mgr errors;
        compress.err = jpeg_std_error(&errors);
        jpeg_create_compress(&compress);
        unsigned char* out = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&compress, &out, &size);
        compress.image_width = info.width;
        compress.image_height = info.height;
        compress.input_components = 3;
        compress.in_color_space = JCS_RGB;
        jpeg_set_defaults(&compress);
        jpeg_set_quality(&compress, 80, TRUE);
        jpeg_start_compress(&compress, TRUE);
        while (compress.next_scanline < compress.image_height)
            jpeg_write_scanlines(&compress, &rows[compress.next_scanline],
                                 compress.image_height - compress.next_scanline);
        jpeg_finish_compress(&compress);
        jpeg_destroy_compress(&compress);
        benchmark::DoNotOptimize(size);
        std::free(out);
    }
}
BENCHMARK(BareLibjpegEncodeA4)->Unit(benchmark::kMillisecond)->UseRealTime();

void SaveJpegA4(benchmark::State& state) {
    std::string path = BenchFolder() + "save.jpg";
    ImageSaveInfo info{80, 0, 0};
    for (auto _ : state) {
        if (KXImgFmt_SaveImage(SharedPage(), 0, &info, path.c_str()) != 0)
            state.SkipWithError("save failed");
    }
}
BENCHMARK(SaveJpegA4)->Unit(benchmark::kMillisecond)->UseRealTime();

void FullDecodeA4Jpeg(benchmark::State& state) {
    const std::string& path = PageJpeg();
    for (auto _ : state) {
        std::vector<uint8_t> bytes = ReadAll(path);
        jpeg_decompress_struct decompress;
        jpeg_error_mgr errors;
        decompress.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&decompress);
        jpeg_mem_src(&decompress, bytes.data(), bytes.size());
        jpeg_read_header(&decompress, TRUE);
        decompress.out_color_space = JCS_RGB;
        jpeg_start_decompress(&decompress);
        std::vector<uint8_t> pixels(size_t{decompress.output_width} * 3 * decompress.output_height);
        while (decompress.output_scanline < decompress.output_height) {
            JSAMPROW row =
                pixels.data() + size_t{decompress.output_scanline} * decompress.output_width * 3;
            jpeg_read_scanlines(&decompress, &row, 1);
        }
        jpeg_finish_decompress(&decompress);
        jpeg_destroy_decompress(&decompress);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(FullDecodeA4Jpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// What libjpeg-turbo alone spends on the 1/8 DCT-scaled decode that the
// thumbnail starts with: the floor under the thumbnail's time.
void BareScaledDecodeA4Jpeg(benchmark::State& state) {
    const std::string& path = PageJpeg();
    for (auto _ : state) {
        std::vector<uint8_t> bytes = ReadAll(path);
        jpeg_decompress_struct decompress;
        jpeg_error_mgr errors;
        decompress.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&decompress);
        jpeg_mem_src(&decompress, bytes.data(), bytes.size());
        jpeg_read_header(&decompress, TRUE);
        decompress.out_color_space = JCS_RGB;
        decompress.scale_num = 1;
        decompress.scale_denom = 8;
        jpeg_start_decompress(&decompress);
        std::vector<uint8_t> pixels(size_t{decompress.output_width} * 3 * decompress.output_height);
        while (decompress.output_scanline < decompress.output_height) {
            JSAMPROW row =
                pixels.data() + size_t{decompress.output_scanline} * decompress.output_width * 3;
            jpeg_read_scanlines(&decompress, &row, 1);
        }
        jpeg_finish_decompress(&decompress);
        jpeg_destroy_decompress(&decompress);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["file_bytes"] = static_cast<double>(ReadAll(path).size());
}
BENCHMARK(BareScaledDecodeA4Jpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void ThumbnailOfA4Jpeg(benchmark::State& state) {
    const std::string& path = PageJpeg();
    ImageSaveInfo info{80, 0, 0};
    for (auto _ : state) {
        KXImage preview = nullptr;
        KXBuffer buffer = nullptr;
        if (KXImgFmt_LoadImageScaled(path.c_str(), 0, 240, 0, 1, &preview) != 0 ||
            KXImgFmt_SaveJpegImageToBuffer(preview, &info, &buffer) != 0)
            state.SkipWithError("thumbnail failed");
        benchmark::DoNotOptimize(KXBase_GetBufferSize(buffer));
        KXBase_DestroyBuffer(buffer);
        KXBase_DestroyImage(preview);
    }
}
BENCHMARK(ThumbnailOfA4Jpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void CopyTwentyJpegFiles(benchmark::State& state) {
    const std::vector<std::string>& sources = PdfSources();
    std::string path = BenchFolder() + "copy.bin";
    for (auto _ : state) {
        int out = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (const std::string& source : sources) {
            std::vector<uint8_t> bytes = ReadAll(source);
            if (write(out, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
                state.SkipWithError("write failed");
        }
        close(out);
    }
}
BENCHMARK(CopyTwentyJpegFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

void PdfOfTwentyJpegFiles(benchmark::State& state) {
    const std::vector<std::string>& sources = PdfSources();
    std::string path = BenchFolder() + "twenty.pdf";
    ImageSaveInfo info{80, 5, 80};
    for (auto _ : state) {
        KXImgWriter writer = nullptr;
        if (KXImgFmt_OpenImageWriter(path.c_str(), 0, &writer) != 0) {
            state.SkipWithError("open failed");
            break;
        }
        for (const std::string& source : sources) {
            KXImage page = nullptr;
            KXImgFmt_LoadImage(source.c_str(), 0, nullptr, 0, 1, &page);
            if (KXImgFmt_SaveImageToWriter(writer, page, &info) != 0)
                state.SkipWithError("page failed");
            KXBase_DestroyImage(page);
        }
        if (KXImgFmt_CloseImageWriter(writer) != 0) state.SkipWithError("close failed");
    }
}
BENCHMARK(PdfOfTwentyJpegFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

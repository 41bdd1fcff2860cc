// Image-file library benchmarks, each next to its baseline in the same run:
//  - saving a 300-dpi colour A4 page as JPEG quality 80 against a bare
//    libjpeg-turbo encode of the same pixels (goal: at most 1.3 times);
//  - a 240-pixel thumbnail of a 300-dpi A4 JPEG written by our encoder
//    (preview load, JPEG encode; the page carries about 32 restart intervals
//    on MCU rows, so it decodes in two strips on two threads) against
//    libjpeg-turbo's bare full-size and 1/8 decodes of the same file on one
//    thread (goal: under 12 ms); the same for a page written by bare
//    libjpeg-turbo without restart markers, which decodes on one thread;
//  - a full-size load of the page through the library (two threads) against
//    the bare full-size decode;
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

// The page as bare libjpeg-turbo writes it: quality 80, no restart markers.
std::vector<uint8_t> BareEncode(KXImage page) {
    KXImageInfo info{};
    KXBase_GetImageInfo(page, &info);
    uint8_t* data = nullptr;
    KXBase_GetImageData(page, &data);
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
    while (compress.next_scanline < compress.image_height) {
        JSAMPROW row = data + static_cast<size_t>(compress.next_scanline) * info.widthStep;
        jpeg_write_scanlines(&compress, &row, 1);
    }
    jpeg_finish_compress(&compress);
    jpeg_destroy_compress(&compress);
    std::vector<uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

const std::string& PageJpegWithoutRestarts() {
    static std::string path = [] {
        std::string file = BenchFolder() + "a4-no-restarts.jpg";
        std::vector<uint8_t> bytes = BareEncode(SharedPage());
        int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        close(fd);
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

// The baseline encode; copying the bytes out of libjpeg's buffer costs well
// under one per cent of it.
void BareLibjpegEncodeA4(benchmark::State& state) {
    KXImage page = SharedPage();
    size_t fileBytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> bytes = BareEncode(page);
        benchmark::DoNotOptimize(bytes.data());
        fileBytes = bytes.size();
    }
    state.counters["file_bytes"] = static_cast<double>(fileBytes);
}
BENCHMARK(BareLibjpegEncodeA4)->Unit(benchmark::kMillisecond)->UseRealTime();

void SaveJpegA4(benchmark::State& state) {
    std::string path = BenchFolder() + "save.jpg";
    ImageSaveInfo info{80, 0, 0};
    for (auto _ : state) {
        if (KXImgFmt_SaveImage(SharedPage(), 0, &info, path.c_str()) != 0)
            state.SkipWithError("save failed");
    }
    state.counters["file_bytes"] = static_cast<double>(ReadAll(path).size());
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
// thumbnail starts with, on one thread.
void BareScaledDecode(benchmark::State& state, const std::string& path) {
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

void BareScaledDecodeA4Jpeg(benchmark::State& state) {
    BareScaledDecode(state, PageJpeg());
}
BENCHMARK(BareScaledDecodeA4Jpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BareScaledDecodeA4JpegWithoutRestarts(benchmark::State& state) {
    BareScaledDecode(state, PageJpegWithoutRestarts());
}
BENCHMARK(BareScaledDecodeA4JpegWithoutRestarts)->Unit(benchmark::kMillisecond)->UseRealTime();

void Thumbnail(benchmark::State& state, const std::string& path) {
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

void ThumbnailOfA4Jpeg(benchmark::State& state) {
    Thumbnail(state, PageJpeg());
}
BENCHMARK(ThumbnailOfA4Jpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void ThumbnailOfA4JpegWithoutRestarts(benchmark::State& state) {
    Thumbnail(state, PageJpegWithoutRestarts());
}
BENCHMARK(ThumbnailOfA4JpegWithoutRestarts)->Unit(benchmark::kMillisecond)->UseRealTime();

// A full-size load through the library: the file is read, checked and decoded
// (the pixels are asked for, so the lazily kept JPEG is decoded).
void FullLoadA4Jpeg(benchmark::State& state) {
    const std::string& path = PageJpeg();
    for (auto _ : state) {
        KXImage page = nullptr;
        uint8_t* data = nullptr;
        if (KXImgFmt_LoadImage(path.c_str(), 0, nullptr, 0, 1, &page) != 0 ||
            KXBase_GetImageData(page, &data) != 0)
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(data);
        KXBase_DestroyImage(page);
    }
}
BENCHMARK(FullLoadA4Jpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

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

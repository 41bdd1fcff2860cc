#include "bench_pages.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace image_bench {

KXImage MakeScanPage(uint32_t seed) {
    KXImage page = nullptr;
    KXBase_CreateImage(kA4Width, kA4Height, KX_PIXEL_RGB, 1, &page);
    KXBase_SetImageResolution(page, 300);
    KXImageInfo info{};
    KXBase_GetImageInfo(page, &info);
    uint8_t* data = nullptr;
    KXBase_GetImageData(page, &data);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-3, 3);  // scanner noise on white paper
    for (uint32_t y = 0; y < kA4Height; ++y) {
        uint8_t* row = data + static_cast<size_t>(y) * info.widthStep;
        bool textLine = y > 300 && y < 2300 && (y % 60) < 28;
        for (uint32_t x = 0; x < kA4Width; ++x) {
            int value = 245 + noise(random);
            uint8_t r, g, b;
            if (textLine && x > 250 && x < 2230 && ((x / 9 + y / 7 + seed) % 5 < 2)) {
                r = g = b = static_cast<uint8_t>(30 + noise(random) * 2);
            } else if (y > 2450 && y < 3250 && x > 300 && x < 2180) {
                double fx = x / 400.0, fy = y / 300.0;
                r = static_cast<uint8_t>(128 + 100 * std::sin(fx + fy));
                g = static_cast<uint8_t>(128 + 100 * std::cos(fx * 1.3 - fy));
                b = static_cast<uint8_t>(128 + 90 * std::sin(fx * 0.7 + fy * 1.9));
            } else {
                r = g = b = static_cast<uint8_t>(value);
            }
            row[x * 3] = r;
            row[x * 3 + 1] = g;
            row[x * 3 + 2] = b;
        }
    }
    return page;
}

namespace {

struct Folder {
    std::string path;
    Folder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "scanbridge-image-bench-XXXXXX").string();
        path = std::string(mkdtemp(pattern.data())) + "/";
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::string& BenchFolder() {
    static Folder folder;
    return folder.path;
}

}  // namespace image_bench

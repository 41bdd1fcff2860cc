#include "image_test_util.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/image/image_internal.h"
#include "platform/image/kx_imgfmt.h"

namespace image_test {

KXImageInfo InfoOf(KXImage image) {
    KXImageInfo info{};
    EXPECT_EQ(KXBase_GetImageInfo(image, &info), 0);
    return info;
}

ImagePtr Create(uint32_t width, uint32_t height, uint32_t type) {
    KXImage image = nullptr;
    EXPECT_EQ(KXBase_CreateImage(width, height, type, 1, &image), 0);
    return ImagePtr(image);
}

uint32_t PixelRgb(KXImage image, uint32_t x, uint32_t y) {
    KXImageInfo info = InfoOf(image);
    const uint8_t* data = nullptr;
    EXPECT_EQ(KXImage_GetConstData(image, &data), 0);
    const uint8_t* row = data + static_cast<size_t>(y) * info.widthStep;
    if (info.type == KX_PIXEL_BW) {
        bool black = (row[x >> 3] >> (7 - (x & 7))) & 1;
        return black ? 0 : 0xFFFFFF;
    }
    if (info.type == KX_PIXEL_GRAY) return Rgb(row[x], row[x], row[x]);
    const uint8_t* p = row + x * 3;
    return Rgb(p[0], p[1], p[2]);
}

void SetPixelRgb(KXImage image, uint32_t x, uint32_t y, uint32_t rgb) {
    KXImageInfo info = InfoOf(image);
    uint8_t* data = nullptr;
    ASSERT_EQ(KXBase_GetImageData(image, &data), 0);
    uint8_t* row = data + static_cast<size_t>(y) * info.widthStep;
    uint8_t r = static_cast<uint8_t>(rgb >> 16), g = static_cast<uint8_t>(rgb >> 8),
            b = static_cast<uint8_t>(rgb);
    if (info.type == KX_PIXEL_BW) {
        uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
        if (r < 128)
            row[x >> 3] |= mask;
        else
            row[x >> 3] &= static_cast<uint8_t>(~mask);
    } else if (info.type == KX_PIXEL_GRAY) {
        row[x] = r;
    } else {
        row[x * 3] = r;
        row[x * 3 + 1] = g;
        row[x * 3 + 2] = b;
    }
}

uint32_t PatternPixel(uint32_t x, uint32_t y, uint32_t type) {
    if (type == KX_PIXEL_BW) return ((x * 7 + y * 3) % 5 < 2) ? 0 : 0xFFFFFF;
    uint32_t r = (x * 37 + y * 11) & 0xFF;
    if (type == KX_PIXEL_GRAY) return Rgb(r, r, r);
    return Rgb(r, (x * 5 + y * 29) & 0xFF, (x * y + 77) & 0xFF);
}

ImagePtr Pattern(uint32_t width, uint32_t height, uint32_t type) {
    ImagePtr image = Create(width, height, type);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            SetPixelRgb(image.get(), x, y, PatternPixel(x, y, type));
    return image;
}

ImagePtr Photo(uint32_t width, uint32_t height) {
    ImagePtr image = Create(width, height, KX_PIXEL_RGB);
    KXImageInfo info = InfoOf(image.get());
    uint8_t* data = nullptr;
    EXPECT_EQ(KXBase_GetImageData(image.get(), &data), 0);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = data + static_cast<size_t>(y) * info.widthStep;
        for (uint32_t x = 0; x < width; ++x) {
            double fx = static_cast<double>(x) / width, fy = static_cast<double>(y) / height;
            double wave = 0.5 + 0.5 * std::sin(fx * 12.0 + fy * 7.0);
            bool disc = std::hypot(fx - 0.6, fy - 0.4) < 0.2;
            bool bar = (y / 40) % 6 == 0 && x > width / 10 && x < width * 9 / 10;
            uint8_t r = static_cast<uint8_t>(disc ? 200 : 60 + 150 * fx);
            uint8_t g = static_cast<uint8_t>(disc ? 40 : 80 + 120 * wave);
            uint8_t b = static_cast<uint8_t>(bar ? 20 : 220 - 150 * fy);
            row[x * 3] = r;
            row[x * 3 + 1] = g;
            row[x * 3 + 2] = b;
        }
    }
    return image;
}

int MaxDifference(KXImage a, KXImage b) {
    KXImageInfo ia = InfoOf(a), ib = InfoOf(b);
    EXPECT_EQ(ia.width, ib.width);
    EXPECT_EQ(ia.height, ib.height);
    int worst = 0;
    for (uint32_t y = 0; y < std::min(ia.height, ib.height); ++y) {
        for (uint32_t x = 0; x < std::min(ia.width, ib.width); ++x) {
            uint32_t pa = PixelRgb(a, x, y), pb = PixelRgb(b, x, y);
            for (int shift = 0; shift < 24; shift += 8) {
                int d = std::abs(static_cast<int>((pa >> shift) & 0xFF) -
                                 static_cast<int>((pb >> shift) & 0xFF));
                worst = std::max(worst, d);
            }
        }
    }
    return worst;
}

double MeanDifference(KXImage a, KXImage b) {
    KXImageInfo ia = InfoOf(a), ib = InfoOf(b);
    EXPECT_EQ(ia.width, ib.width);
    EXPECT_EQ(ia.height, ib.height);
    double total = 0;
    uint64_t count = 0;
    for (uint32_t y = 0; y < std::min(ia.height, ib.height); ++y) {
        for (uint32_t x = 0; x < std::min(ia.width, ib.width); ++x) {
            uint32_t pa = PixelRgb(a, x, y), pb = PixelRgb(b, x, y);
            for (int shift = 0; shift < 24; shift += 8)
                total += std::abs(static_cast<int>((pa >> shift) & 0xFF) -
                                  static_cast<int>((pb >> shift) & 0xFF));
            count += 3;
        }
    }
    return count == 0 ? 0 : total / count;
}

uint64_t DifferentPixels(KXImage a, KXImage b) {
    KXImageInfo ia = InfoOf(a), ib = InfoOf(b);
    uint64_t count = 0;
    for (uint32_t y = 0; y < std::min(ia.height, ib.height); ++y)
        for (uint32_t x = 0; x < std::min(ia.width, ib.width); ++x)
            count += PixelRgb(a, x, y) != PixelRgb(b, x, y);
    return count;
}

std::string RunCommand(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (status != nullptr) *status = -1;
        return output;
    }
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output.append(chunk, got);
    int result = pclose(pipe);
    if (status != nullptr) *status = result;
    return output;
}

ImagePtr Load(const std::string& path, uint32_t type) {
    KXImage image = nullptr;
    KXImgFmt_LoadImage(path.c_str(), 0, nullptr, type, 1, &image);
    return ImagePtr(image);
}

std::string ReadZipEntry(const std::string& zipPath, const std::string& name) {
    int error = 0;
    zip_t* archive = zip_open(zipPath.c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr) return "<missing>";
    std::string bytes = "<missing>";
    zip_stat_t status;
    if (zip_stat(archive, name.c_str(), 0, &status) == 0) {
        zip_file_t* file = zip_fopen(archive, name.c_str(), 0);
        if (file != nullptr) {
            bytes.assign(status.size, '\0');
            zip_fread(file, bytes.data(), status.size);
            zip_fclose(file);
        }
    }
    zip_discard(archive);
    return bytes;
}

std::vector<std::string> ZipEntries(const std::string& zipPath) {
    std::vector<std::string> names;
    int error = 0;
    zip_t* archive = zip_open(zipPath.c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr) return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i)
        names.push_back(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0));
    zip_discard(archive);
    return names;
}

void WriteZip(const std::string& zipPath,
              const std::vector<std::pair<std::string, std::string>>& entries) {
    int error = 0;
    zip_t* archive = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE), 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

std::vector<std::string> PdfPageSizes(const std::string& path) {
    std::string output = RunCommand("pdfinfo -f 1 -l 1000 '" + path + "' 2>&1");
    std::vector<std::string> sizes;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        std::string line = output.substr(start, end == std::string::npos ? end : end - start);
        int page = 0;
        double width = 0, height = 0;
        if (std::sscanf(line.c_str(), "Page %d size: %lf x %lf", &page, &width, &height) == 3) {
            char text[64];
            std::snprintf(text, sizeof text, "%gx%g", width, height);
            sizes.push_back(text);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return sizes;
}

size_t CountOf(const std::string& haystack, const std::string& needle) {
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size()))
        ++count;
    return count;
}

}  // namespace image_test

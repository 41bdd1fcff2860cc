#include "tests/platform/image/proc/page_maker.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "platform/image/proc/kx_imgproc.h"

namespace imgproc_test {
namespace {

const char* const kProse[] = {
    "Quarterly report of the northern warehouse",
    "The scanner delivered every invoice on time.",
    "Please return the signed contract before Friday.",
    "Inventory counts match the purchase orders.",
    "Shipping costs rose slightly during the winter.",
    "The meeting moves to the second floor library.",
    "All figures are rounded to the nearest dollar.",
    "Questions may be sent to the finance office.",
};

struct Access {
    KXImageInfo info{};
    uint8_t* data = nullptr;
};

Access Open(KXImage image) {
    Access a;
    KXBase_GetImageInfo(image, &a.info);
    KXBase_GetImageData(image, &a.data);
    return a;
}

uint8_t Clamp(double v) {
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

Image MakeImage(uint32_t width, uint32_t height, uint32_t type, Rgb fill, uint32_t dpi) {
    KXImage raw = nullptr;
    if (KXBase_CreateImage(width, height, type, KX_ORIGIN_TOP_LEFT, &raw) != 0) {
        return nullptr;
    }
    Image image(raw);
    if (fill.r != 255 || fill.g != 255 || fill.b != 255) {
        FillRect(raw, {0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)}, fill);
    }
    if (dpi != 0) {
        KXBase_SetImageResolution(raw, dpi);
    }
    return image;
}

namespace {

Rgb Get(const Access& a, int32_t x, int32_t y) {
    uint8_t* row = a.data + static_cast<size_t>(y) * a.info.widthStep;
    if (a.info.type == KX_PIXEL_RGB) {
        return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
    }
    if (a.info.type == KX_PIXEL_GRAY) {
        return {row[x], row[x], row[x]};
    }
    uint8_t v = (row[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
    return {v, v, v};
}

void Put(const Access& a, int32_t x, int32_t y, Rgb color) {
    if (x < 0 || y < 0 || x >= static_cast<int32_t>(a.info.width) ||
        y >= static_cast<int32_t>(a.info.height)) {
        return;
    }
    uint8_t* row = a.data + static_cast<size_t>(y) * a.info.widthStep;
    uint8_t gray = static_cast<uint8_t>((color.r * 77 + color.g * 150 + color.b * 29 + 128) >> 8);
    if (a.info.type == KX_PIXEL_RGB) {
        row[3 * x] = color.r;
        row[3 * x + 1] = color.g;
        row[3 * x + 2] = color.b;
    } else if (a.info.type == KX_PIXEL_GRAY) {
        row[x] = gray;
    } else if (gray < 128) {
        row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    } else {
        row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
    }
}

}  // namespace

Rgb PixelAt(KXImage image, int32_t x, int32_t y) {
    return Get(Open(image), x, y);
}

void SetPixel(KXImage image, int32_t x, int32_t y, Rgb color) {
    Put(Open(image), x, y, color);
}

void FillRect(KXImage image, KXRect rect, Rgb color) {
    Access a = Open(image);
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        for (int32_t x = rect.left; x < rect.right; ++x) {
            Put(a, x, y, color);
        }
    }
}

void FillDisc(KXImage image, double cx, double cy, double radius, Rgb color) {
    Access a = Open(image);
    for (auto y = static_cast<int32_t>(cy - radius); y <= cy + radius; ++y) {
        for (auto x = static_cast<int32_t>(cx - radius); x <= cx + radius; ++x) {
            if ((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy) <=
                radius * radius) {
                Put(a, x, y, color);
            }
        }
    }
}

void FillTurnedRect(KXImage image, double cx, double cy, double halfWidth, double halfHeight,
                    double radians, Rgb color) {
    Access a = Open(image);
    double c = std::cos(radians), s = std::sin(radians);
    for (int32_t y = 0; y < static_cast<int32_t>(a.info.height); ++y) {
        for (int32_t x = 0; x < static_cast<int32_t>(a.info.width); ++x) {
            double u = (x + 0.5 - cx) * c + (y + 0.5 - cy) * s;
            double v = -(x + 0.5 - cx) * s + (y + 0.5 - cy) * c;
            if (std::abs(u) <= halfWidth && std::abs(v) <= halfHeight) {
                Put(a, x, y, color);
            }
        }
    }
}

void DrawStroke(KXImage image, const std::vector<std::pair<double, double>>& points, double width,
                Rgb color) {
    for (size_t i = 1; i < points.size(); ++i) {
        auto [x0, y0] = points[i - 1];
        auto [x1, y1] = points[i];
        double length = std::hypot(x1 - x0, y1 - y0);
        auto steps = std::max(1, static_cast<int32_t>(length * 2));
        for (int32_t s = 0; s <= steps; ++s) {
            double t = static_cast<double>(s) / steps;
            FillDisc(image, x0 + t * (x1 - x0), y0 + t * (y1 - y0), width / 2, color);
        }
    }
}

void AddNoise(KXImage image, double sigma, uint32_t seed) {
    Access a = Open(image);
    if (a.info.type == KX_PIXEL_BW) {
        return;
    }
    // Gaussian samples drawn once and picked by a fast generator: a page has
    // millions of pixels.
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, sigma);
    std::vector<int16_t> table(4096);
    for (int16_t& value : table) {
        value = static_cast<int16_t>(std::lround(normal(random)));
    }
    uint32_t state = seed | 1u;
    size_t rowBytes = a.info.type == KX_PIXEL_RGB ? 3 * a.info.width : a.info.width;
    for (uint32_t y = 0; y < a.info.height; ++y) {
        uint8_t* row = a.data + static_cast<size_t>(y) * a.info.widthStep;
        for (size_t i = 0; i < rowBytes; ++i) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            row[i] = Clamp(row[i] + table[state & 4095]);
        }
    }
}

void AddSpecks(KXImage image, int32_t count, uint32_t seed) {
    Access a = Open(image);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> xs(0, static_cast<int32_t>(a.info.width) - 1);
    std::uniform_int_distribution<int32_t> ys(0, static_cast<int32_t>(a.info.height) - 1);
    std::uniform_real_distribution<double> radius(0.5, 1.5);
    for (int32_t i = 0; i < count; ++i) {
        FillDisc(image, xs(random), ys(random), radius(random), {40, 40, 40});
    }
}

void DrawText(KXImage image, const std::string& text, int32_t x, int32_t y, int32_t size, Rgb color,
              const char* font) {
    WatermarkFont watermarkFont{};
    std::strncpy(watermarkFont.name, font, sizeof(watermarkFont.name) - 1);
    watermarkFont.size = size;
    KXImgProc_AddImageWatermark(image, text.c_str(),
                                KXImgProc_MakeColorWord(color.r, color.g, color.b, 255),
                                KX_WATERMARK_LOCATION, x, y, &watermarkFont);
}

Image MakeTextPage(uint32_t width, uint32_t height, uint32_t type, int32_t size, uint32_t dpi) {
    Image page = MakeImage(width, height, type, {255, 255, 255}, dpi);
    int32_t margin = static_cast<int32_t>(width / 10);
    int32_t y = margin;
    DrawText(page.get(), kProse[0], margin, y, size * 3 / 2);
    y += size * 3;
    for (const char* line : kProse) {
        DrawText(page.get(), line, margin, y, size);
        y += size * 2;
    }
    return page;
}

Image MakeDocumentPage(uint32_t width, uint32_t height, uint32_t type, int32_t size, uint32_t dpi) {
    Image page = MakeImage(width, height, type, {255, 255, 255}, dpi);
    int32_t margin = static_cast<int32_t>(width / 10);
    size_t line = 0;
    for (int32_t y = margin; y + size * 2 < static_cast<int32_t>(height) - margin; y += size * 2) {
        DrawText(page.get(), kProse[line++ % std::size(kProse)], margin, y, size);
    }
    return page;
}

Image TurnClockwise(KXImage image, int32_t degrees) {
    KXImageInfo info{};
    KXBase_GetImageInfo(image, &info);
    bool swap = degrees == 90 || degrees == 270;
    Image turned =
        MakeImage(swap ? info.height : info.width, swap ? info.width : info.height, info.type);
    if (degrees == 90) {
        KXBase_ImageRotateRight(image, turned.get());
    } else if (degrees == 180) {
        KXBase_ImageRotate180(image, turned.get());
    } else if (degrees == 270) {
        KXBase_ImageRotateLeft(image, turned.get());
    } else {
        KXBase_CopyImage(image, turned.get());
    }
    return turned;
}

KXRect BoxOfPixelsNot(KXImage image, Rgb color, int32_t tolerance) {
    Access a = Open(image);
    KXRect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int32_t y = 0; y < static_cast<int32_t>(a.info.height); ++y) {
        for (int32_t x = 0; x < static_cast<int32_t>(a.info.width); ++x) {
            Rgb p = Get(a, x, y);
            if (std::abs(p.r - color.r) > tolerance || std::abs(p.g - color.g) > tolerance ||
                std::abs(p.b - color.b) > tolerance) {
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                       std::max(box.bottom, y + 1)};
            }
        }
    }
    return box.left == INT32_MAX ? KXRect{0, 0, 0, 0} : box;
}

int64_t CountPixelsNot(KXImage image, Rgb color, int32_t tolerance) {
    Access a = Open(image);
    int64_t count = 0;
    for (int32_t y = 0; y < static_cast<int32_t>(a.info.height); ++y) {
        for (int32_t x = 0; x < static_cast<int32_t>(a.info.width); ++x) {
            Rgb p = Get(a, x, y);
            count += std::abs(p.r - color.r) > tolerance || std::abs(p.g - color.g) > tolerance ||
                     std::abs(p.b - color.b) > tolerance;
        }
    }
    return count;
}

}  // namespace imgproc_test

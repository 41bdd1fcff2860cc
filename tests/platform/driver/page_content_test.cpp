#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "platform/driver/driver_fixture.h"
#include "platform/driver/page_cache.h"

namespace {

// A delivered page as a grey value per pixel (black-and-white: 0 or 255).
struct GreyPage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> values;

    uint8_t At(int x, int y) const { return values[static_cast<size_t>(y) * width + x]; }
    double DarkShare() const {
        auto dark = std::count_if(values.begin(), values.end(), [](uint8_t v) { return v < 128; });
        return static_cast<double>(dark) / static_cast<double>(values.size());
    }
    double Mean() const {
        double sum = 0;
        for (uint8_t v : values)
            sum += v;
        return sum / static_cast<double>(values.size());
    }
};

GreyPage ToGrey(const RecordedEvent& page) {
    const SANE_Parameters& p = page.parameters;
    GreyPage grey;
    grey.width = p.pixels_per_line;
    grey.height = p.lines;
    grey.values.resize(static_cast<size_t>(grey.width) * grey.height);
    for (int y = 0; y < grey.height; ++y) {
        const uint8_t* row = page.pixels.data() + static_cast<size_t>(y) * p.bytes_per_line;
        for (int x = 0; x < grey.width; ++x) {
            uint8_t value;
            if (p.format == SANE_FRAME_RGB)
                value = static_cast<uint8_t>((row[3 * x] + row[3 * x + 1] + row[3 * x + 2]) / 3);
            else if (p.depth == 1)
                value = ((row[x / 8] >> (7 - x % 8)) & 1) != 0 ? 0 : 255;  // 1 = black
            else
                value = row[x];
            grey.values[static_cast<size_t>(y) * grey.width + x] = value;
        }
    }
    return grey;
}

class PageContentTest : public DriverTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(InitDriver());
        handle_ = OpenScanner();
        ASSERT_NE(handle_, nullptr);
        recorder_.KeepPixels(true);
        ASSERT_EQ(SetWord(handle_, "分辨率", 100), 0);
    }

    std::vector<RecordedEvent> ScanSheets(int sheets, const char* side = "单面") {
        EXPECT_EQ(SetString(handle_, "扫描张数", "扫描指定张数"), 0);
        EXPECT_EQ(SetWord(handle_, "扫描数量", sheets), 0);
        EXPECT_EQ(SetString(handle_, "扫描页面", side), 0);
        return Pages(Scan(handle_));
    }

    GreyPage FirstPage() {
        std::vector<RecordedEvent> pages = ScanSheets(1);
        EXPECT_EQ(pages.size(), 1u);
        return pages.empty() ? GreyPage{} : ToGrey(pages[0]);
    }

    SANE_Handle handle_ = nullptr;
};

struct GeometryCase {
    const char* label;
    const char* paper;
    int dpi;
    const char* orientation;
    const char* mode;
    int width;
    int height;
    SANE_Frame frame;
    int depth;
    int bytesPerLine;
};

void PrintTo(const GeometryCase& c, std::ostream* out) {
    *out << c.label;
}

class PageGeometry : public PageContentTest, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(PageGeometry, FollowsPaperResolutionOrientationAndMode) {
    const GeometryCase& c = GetParam();
    recorder_.KeepPixels(false);
    ASSERT_EQ(SetString(handle_, "纸张尺寸", c.paper), 0);
    ASSERT_EQ(SetWord(handle_, "分辨率", c.dpi), 0);
    ASSERT_EQ(SetString(handle_, "文稿方向", c.orientation), 0);
    ASSERT_EQ(SetString(handle_, "颜色模式", c.mode), 0);
    std::vector<RecordedEvent> pages = ScanSheets(1);
    ASSERT_EQ(pages.size(), 1u);
    const SANE_Parameters& p = pages[0].parameters;
    EXPECT_EQ(p.pixels_per_line, c.width);
    EXPECT_EQ(p.lines, c.height);
    EXPECT_EQ(p.format, c.frame);
    EXPECT_EQ(p.depth, c.depth);
    EXPECT_EQ(p.bytes_per_line, c.bytesPerLine);
    EXPECT_EQ(p.last_frame, SANE_TRUE);
    EXPECT_EQ(pages[0].resolution, c.dpi);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PageGeometry,
    ::testing::Values(GeometryCase{"OriginalAt200Colour", "匹配原始尺寸", 200, "0°", "24位彩色",
                                   1654, 2339, SANE_FRAME_RGB, 8, 4962},
                      GeometryCase{"A4At300Grey", "A4", 300, "0°", "256级灰度", 2480, 3508,
                                   SANE_FRAME_GRAY, 8, 2480},
                      GeometryCase{"A3At100TurnedLeftAuto", "A3", 100, "-90°", "颜色自动识别", 1654,
                                   1169, SANE_FRAME_RGB, 8, 4962},
                      GeometryCase{"A5At150BlackWhite", "A5", 150, "0°", "黑白", 874, 1240,
                                   SANE_FRAME_GRAY, 1, 110},
                      GeometryCase{"B5At240UpsideDownGrey", "B5", 240, "180°", "256级灰度", 1663,
                                   2362, SANE_FRAME_GRAY, 8, 1663},
                      GeometryCase{"LetterAt600TurnedRightBlackWhite", "Letter", 600, "90°", "黑白",
                                   6591, 5102, SANE_FRAME_GRAY, 1, 824}),
    [](const ::testing::TestParamInfo<GeometryCase>& info) {
        return std::string(info.param.label);
    });

TEST_F(PageContentTest, ContentPagesCarryDarkTextAndColourBlankPagesAreNearWhite) {
    SetConfig("virtual", "blank_pages", "2");
    std::vector<RecordedEvent> pages = ScanSheets(1, "双面");
    ASSERT_EQ(pages.size(), 2u);

    GreyPage front = ToGrey(pages[0]);
    EXPECT_GT(front.DarkShare(), 0.02);
    const uint8_t* rgb = pages[0].pixels.data();
    size_t strongBlue = 0;
    for (size_t i = 0; i + 2 < pages[0].pixels.size(); i += 3)
        strongBlue += rgb[i + 2] > rgb[i] + 100 ? 1 : 0;
    EXPECT_GT(strongBlue, 1000u) << "the coloured block";

    GreyPage blank = ToGrey(pages[1]);
    EXPECT_EQ(blank.DarkShare(), 0.0);
    EXPECT_GT(blank.Mean(), 250.0);
    EXPECT_LT(blank.Mean(), 255.0) << "paper has faint noise";
    EXPECT_GE(*std::min_element(blank.values.begin(), blank.values.end()), 240);
}

TEST_F(PageContentTest, BlackAndWhiteIsTheGreyPageThresholdedPackedMostSignificantBitFirst) {
    ASSERT_EQ(SetString(handle_, "颜色模式", "256级灰度"), 0);
    GreyPage grey = FirstPage();
    ASSERT_EQ(SetString(handle_, "颜色模式", "黑白"), 0);
    std::vector<RecordedEvent> pages = ScanSheets(1);
    ASSERT_EQ(pages.size(), 1u);
    GreyPage bits = ToGrey(pages[0]);
    ASSERT_EQ(bits.width, grey.width);
    ASSERT_EQ(bits.height, grey.height);
    size_t mismatches = 0;
    for (size_t i = 0; i < grey.values.size(); ++i)
        mismatches += (grey.values[i] < 128) != (bits.values[i] == 0) ? 1 : 0;
    EXPECT_EQ(mismatches, 0u);
    EXPECT_GT(bits.DarkShare(), 0.02);
    EXPECT_EQ(pages[0].pixels[0], 0) << "the paper's corner is white, so its bits are 0";
}

TEST_F(PageContentTest, BlankBlackAndWhitePagesAreWhiteWithSpecksOnlyWithoutDenoising) {
    SetConfig("virtual", "blank_pages", "1");
    ASSERT_EQ(SetString(handle_, "颜色模式", "黑白"), 0);
    GreyPage clean = FirstPage();
    EXPECT_EQ(clean.DarkShare(), 0.0);

    ASSERT_EQ(SetWord(handle_, "黑白图像噪点优化", SANE_FALSE), 0);
    GreyPage specked = FirstPage();
    EXPECT_GT(specked.DarkShare(), 0.0);
    EXPECT_LT(specked.DarkShare(), 0.0005);
}

TEST_F(PageContentTest, FrontsAndBacksDifferAndPagesDifferOnlyInTheirNumberBox) {
    ASSERT_EQ(SetString(handle_, "颜色模式", "256级灰度"), 0);
    std::vector<RecordedEvent> pages = ScanSheets(2, "双面");
    ASSERT_EQ(pages.size(), 4u);
    GreyPage front1 = ToGrey(pages[0]);
    GreyPage back1 = ToGrey(pages[1]);
    GreyPage front2 = ToGrey(pages[2]);

    size_t sideDifferences = 0;
    for (size_t i = 0; i < front1.values.size(); ++i)
        sideDifferences += (front1.values[i] < 128) != (back1.values[i] < 128) ? 1 : 0;
    EXPECT_GT(sideDifferences, front1.values.size() / 50);

    // Page 1 and page 3 share the front's content; only the number's box, at
    // the top right, tells them apart.
    int changed = 0;
    for (int y = 0; y < front1.height; ++y) {
        for (int x = 0; x < front1.width; ++x) {
            if ((front1.At(x, y) < 128) == (front2.At(x, y) < 128)) continue;
            ++changed;
            EXPECT_LT(y, front1.height / 5);
            EXPECT_GT(x, front1.width / 2);
        }
    }
    EXPECT_GT(changed, 100);
}

TEST_F(PageContentTest, OrientationTurnsTheContent) {
    ASSERT_EQ(SetString(handle_, "颜色模式", "256级灰度"), 0);
    GreyPage upright = FirstPage();
    struct Turn {
        const char* orientation;
        // The upright pixel shown at (x, y) of the turned page.
        std::pair<int, int> (*source)(int x, int y, const GreyPage& upright);
    };
    const Turn turns[] = {
        {"90°",
         [](int x, int y, const GreyPage& u) {
             return std::pair{y, u.height - 1 - x};
         }},
        {"180°",
         [](int x, int y, const GreyPage& u) {
             return std::pair{u.width - 1 - x, u.height - 1 - y};
         }},
        {"-90°",
         [](int x, int y, const GreyPage& u) {
             return std::pair{u.width - 1 - y, x};
         }},
    };
    for (const Turn& turn : turns) {
        SCOPED_TRACE(turn.orientation);
        ASSERT_EQ(SetString(handle_, "文稿方向", turn.orientation), 0);
        GreyPage turned = FirstPage();
        size_t mismatches = 0;
        for (int y = 0; y < turned.height; ++y) {
            for (int x = 0; x < turned.width; ++x) {
                auto [ux, uy] = turn.source(x, y, upright);
                mismatches += (turned.At(x, y) < 128) != (upright.At(ux, uy) < 128) ? 1 : 0;
            }
        }
        EXPECT_EQ(mismatches, 0u);
    }
}

TEST_F(PageContentTest, BrightnessAndGammaChangeThePixels) {
    ASSERT_EQ(SetString(handle_, "颜色模式", "256级灰度"), 0);
    double normal = FirstPage().Mean();
    ASSERT_EQ(SetWord(handle_, "亮度", 60), 0);
    double brighter = FirstPage().Mean();
    ASSERT_EQ(SetWord(handle_, "亮度", -60), 0);
    double darker = FirstPage().Mean();
    ASSERT_EQ(SetWord(handle_, "亮度", 0), 0);
    ASSERT_EQ(SetWord(handle_, "伽马", SANE_FIX(2.5)), 0);
    double gammaLifted = FirstPage().Mean();
    EXPECT_GT(brighter, normal + 1);
    EXPECT_LT(darker, normal - 20);
    EXPECT_GT(gammaLifted, normal + 1);
}

RenderSettings SmallSettings() {
    RenderSettings settings;
    settings.dpi = 50;
    settings.uprightWidth = 413;
    settings.uprightHeight = 585;
    settings.format = {SANE_FRAME_GRAY, 8, 413, 585, 413};
    return settings;
}

TEST(PageCacheTest, RendersEachContentOnceAndStaysWithinItsBudget) {
    PageCache cache;
    RenderSettings settings = SmallSettings();
    for (int i = 0; i < 20; ++i) {
        ASSERT_NE(cache.Get(settings, PageKind::kFront), nullptr);
        ASSERT_NE(cache.Get(settings, PageKind::kBack), nullptr);
    }
    EXPECT_EQ(cache.Renders(), 2);
    settings.brightness = 10;
    ASSERT_NE(cache.Get(settings, PageKind::kFront), nullptr);
    EXPECT_EQ(cache.Renders(), 3);

    // A budget below two pages keeps only the page last asked for.
    PageCache small(settings.format.Bytes() + 1);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(small.Get(settings, PageKind::kFront), nullptr);
        ASSERT_NE(small.Get(settings, PageKind::kBack), nullptr);
        EXPECT_EQ(small.Entries(), 1u);
    }
    EXPECT_EQ(small.Renders(), 6);
}

}  // namespace

// The blank check against a labelled set of generated scans: blank pages
// with the defects of real scanners (noise, specks, grey or tinted paper,
// faint borders, edge shadows, punch holes) and pages whose only content is
// small (a short line, a signature, a faint pencil mark, a stamp, a page
// number) or large (a full page of text).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/image/proc/kx_imgproc.h"
#include "tests/platform/image/proc/page_maker.h"

namespace {

using imgproc_test::AddNoise;
using imgproc_test::AddSpecks;
using imgproc_test::DrawStroke;
using imgproc_test::DrawText;
using imgproc_test::FillDisc;
using imgproc_test::FillRect;
using imgproc_test::Image;
using imgproc_test::MakeImage;
using imgproc_test::Rgb;

// An A4 sheet scanned at the given resolution.
struct Sheet {
    Image image;
    double dpi;
    double Px(double mm) const { return mm * dpi / 25.4; }
    int32_t Width() const { return static_cast<int32_t>(Px(210)); }
    int32_t Height() const { return static_cast<int32_t>(Px(297)); }
};

Sheet MakeSheet(double dpi, uint32_t type, Rgb paper = {255, 255, 255}, bool storeDpi = true) {
    auto width = static_cast<uint32_t>(210 * dpi / 25.4);
    auto height = static_cast<uint32_t>(297 * dpi / 25.4);
    return {MakeImage(width, height, type, paper, storeDpi ? static_cast<uint32_t>(dpi) : 0), dpi};
}

void FaintFrame(Sheet& s, double insetMm, Rgb color) {
    auto inset = static_cast<int32_t>(s.Px(insetMm));
    auto t = static_cast<int32_t>(s.Px(0.3)) + 1;
    FillRect(s.image.get(), {inset, inset, s.Width() - inset, inset + t}, color);
    FillRect(s.image.get(), {inset, s.Height() - inset - t, s.Width() - inset, s.Height() - inset},
             color);
    FillRect(s.image.get(), {inset, inset, inset + t, s.Height() - inset}, color);
    FillRect(s.image.get(), {s.Width() - inset - t, inset, s.Width() - inset, s.Height() - inset},
             color);
}

void EdgeShadow(Sheet& s, double widthMm) {
    auto w = static_cast<int32_t>(s.Px(widthMm));
    for (int32_t x = 0; x < w; ++x) {
        auto level = static_cast<uint8_t>(90 + 150 * x / w);
        FillRect(s.image.get(), {x, 0, x + 1, s.Height()}, {level, level, level});
    }
}

void PunchHoles(Sheet& s, bool alongTop) {
    double radius = s.Px(3);
    for (double share : {0.35, 0.65}) {
        double along = share * (alongTop ? s.Width() : s.Height());
        double across = s.Px(12);
        FillDisc(s.image.get(), alongTop ? along : across, alongTop ? across : along, radius,
                 {25, 25, 25});
    }
}

// A sheet turned by degrees inside a scan of dark background, with margin
// millimetres of background showing around it.
Sheet SheetOnBackground(double dpi, double degrees, double marginMm) {
    Sheet s = MakeSheet(dpi, KX_PIXEL_GRAY, {30, 30, 30});
    imgproc_test::FillTurnedRect(
        s.image.get(), s.Width() / 2.0, s.Height() / 2.0, s.Width() / 2.0 - s.Px(marginMm),
        s.Height() / 2.0 - s.Px(marginMm), degrees * M_PI / 180, {250, 250, 250});
    return s;
}

void Signature(Sheet& s, double xMm, double yMm, Rgb ink, double penMm) {
    std::vector<std::pair<double, double>> points;
    for (int32_t i = 0; i <= 60; ++i) {
        double t = i / 60.0;
        double x = xMm + 35 * t;
        double y = yMm + 4 * std::sin(t * 19) + 3 * std::sin(t * 7);
        points.emplace_back(s.Px(x), s.Px(y));
    }
    DrawStroke(s.image.get(), points, s.Px(penMm), ink);
}

void PencilMark(Sheet& s) {
    std::vector<std::pair<double, double>> points;
    for (int32_t i = 0; i <= 30; ++i) {
        double t = i / 30.0;
        points.emplace_back(s.Px(120 + 20 * t), s.Px(180 + 6 * std::sin(t * 9)));
    }
    DrawStroke(s.image.get(), points, s.Px(0.4), {150, 150, 150});
}

void Stamp(Sheet& s) {
    std::vector<std::pair<double, double>> circle;
    for (int32_t i = 0; i <= 48; ++i) {
        double a = i * 2 * M_PI / 48;
        circle.emplace_back(s.Px(150 + 8 * std::cos(a)), s.Px(240 + 8 * std::sin(a)));
    }
    DrawStroke(s.image.get(), circle, s.Px(0.8), {200, 40, 40});
}

void TextLine(Sheet& s, const char* text, double xMm, double yMm, double pt) {
    DrawText(s.image.get(), text, static_cast<int32_t>(s.Px(xMm)), static_cast<int32_t>(s.Px(yMm)),
             static_cast<int32_t>(pt / 72 * s.dpi));
}

void FullText(Sheet& s) {
    for (double y = 25; y < 270; y += 7) {
        TextLine(s, "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod", 20,
                 y, 10);
    }
}

struct LabelledPage {
    const char* name;
    bool blank;
    std::function<Sheet()> make;
};

std::vector<LabelledPage> LabelledSet() {
    std::vector<LabelledPage> set = {
        {"clean white", true, [] { return MakeSheet(200, KX_PIXEL_GRAY); }},
        {"sensor noise", true,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
             AddNoise(s.image.get(), 6, 1);
             return s;
         }},
        {"heavy noise", true,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_RGB);
             AddNoise(s.image.get(), 14, 2);
             return s;
         }},
        {"dust specks", true,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
             AddSpecks(s.image.get(), 60, 3);
             AddNoise(s.image.get(), 5, 3);
             return s;
         }},
        {"grey recycled paper", true,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY, {215, 215, 215});
             AddNoise(s.image.get(), 7, 4);
             return s;
         }},
        {"tinted paper, no resolution", true,
         [] {
             Sheet s = MakeSheet(300, KX_PIXEL_RGB, {250, 238, 200}, false);
             AddNoise(s.image.get(), 5, 5);
             return s;
         }},
        {"faint border frame", true,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
             FaintFrame(s, 2, {190, 190, 190});
             AddNoise(s.image.get(), 5, 6);
             return s;
         }},
        {"edge shadow", true,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
             EdgeShadow(s, 3.5);
             AddNoise(s.image.get(), 5, 7);
             return s;
         }},
        {"punch holes at the side", true,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
             PunchHoles(s, false);
             AddNoise(s.image.get(), 5, 8);
             return s;
         }},
        {"punch holes at the top, framed", true,
         [] {
             Sheet s = MakeSheet(300, KX_PIXEL_RGB);
             PunchHoles(s, true);
             FaintFrame(s, 1.5, {200, 200, 200});
             AddNoise(s.image.get(), 4, 9);
             return s;
         }},
        {"show-through from the back", true,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
             for (double y = 30; y < 260; y += 9) {
                 DrawText(s.image.get(), "tnemucod eht fo edis rehto eht no txet",
                          static_cast<int32_t>(s.Px(25)), static_cast<int32_t>(s.Px(y)),
                          static_cast<int32_t>(s.Px(4)), {228, 228, 228});
             }
             AddNoise(s.image.get(), 4, 20);
             return s;
         }},
        {"scanner background along the bottom", true,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
             FillRect(s.image.get(),
                      {0, s.Height() - static_cast<int32_t>(s.Px(9)), s.Width(), s.Height()},
                      {30, 30, 30});
             AddNoise(s.image.get(), 5, 21);
             return s;
         }},
        {"black-and-white with specks", true,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_BW);
             AddSpecks(s.image.get(), 40, 10);
             return s;
         }},
        {"short text line", false,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
             TextLine(s, "Page 2 of 7", 90, 140, 11);
             AddNoise(s.image.get(), 5, 11);
             return s;
         }},
        {"page number at the bottom", false,
         [] {
             Sheet s = MakeSheet(300, KX_PIXEL_RGB);
             TextLine(s, "- 14 -", 100, 280, 10);
             AddNoise(s.image.get(), 4, 12);
             return s;
         }},
        {"small signature", false,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
             Signature(s, 130, 250, {20, 20, 90}, 0.5);
             AddNoise(s.image.get(), 5, 13);
             return s;
         }},
        {"faint pencil mark", false,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
             PencilMark(s);
             AddNoise(s.image.get(), 5, 14);
             return s;
         }},
        {"red stamp", false,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_RGB);
             Stamp(s);
             AddNoise(s.image.get(), 5, 15);
             return s;
         }},
        {"full page of text", false,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
             FullText(s);
             AddNoise(s.image.get(), 5, 16);
             return s;
         }},
        {"line on grey paper with holes", false,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_GRAY, {215, 215, 215});
             PunchHoles(s, false);
             TextLine(s, "Received 3 May", 60, 100, 12);
             AddNoise(s.image.get(), 7, 17);
             return s;
         }},
        {"black-and-white text line", false,
         [] {
             Sheet s = MakeSheet(200, KX_PIXEL_BW);
             TextLine(s, "Approved", 80, 120, 12);
             AddSpecks(s.image.get(), 20, 18);
             return s;
         }},
        {"signature, no resolution", false,
         [] {
             Sheet s = MakeSheet(300, KX_PIXEL_RGB, {255, 255, 255}, false);
             Signature(s, 40, 60, {10, 10, 10}, 0.5);
             AddNoise(s.image.get(), 5, 19);
             return s;
         }},
        {"skewed sheet with a line", false,
         [] {
             Sheet s = SheetOnBackground(150, -2.0, 5);
             TextLine(s, "Copy 2", 40, 50, 11);
             AddNoise(s.image.get(), 5, 23);
             return s;
         }},
    };
    // The same defects and marks again with other noise and other places.
    for (uint32_t seed : {31u, 32u}) {
        set.push_back({"sensor noise, another seed", true, [seed] {
                           Sheet s = MakeSheet(200, KX_PIXEL_RGB);
                           AddSpecks(s.image.get(), 30, seed);
                           AddNoise(s.image.get(), 8, seed);
                           return s;
                       }});
    }
    for (std::pair<double, double> place : {std::pair{25.0, 20.0}, {150.0, 265.0}, {20.0, 150.0}}) {
        double x = place.first;  // plain variables: Clang 14 cannot capture a structured binding
        double y = place.second;
        set.push_back({"short text line elsewhere", false, [x, y] {
                           Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
                           TextLine(s, "No. 4711", x, y, 10);
                           AddNoise(s.image.get(), 6, static_cast<uint32_t>(x + y));
                           return s;
                       }});
        set.push_back({"signature elsewhere", false, [x, y] {
                           Sheet s = MakeSheet(200, KX_PIXEL_RGB);
                           Signature(s, x, std::min(y, 270.0), {30, 30, 140}, 0.4);
                           AddNoise(s.image.get(), 6, static_cast<uint32_t>(x * y));
                           return s;
                       }});
    }
    return set;
}

TEST(BlankCheck, LabelledSetIsClassifiedWithoutError) {
    int32_t errors = 0;
    std::vector<LabelledPage> set = LabelledSet();
    for (const LabelledPage& page : set) {
        Sheet sheet = page.make();
        int32_t blank = -1;
        ASSERT_EQ(KXImgProc_ImageBlankCheck(sheet.image.get(), nullptr, &blank), 0) << page.name;
        bool right = (blank != 0) == page.blank;
        errors += right ? 0 : 1;
        EXPECT_TRUE(right) << page.name << ": labelled " << (page.blank ? "blank" : "content");
    }
    double rate = static_cast<double>(errors) / set.size();
    std::printf("blank check: %d errors in %zu pages, error rate %.1f%%\n", errors, set.size(),
                100 * rate);
    testing::Test::RecordProperty("blank_check_error_rate", std::to_string(rate));
}

TEST(BlankCheck, ParametersTuneTheVerdict) {
    Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
    TextLine(s, "ok", 15, 15, 10);
    int32_t blank = -1;
    ASSERT_EQ(KXImgProc_ImageBlankCheck(s.image.get(), nullptr, &blank), 0);
    EXPECT_EQ(blank, 0);
    KXBlankCheckParams tolerant{6, 40, 500};  // up to 50 mm² of ink is still blank
    ASSERT_EQ(KXImgProc_ImageBlankCheck(s.image.get(), &tolerant, &blank), 0);
    EXPECT_EQ(blank, 1);
    KXBlankCheckParams wideBorder{25, 40, 25};  // the mark lies in the ignored band
    ASSERT_EQ(KXImgProc_ImageBlankCheck(s.image.get(), &wideBorder, &blank), 0);
    EXPECT_EQ(blank, 1);
}

TEST(BlankCheck, OnlyTheRegionOfInterestCounts) {
    Sheet s = MakeSheet(200, KX_PIXEL_GRAY);
    TextLine(s, "Note in the corner", 20, 20, 12);
    KXRect lowerHalf{0, s.Height() / 2, s.Width(), s.Height()};
    ASSERT_EQ(KXBase_SetImageROI(s.image.get(), &lowerHalf), 0);
    int32_t blank = -1;
    ASSERT_EQ(KXImgProc_ImageBlankCheck(s.image.get(), nullptr, &blank), 0);
    EXPECT_EQ(blank, 1);
}

TEST(BlankCheck, TinyAndBadInput) {
    int32_t blank = -1;
    auto tiny = MakeImage(1, 1, KX_PIXEL_RGB);
    EXPECT_EQ(KXImgProc_ImageBlankCheck(tiny.get(), nullptr, &blank), 0);
    EXPECT_EQ(blank, 1);
    EXPECT_NE(KXImgProc_ImageBlankCheck(nullptr, nullptr, &blank), 0);
    EXPECT_NE(KXImgProc_ImageBlankCheck(tiny.get(), nullptr, nullptr), 0);
    KXBlankCheckParams negative{-1, 40, 25};
    EXPECT_NE(KXImgProc_ImageBlankCheck(tiny.get(), &negative, &blank), 0);
}

}  // namespace

// Watermark, decontamination, direction correction and deskew end to end,
// checked on the pixels of their results: what changes inside their regions
// and that nothing changes outside, a page turned by 90 degrees made upright,
// and a page turned by a few degrees made straight.
#include <cmath>
#include <numbers>

#include "support/temp_dir.h"
#include "ver_2/image_command_fixture.h"

namespace testing_support {
namespace {

using ImageMarking = ImageCommandTest;

constexpr Rgb kWhite{255, 255, 255};

// The box of the pixels that are not white; all zero when there are none.
KXRect InkBox(KXImage image) {
    return imgproc_test::BoxOfPixelsNot(image, kWhite, 0);
}

TEST_F(ImageMarking, WatermarkTextLandsAtItsPlaceInsideTheMargins) {
    StartSavingPng();
    std::string input = SolidPng(400, 200, kWhite, "white.png");
    auto watermark = [&](const std::string& members) {
        Json reply =
            Command("local_image_add_watermark", members + R"(,"image_path":")" + input + "\"");
        EXPECT_EQ(JsonNumber(reply, "ret"), 0) << members;
        return LoadPicture(JsonString(reply, "image_path"));
    };

    // "location" (the default) puts the text box's corner at the location.
    Image located = watermark(R"("text":"WM","location_x":50,"location_y":60,"font_size":40)");
    ASSERT_TRUE(located);
    KXRect box = InkBox(located.get());
    EXPECT_GE(box.left, 50);
    EXPECT_LT(box.left, 60);
    EXPECT_GE(box.top, 60);
    EXPECT_LT(box.right, 160);
    EXPECT_LT(box.bottom, 110);
    // Opaque black by default.
    EXPECT_GT(imgproc_test::CountPixelsNot(located.get(), kWhite, 254), 20);

    // "left" moves only the left edge, by margin_left; the text is centred
    // vertically in the whole height.
    Image left = watermark(
        R"("text":"WM","text_pos":"left","margin_left":20,"margin_top":150,"font_size":40)");
    ASSERT_TRUE(left);
    box = InkBox(left.get());
    EXPECT_GE(box.left, 20);
    EXPECT_LT(box.left, 30);
    EXPECT_LT(box.top, 100);
    EXPECT_GT(box.bottom, 100);

    // "right_bottom" keeps the text inside both of its margins, in the colour
    // asked for; half opacity blends it with the paper.
    Image corner = watermark(R"("text":"WM","text_pos":"right_bottom","margin_right":30,)"
                             R"("margin_bottom":40,"text_color":"#FF0000","text_opacity":128,)"
                             R"("font_size":30,"font_name":"DejaVu Sans","font_bold":true)");
    ASSERT_TRUE(corner);
    box = InkBox(corner.get());
    EXPECT_LE(box.right, 370);
    EXPECT_GT(box.right, 340);
    EXPECT_LE(box.bottom, 160);
    EXPECT_GT(box.bottom, 130);
    Rgb darkest = kWhite;
    for (int32_t y = box.top; y < box.bottom; ++y) {
        for (int32_t x = box.left; x < box.right; ++x) {
            Rgb p = imgproc_test::PixelAt(corner.get(), x, y);
            if (p.g < darkest.g) darkest = p;
        }
    }
    EXPECT_EQ(darkest.r, 255);
    EXPECT_NEAR(darkest.g, 127, 2);
    EXPECT_EQ(darkest.g, darkest.b);

    // Font names select installed families (without regard to letter case
    // and blanks), generic families, the Chinese face names and the common
    // faces pages name from their own systems.
    for (const char* name : {"dejavuserif", "DEJAVU SANS MONO", "monospace", "SimHei", "楷体",
                             "Arial", "Times New Roman", "微软雅黑"}) {
        Image drawn = watermark(std::string(R"("text":"字 W","font_name":")") + name + "\"");
        EXPECT_TRUE(drawn && InkBox(drawn.get()).right > 0) << name;
    }
}

TEST_F(ImageMarking, DecontaminationPaintsInsideOrOutsideTheRectangleOnly) {
    StartSavingPng();
    std::string input = WritePng(Gradient(120, 80).get(), "gradient.png");
    for (const char* area : {"inside", "outside"}) {
        Json reply = Command("local_image_decontamination",
                             std::string(R"("mode":")") + area +
                                 R"(","color":"#00ff00","x":10,"y":20,"width":50,"height":30,)"
                                 R"("image_path":")" +
                                 input + "\"");
        ASSERT_EQ(JsonNumber(reply, "ret"), 0) << area;
        Image result = LoadPicture(JsonString(reply, "image_path"));
        ASSERT_TRUE(result);
        int64_t wrong = 0;
        bool inside = std::string(area) == "inside";
        for (int32_t y = 0; y < 80; ++y) {
            for (int32_t x = 0; x < 120; ++x) {
                bool inRect = x >= 10 && x < 60 && y >= 20 && y < 50;
                Rgb expected = inRect == inside ? Rgb{0, 255, 0} : Rgb{uint8_t(x), uint8_t(y), 77};
                Rgb actual = imgproc_test::PixelAt(result.get(), x, y);
                if (actual.r != expected.r || actual.g != expected.g || actual.b != expected.b)
                    ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0) << area;
    }
    // The default area is "inside"; the colour has no default.
    Json noColor = Command("local_image_decontamination",
                           R"("width":5,"height":5,"image_path":")" + input + "\"");
    EXPECT_EQ(JsonNumber(noColor, "ret"), -1);
}

TEST_F(ImageMarking, DirectionCorrectionTurnsAPageTurnedBy90DegreesUpright) {
    StartSavingPng();
    Image upright = imgproc_test::MakeTextPage(1240, 1754, KX_PIXEL_RGB, 28, 150);
    Image turned = imgproc_test::TurnClockwise(upright.get(), 90);
    std::string input = WritePng(turned.get(), "turned.png");
    Json reply = Command("local_image_direction_correct", R"("image_path":")" + input + "\"");
    ASSERT_EQ(JsonNumber(reply, "ret"), 0);
    Image corrected = LoadPicture(JsonString(reply, "image_path"));
    ASSERT_TRUE(corrected);
    ASSERT_EQ(InfoOf(corrected.get()).width, 1240u);
    ASSERT_EQ(InfoOf(corrected.get()).height, 1754u);
    EXPECT_EQ(imgproc_test::CountPixelsNot(corrected.get(), kWhite, 0),
              imgproc_test::CountPixelsNot(upright.get(), kWhite, 0));
    KXRect expected = InkBox(upright.get());
    KXRect actual = InkBox(corrected.get());
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);

    // An upright page, and a page without text, come back unchanged.
    std::string blank = SolidPng(300, 200, kWhite, "blank.png");
    for (const std::string& path : {WritePng(upright.get(), "upright.png"), blank}) {
        Json same = Command("local_image_direction_correct", R"("image_path":")" + path + "\"");
        ASSERT_EQ(JsonNumber(same, "ret"), 0);
        Image result = LoadPicture(JsonString(same, "image_path"));
        Image original = LoadPicture(path);
        ASSERT_TRUE(result && original);
        EXPECT_EQ(InfoOf(result.get()).width, InfoOf(original.get()).width);
        EXPECT_EQ(imgproc_test::CountPixelsNot(result.get(), kWhite, 0),
                  imgproc_test::CountPixelsNot(original.get(), kWhite, 0));
    }
}

TEST_F(ImageMarking, DeskewStraightensAPageTurnedByAFewDegreesAndCutsItOut) {
    StartSavingPng();
    // A 1000 x 1300 page turned 3 degrees clockwise on a dark scanner
    // background, with a 800 x 8 rule through its centre.
    constexpr double kRadians = 3 * std::numbers::pi / 180;
    Image scan = imgproc_test::MakeImage(1400, 1700, KX_PIXEL_RGB, {30, 30, 30});
    imgproc_test::FillTurnedRect(scan.get(), 700, 850, 500, 650, kRadians, kWhite);
    imgproc_test::FillTurnedRect(scan.get(), 700, 850, 400, 4, kRadians, {0, 0, 0});
    std::string input = WritePng(scan.get(), "skewed.png");

    Json reply = Command("local_image_deskew", R"("image_path":")" + input + "\"");
    ASSERT_EQ(JsonNumber(reply, "ret"), 0);
    Image straight = LoadPicture(JsonString(reply, "image_path"));
    ASSERT_TRUE(straight);
    KXImageInfo info = InfoOf(straight.get());
    EXPECT_NEAR(info.width, 1000, 30);
    EXPECT_NEAR(info.height, 1300, 30);
    // The rule is level again: its dark pixels span a few rows only.
    int32_t top = INT32_MAX, bottom = -1;
    for (int32_t y = 0; y < static_cast<int32_t>(info.height); ++y) {
        for (int32_t x = 0; x < static_cast<int32_t>(info.width); x += 4) {
            if (imgproc_test::PixelAt(straight.get(), x, y).r < 80) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    EXPECT_LT(bottom - top, 16) << top << ".." << bottom;
    EXPECT_NEAR((top + bottom) / 2.0, info.height / 2.0, 20);
    // No background is left at the corners.
    for (auto [x, y] : {std::pair{3u, 3u},
                        {info.width - 4, 3u},
                        {3u, info.height - 4},
                        {info.width - 4, info.height - 4}}) {
        EXPECT_GT(imgproc_test::PixelAt(straight.get(), int32_t(x), int32_t(y)).r, 200);
    }
}

}  // namespace
}  // namespace testing_support

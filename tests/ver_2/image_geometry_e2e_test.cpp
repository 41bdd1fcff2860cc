// Merge, split and clip end to end, checked on the pixels of their results:
// positions, the white background and gaps of merges in both modes and every
// alignment, the pieces of a split and their order, the clipped region.
#include <array>

#include "support/temp_dir.h"
#include "ver_2/image_command_fixture.h"

namespace testing_support {
namespace {

using ImageGeometry = ImageCommandTest;

constexpr Rgb kRed{200, 0, 0};
constexpr Rgb kBlue{0, 0, 200};
constexpr Rgb kWhite{255, 255, 255};

struct Placement {
    int32_t left, top, width, height;
    Rgb color;
};

bool Same(Rgb a, Rgb b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// Every pixel of the picture is the colour of the placement that covers it,
// or white; the number of pixels that are not.
int64_t MisplacedPixels(KXImage picture, const std::vector<Placement>& placements) {
    KXImageInfo info = InfoOf(picture);
    int64_t wrong = 0;
    for (int32_t y = 0; y < static_cast<int32_t>(info.height); ++y) {
        for (int32_t x = 0; x < static_cast<int32_t>(info.width); ++x) {
            Rgb expected = kWhite;
            for (const Placement& p : placements) {
                if (x >= p.left && x < p.left + p.width && y >= p.top && y < p.top + p.height)
                    expected = p.color;
            }
            if (!Same(imgproc_test::PixelAt(picture, x, y), expected)) ++wrong;
        }
    }
    return wrong;
}

// Pixel (x, y) of the piece came from (x + dx, y + dy) of Gradient().
int64_t PixelsNotFrom(KXImage piece, int32_t dx, int32_t dy) {
    KXImageInfo info = InfoOf(piece);
    int64_t wrong = 0;
    for (int32_t y = 0; y < static_cast<int32_t>(info.height); ++y) {
        for (int32_t x = 0; x < static_cast<int32_t>(info.width); ++x) {
            Rgb expected{uint8_t((x + dx) % 256), uint8_t((y + dy) % 256), 77};
            if (!Same(imgproc_test::PixelAt(piece, x, y), expected)) ++wrong;
        }
    }
    return wrong;
}

struct MergeCase {
    const char* members;  // mode, align, interval as the page sends them
    uint32_t width, height;
    int32_t firstLeft, firstTop, secondLeft, secondTop;
    bool tallSecond = false;  // 80 x 71 instead of 80 x 70
};

TEST_F(ImageGeometry, MergePlacesImagesOnWhiteInBothModesAndEveryAlignment) {
    StartSavingPng();
    std::string first = SolidPng(100, 50, kRed, "a.png");
    std::string second = SolidPng(80, 70, kBlue, "b.png");
    std::string tall = SolidPng(80, 71, kBlue, "tall.png");
    const MergeCase cases[] = {
        {R"("mode":"horz","align":"top","interval":10)", 190, 70, 0, 0, 110, 0},
        {R"("mode":"horz","align":"bottom","interval":10)", 190, 70, 0, 20, 110, 0},
        {R"("mode":"horz","align":"center","interval":10)", 190, 70, 0, 10, 110, 0},
        {R"("mode":"vert","align":"left","interval":0)", 100, 120, 0, 0, 0, 50},
        {R"("mode":"vert","align":"right","interval":0)", 100, 120, 0, 0, 20, 50},
        {R"("mode":"vert","align":"center","interval":5)", 100, 125, 0, 0, 10, 55},
        // Defaults: side by side, centred vertically, no gap.
        {R"("iden":"defaults")", 180, 70, 0, 10, 100, 0},
        // An odd difference rounds down: a 50-high image on a 71-high canvas.
        {R"("mode":"horz","align":"center")", 180, 71, 0, 10, 100, 0, true},
        // Mistyped parameters count as absent.
        {R"("mode":5,"align":true,"interval":"10")", 180, 70, 0, 10, 100, 0},
    };
    std::vector<std::string> kept;
    for (const MergeCase& c : cases) {
        std::string inputs = JsonArray({first, c.tallSecond ? tall : second});
        Json reply = Command("merge_local_image",
                             std::string(c.members) + R"(,"image_path_list":)" + inputs);
        ASSERT_EQ(JsonNumber(reply, "ret"), 0) << c.members;
        std::string path = JsonString(reply, "image_path");
        EXPECT_EQ(path.rfind(SaveFolder() + "Zembo", 0), 0u) << path;
        Image merged = LoadPicture(path);
        ASSERT_TRUE(merged) << c.members;
        EXPECT_EQ(InfoOf(merged.get()).width, c.width) << c.members;
        EXPECT_EQ(InfoOf(merged.get()).height, c.height) << c.members;
        int32_t secondHeight = c.tallSecond ? 71 : 70;
        EXPECT_EQ(
            MisplacedPixels(merged.get(), {{c.firstLeft, c.firstTop, 100, 50, kRed},
                                           {c.secondLeft, c.secondTop, 80, secondHeight, kBlue}}),
            0)
            << c.members;
        kept.push_back(path);
    }
    // Kept results are recorded, and the inputs are left alone.
    EXPECT_EQ(StoredSavedFiles(), kept);
    EXPECT_TRUE(Exists(first) && Exists(second));
    EXPECT_TRUE(TemporaryFiles().empty());
}

TEST_F(ImageGeometry, MergeLeavesOutInputsThatDoNotLoadWithoutLeavingRoomForThem) {
    StartSavingPng();
    std::string first = SolidPng(100, 50, kRed, "a.png");
    std::string second = SolidPng(80, 70, kBlue, "b.png");
    // A PNG whose header reads but whose pixels end early: its size is
    // known before its pixels fail to load.
    Image big = imgproc_test::MakeTextPage(600, 400, KX_PIXEL_RGB, 20);
    std::string full = ReadFile(WritePng(big.get(), "big.png"));
    std::string truncated = InputFolder() + "truncated.png";
    WriteFile(truncated, full.substr(0, full.size() / 2));
    std::string text = InputFolder() + "text.png";
    WriteFile(text, "not a picture");
    Json reply =
        Command("merge_local_image",
                R"("mode":"horz","align":"top","interval":10,"image_path_list":)" +
                    JsonArray({"", truncated, first, InputFolder() + "missing.png", text, second}));
    ASSERT_EQ(JsonNumber(reply, "ret"), 0);
    Image merged = LoadPicture(JsonString(reply, "image_path"));
    ASSERT_TRUE(merged);
    EXPECT_EQ(InfoOf(merged.get()).width, 190u);
    EXPECT_EQ(InfoOf(merged.get()).height, 70u);
    EXPECT_EQ(MisplacedPixels(merged.get(), {{0, 0, 100, 50, kRed}, {110, 0, 80, 70, kBlue}}), 0);
}

TEST_F(ImageGeometry, SplitGivesTheLeftOrTopPieceFirst) {
    StartSavingPng();
    std::string input = WritePng(Gradient(200, 150).get(), "gradient.png");
    const struct {
        const char* members;
        std::vector<std::array<int32_t, 4>> pieces;  // width, height, dx, dy
    } cases[] = {
        {R"("mode":"vert","location":40)", {{200, 40, 0, 0}, {200, 110, 0, 40}}},
        {R"("mode":"horz","location":120)", {{120, 150, 0, 0}, {80, 150, 120, 0}}},
        {R"("location":120)", {{120, 150, 0, 0}, {80, 150, 120, 0}}},
        // A cut at the edge leaves one piece, the whole image.
        {R"("mode":"horz","location":0)", {{200, 150, 0, 0}}},
        {R"("mode":"vert","location":150)", {{200, 150, 0, 0}}},
    };
    for (const auto& c : cases) {
        Json reply = Command("split_local_image",
                             std::string(c.members) + R"(,"image_path":")" + input + "\"");
        ASSERT_EQ(JsonNumber(reply, "ret"), 0) << c.members;
        EXPECT_EQ(JsonKeys(reply), (std::vector<std::string>{"func", "ret", "image_path_list"}));
        const cJSON* list = cJSON_GetObjectItemCaseSensitive(reply.get(), "image_path_list");
        ASSERT_EQ(cJSON_GetArraySize(list), static_cast<int>(c.pieces.size())) << c.members;
        for (size_t i = 0; i < c.pieces.size(); ++i) {
            Image piece = LoadPicture(cJSON_GetArrayItem(list, static_cast<int>(i))->valuestring);
            ASSERT_TRUE(piece);
            auto [width, height, dx, dy] = c.pieces[i];
            EXPECT_EQ(InfoOf(piece.get()).width, static_cast<uint32_t>(width)) << c.members;
            EXPECT_EQ(InfoOf(piece.get()).height, static_cast<uint32_t>(height)) << c.members;
            EXPECT_EQ(PixelsNotFrom(piece.get(), dx, dy), 0) << c.members << " piece " << i;
        }
    }
    // A cut beyond the image leaves nothing to save.
    Json beyond = Command("split_local_image",
                          R"("mode":"horz","location":201,"image_path":")" + input + "\"");
    EXPECT_EQ(JsonNumber(beyond, "ret"), -1);
    EXPECT_EQ(SavedFiles().size(), 8u);
}

TEST_F(ImageGeometry, ClipCopiesTheRectangle) {
    StartSavingPng();
    std::string input = WritePng(Gradient(300, 200).get(), "gradient.png");
    Json reply = Command("local_image_clip",
                         R"("x":10,"y":20,"width":100,"height":50,"image_path":")" + input + "\"");
    ASSERT_EQ(JsonNumber(reply, "ret"), 0);
    Image clip = LoadPicture(JsonString(reply, "image_path"));
    ASSERT_TRUE(clip);
    EXPECT_EQ(InfoOf(clip.get()).width, 100u);
    EXPECT_EQ(InfoOf(clip.get()).height, 50u);
    EXPECT_EQ(PixelsNotFrom(clip.get(), 10, 20), 0);

    // The whole image is a valid rectangle; one pixel more is not.
    Json whole =
        Command("local_image_clip", R"("width":300,"height":200,"image_path":")" + input + "\"");
    EXPECT_EQ(JsonNumber(whole, "ret"), 0);
    Json wider = Command("local_image_clip",
                         R"("x":1,"width":300,"height":200,"image_path":")" + input + "\"");
    EXPECT_EQ(JsonNumber(wider, "ret"), -1);
    Json huge = Command("local_image_clip", R"("x":2147483647,"width":2147483647,"height":5,)"
                                            R"("image_path":")" +
                                                input + "\"");
    EXPECT_EQ(JsonNumber(huge, "ret"), -1);
    EXPECT_EQ(SavedFiles().size(), 2u);
}

}  // namespace
}  // namespace testing_support

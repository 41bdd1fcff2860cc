// What the image-processing commands share, end to end: the reply keys that
// "local_save" and "get_base64" choose, the three input variants, the
// failure reply for every kind of bad input, and that no temporary input or
// unkept result survives any command.
#include "support/temp_dir.h"
#include "ver_2/image_command_fixture.h"

namespace testing_support {
namespace {

using ImageCommands = ImageCommandTest;

constexpr Rgb kRed{200, 0, 0};
constexpr Rgb kBlue{0, 0, 200};

using Keys = std::vector<std::string>;

TEST_F(ImageCommands, LocalSaveAndGetBase64ChooseTheResultKeys) {
    StartSavingPng();
    std::string inputs =
        JsonArray({SolidPng(10, 10, kRed, "a.png"), SolidPng(6, 4, kBlue, "b.png")});
    std::string request = R"("image_path_list":)" + inputs;

    Json kept = Command("merge_local_image", R"("iden":"m1",)" + request);
    EXPECT_EQ(JsonKeys(kept), (Keys{"func", "iden", "ret", "image_path"}));
    std::string keptPath = JsonString(kept, "image_path");
    EXPECT_EQ(SavedFiles(), (Keys{keptPath}));

    Json nothing = Command("merge_local_image", R"("local_save":false,)" + request);
    EXPECT_EQ(JsonKeys(nothing), (Keys{"func", "ret"}));
    EXPECT_EQ(JsonNumber(nothing, "ret"), 0);

    Json onlyData =
        Command("merge_local_image", R"("local_save":false,"get_base64":true,)" + request);
    EXPECT_EQ(JsonKeys(onlyData), (Keys{"func", "ret", "image_base64"}));
    std::string dataUrl = JsonString(onlyData, "image_base64");
    ASSERT_EQ(dataUrl.rfind("data:image/png;base64,", 0), 0u);
    std::string received = home_.root().path() + "received.png";
    WriteFile(received, Base64Decode(dataUrl.substr(dataUrl.find(',') + 1)));
    Image picture = LoadPicture(received);
    ASSERT_TRUE(picture);
    EXPECT_EQ(InfoOf(picture.get()).width, 16u);
    EXPECT_EQ(imgproc_test::PixelAt(picture.get(), 12, 5).b, 200);

    Json both = Command("merge_local_image", R"("get_base64":true,)" + request);
    EXPECT_EQ(JsonKeys(both), (Keys{"func", "ret", "image_path", "image_base64"}));
    EXPECT_EQ(DataUrlOf(JsonString(both, "image_path"), "image/png"),
              JsonString(both, "image_base64"));

    // A "local_save" that is not a boolean counts as absent: the result is kept.
    Json text = Command("merge_local_image", R"("local_save":"false",)" + request);
    EXPECT_EQ(JsonKeys(text), (Keys{"func", "ret", "image_path"}));

    // Split pieces come as lists.
    std::string gradient = WritePng(Gradient(30, 20).get(), "gradient.png");
    Json pieces = Command("split_local_image", R"("local_save":false,"get_base64":true,)"
                                               R"("location":10,"image_path":")" +
                                                   gradient + "\"");
    EXPECT_EQ(JsonKeys(pieces), (Keys{"func", "ret", "image_base64_list"}));
    const cJSON* list = cJSON_GetObjectItemCaseSensitive(pieces.get(), "image_base64_list");
    ASSERT_EQ(cJSON_GetArraySize(list), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(std::string(cJSON_GetArrayItem(list, i)->valuestring)
                      .rfind("data:image/png;base64,", 0),
                  0u);
    }

    std::vector<std::string> expectedKept{keptPath, JsonString(both, "image_path"),
                                          JsonString(text, "image_path")};
    EXPECT_EQ(SavedFiles().size(), 3u);
    EXPECT_EQ(StoredSavedFiles(), expectedKept);
    EXPECT_TRUE(TemporaryFiles().empty());
    Restart();
    EXPECT_EQ(StoredSavedFiles(), expectedKept);
}

TEST_F(ImageCommands, Base64VariantsWorkOnTheirDecodedInputsAndRemoveThem) {
    StartSavingPng();
    std::string red = DataUrlOf(SolidPng(10, 10, kRed, "a.png"), "image/png");
    std::string blue = DataUrlOf(SolidPng(6, 4, kBlue, "b.png"), "image/png");
    std::string gradient = DataUrlOf(WritePng(Gradient(30, 20).get(), "g.png"), "image/png");

    Json merged = Command("merge_base64_image",
                          R"("interval":2,"image_base64_list":)" +
                              JsonArray({red, "data:image/png;base64,", "no comma", blue}));
    ASSERT_EQ(JsonNumber(merged, "ret"), 0);
    Image picture = LoadPicture(JsonString(merged, "image_path"));
    ASSERT_TRUE(picture);
    EXPECT_EQ(InfoOf(picture.get()).width, 18u);
    EXPECT_EQ(InfoOf(picture.get()).height, 10u);

    Json clip = Command("base64_image_clip",
                        R"("x":5,"y":6,"width":7,"height":8,"image_base64":")" + gradient + "\"");
    ASSERT_EQ(JsonNumber(clip, "ret"), 0);
    Image clipped = LoadPicture(JsonString(clip, "image_path"));
    ASSERT_TRUE(clipped);
    EXPECT_EQ(InfoOf(clipped.get()).width, 7u);
    EXPECT_EQ(imgproc_test::PixelAt(clipped.get(), 0, 0).r, 5);
    EXPECT_EQ(imgproc_test::PixelAt(clipped.get(), 0, 0).g, 6);

    Json pieces = Command("split_base64_image",
                          R"("mode":"vert","location":5,"image_base64":")" + gradient + "\"");
    ASSERT_EQ(JsonNumber(pieces, "ret"), 0);
    EXPECT_EQ(cJSON_GetArraySize(cJSON_GetObjectItem(pieces.get(), "image_path_list")), 2);

    Json document = Command("base64_make_multi_image", R"("format":"pdf","image_base64_list":)" +
                                                           JsonArray({red, blue, gradient}));
    ASSERT_EQ(JsonNumber(document, "ret"), 0);
    EXPECT_NE(Shell("pdfinfo '" + JsonString(document, "image_path") + "'").find("Pages:"),
              std::string::npos);

    EXPECT_TRUE(TemporaryFiles().empty());
    EXPECT_EQ(SavedFiles().size(), 5u);
}

TEST_F(ImageCommands, BatchVariantsWorkOnImagesOfTheCurrentBatchAndRemoveThem) {
    StartSavingPng();
    std::string red = SolidPng(10, 10, kRed, "a.png");
    Image photo = imgproc_test::MakeImage(8, 8, KX_PIXEL_RGB, {90, 90, 90});
    std::string grey = WriteJpeg(photo.get(), "b.jpg");
    std::string gradient = WritePng(Gradient(30, 20).get(), "g.png");
    AppendBatchImage(red, "png");
    AppendBatchImage(grey, "jpg");
    AppendBatchImage(gradient, "png");

    // Indexes without an image are left out.
    Json merged = Command("merge_image", R"("image_index_list":[0,99])");
    ASSERT_EQ(JsonNumber(merged, "ret"), 0);
    Image picture = LoadPicture(JsonString(merged, "image_path"));
    ASSERT_TRUE(picture);
    EXPECT_EQ(InfoOf(picture.get()).width, 10u);
    EXPECT_EQ(TemporaryFiles(), Keys{});

    // Entries are named by the index itself and the format of the image.
    Json zip = Command("make_zip_file", R"("image_index_list":[2,1,7],"local_save":false,)"
                                        R"("get_base64":true)");
    ASSERT_EQ(JsonNumber(zip, "ret"), 0);
    std::string archive = home_.root().path() + "received.zip";
    WriteFile(archive, Base64Decode(JsonString(zip, "zip_base64")));
    EXPECT_EQ(ZipContents(archive), (std::vector<std::pair<std::string, std::string>>{
                                        {"2.png", ReadFile(gradient)}, {"1.jpg", ReadFile(grey)}}));

    // A missing "image_index" means the first image.
    Json clip = Command("image_clip", R"("width":4,"height":3)");
    ASSERT_EQ(JsonNumber(clip, "ret"), 0);
    Image clipped = LoadPicture(JsonString(clip, "image_path"));
    ASSERT_TRUE(clipped);
    EXPECT_EQ(imgproc_test::PixelAt(clipped.get(), 1, 1).r, 200);

    Json pieces = Command("split_image", R"("image_index":2,"location":12)");
    ASSERT_EQ(JsonNumber(pieces, "ret"), 0);
    const cJSON* list = cJSON_GetObjectItemCaseSensitive(pieces.get(), "image_path_list");
    ASSERT_EQ(cJSON_GetArraySize(list), 2);
    Image right = LoadPicture(cJSON_GetArrayItem(list, 1)->valuestring);
    ASSERT_TRUE(right);
    EXPECT_EQ(imgproc_test::PixelAt(right.get(), 0, 3).r, 12);

    Json document = Command("make_multi_image", R"("format":"pdf","get_base64":true,)"
                                                R"("image_index_list":[1,0,2])");
    ASSERT_EQ(JsonNumber(document, "ret"), 0);
    EXPECT_EQ(JsonString(document, "image_base64").rfind("data:image/pdf;base64,", 0), 0u);

    Json missing = Command("image_deskew", R"("image_index":3)");
    EXPECT_EQ(JsonNumber(missing, "ret"), -1);

    EXPECT_TRUE(TemporaryFiles().empty());
    EXPECT_EQ(SavedFiles().size(), 5u);
    EXPECT_EQ(Query("select count(*) from table_default_idx"), Keys{"3"});
}

TEST_F(ImageCommands, BadInputGetsTheErrorReplyAndLeavesNoFile) {
    StartSavingPng();
    std::string image = SolidPng(40, 30, {250, 250, 250}, "white.png");
    std::string text = InputFolder() + "text.png";
    WriteFile(text, "not a picture");
    std::string path = R"("image_path":")" + image + "\"";
    std::string longName(64, 'x');
    const std::pair<const char*, std::string> requests[] = {
        {"merge_local_image", R"("interval":-1,"image_path_list":)" + JsonArray({image})},
        {"merge_local_image", R"("mode":"diag","image_path_list":)" + JsonArray({image})},
        {"merge_local_image", R"("align":"left","image_path_list":)" + JsonArray({image})},
        {"merge_local_image",
         R"("mode":"vert","align":"top","image_path_list":)" + JsonArray({image})},
        {"merge_local_image", R"("align":"CENTER","image_path_list":)" + JsonArray({image})},
        {"merge_local_image", R"("interval":1e300,"image_path_list":)" + JsonArray({image, image})},
        {"merge_local_image", R"("image_path_list":[])"},
        {"merge_local_image", R"("image_path_list":[1,true,null])"},
        {"merge_local_image", R"("image_path_list":)" + JsonArray({text, InputFolder(), ""})},
        {"merge_local_image", ""},
        {"split_local_image", R"("location":-1,)" + path},
        {"split_local_image", R"("mode":"diagonal",)" + path},
        {"split_local_image", R"("location":41,)" + path},
        {"split_local_image", R"("image_path":")" + text + "\""},
        {"local_make_zip_file", R"("file_path_list":[])"},
        {"local_make_zip_file", R"("image_path_list":)" + JsonArray({image})},
        {"local_image_deskew", ""},
        {"local_image_deskew", R"("image_path":")" + InputFolder() + "\""},
        {"local_image_direction_correct", R"("image_path":")" + text + "\""},
        {"local_image_add_watermark", path},
        {"local_image_add_watermark", R"("text":"",)" + path},
        {"local_image_add_watermark", R"("text":7,)" + path},
        {"local_image_add_watermark", R"("text":"x","text_opacity":256,)" + path},
        {"local_image_add_watermark", R"("text":"x","text_opacity":300,)" + path},
        {"local_image_add_watermark", R"("text":"x","text_opacity":-1,)" + path},
        {"local_image_add_watermark", R"("text":"x","text_color":"#FFF",)" + path},
        {"local_image_add_watermark", R"("text":"x","text_color":"000000",)" + path},
        {"local_image_add_watermark", R"("text":"x","text_color":"#00GG00",)" + path},
        {"local_image_add_watermark", R"("text":"x","text_color":"",)" + path},
        {"local_image_add_watermark", R"("text":"x","text_pos":"middle",)" + path},
        {"local_image_add_watermark", R"("text":"x","margin_left":-1,)" + path},
        {"local_image_add_watermark", R"("text":"x","margin_bottom":-5,)" + path},
        {"local_image_add_watermark", R"("text":"x","font_size":0,)" + path},
        {"local_image_add_watermark", R"("text":"x","font_size":-3,)" + path},
        {"local_image_add_watermark", R"("text":"x","font_name":"",)" + path},
        {"local_image_add_watermark", R"("text":"x","font_name":"No Such Font Face",)" + path},
        {"local_image_add_watermark", R"("text":"x","font_name":"宋体 ",)" + path},
        {"local_image_add_watermark", R"("text":"x","font_name":")" + longName + "\"," + path},
        // Margins that leave no room for the text.
        {"local_image_add_watermark", R"("text":"x","text_pos":"left","margin_left":40,)" + path},
        {"local_image_decontamination", R"("color":"#000000","height":5,)" + path},
        {"local_image_decontamination", R"("color":"#000000","width":5,"height":-1,)" + path},
        {"local_image_decontamination", R"("color":"#000000","x":-1,"width":5,"height":5,)" + path},
        {"local_image_decontamination", R"("color":"#12345","width":5,"height":5,)" + path},
        {"local_image_decontamination",
         R"("color":"#000000","mode":"","width":5,"height":5,)" + path},
        {"local_image_decontamination",
         R"("color":"#000000","mode":"middle","width":5,"height":5,)" + path},
        {"local_image_clip", R"("height":5,)" + path},
        {"local_image_clip", R"("width":5,"height":0,)" + path},
        {"local_image_clip", R"("y":-1,"width":5,"height":5,)" + path},
        {"local_image_clip", R"("x":40,"width":1,"height":1,)" + path},
        {"base64_image_clip", R"("width":5,"height":5,"image_base64":"no comma")"},
        {"base64_image_clip", R"("width":5,"height":5,"image_base64":"data:image/png;base64,")"},
        {"base64_image_clip", R"("width":5,"height":5,"image_base64":"data:image/png;base64,!!")"},
        {"base64_image_clip",
         R"("width":5,"height":5,"image_base64":"data:image/gif;base64,R0lGODlhAQABAAAAACw=")"},
        {"base64_make_zip_file", R"("image_base64_list":[])"},
        {"merge_base64_image", R"("image_base64_list":["no comma"])"},
        {"image_clip", R"("width":5,"height":5,"image_index":0)"},
        {"merge_image", R"("image_index_list":[0,1])"},
        {"make_zip_file", R"("image_index_list":[])"},
    };
    for (const auto& [func, members] : requests) {
        Json reply = Command(func, members);
        ASSERT_NE(reply, nullptr);
        EXPECT_EQ(JsonKeys(reply), (Keys{"func", "ret", "err_info", "err_detail"}))
            << func << " " << members;
        EXPECT_EQ(JsonNumber(reply, "ret"), -1) << func << " " << members;
        EXPECT_EQ(JsonString(reply, "err_info"), "错误");
    }
    EXPECT_EQ(SavedFiles(), Keys{});
    EXPECT_EQ(TemporaryFiles(), Keys{});
    EXPECT_EQ(StoredSavedFiles(), Keys{});
    EXPECT_TRUE(Exists(image) && Exists(text));
}

}  // namespace
}  // namespace testing_support

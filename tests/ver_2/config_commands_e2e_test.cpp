// The configuration and local-file commands end to end: settings with their
// validation and persistence, saving, loading and deleting local images, and
// the saved-file list across restarts.
#include <filesystem>

#include "support/temp_dir.h"
#include "ver_2/generation2_fixture.h"

namespace testing_support {
namespace {

using ConfigCommands = Generation2Test;

// A small but real PNG file (1 x 1 pixel, white).
const std::string kPngBase64 =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGP4//8/AAX+Av4N70a4AAAAAElFTkSuQmCC";

std::string Base64Decode(const std::string& text);

Json GetConfig(PageClient& page) {
    return page.Call(R"({"func":"get_global_config"})");
}

TEST_F(ConfigCommands, GetGlobalConfigSendsTheSevenSettingsInOrder) {
    Start();
    std::string reply = page_.CallRaw(R"({"func":"get_global_config","iden":"g"})");
    EXPECT_EQ(reply,
              "{\n\t\"func\":\t\"get_global_config\",\n\t\"iden\":\t\"g\",\n\t\"ret\":\t0,\n"
              "\t\"file_save_path\":\t\"" +
                  SaveFolder() +
                  "\",\n\t\"file_name_prefix\":\t\"Zembo\",\n"
                  "\t\"file_name_mode\":\t\"date_time\",\n\t\"image_format\":\t\"jpg\",\n"
                  "\t\"image_jpeg_quality\":\t80,\n\t\"image_tiff_compression\":\t\"lzw\",\n"
                  "\t\"image_tiff_jpeg_quality\":\t80\n}");
}

TEST_F(ConfigCommands, SettingsAreValidatedAndSurviveARestart) {
    Start();
    const struct {
        const char* request;
        int ret;
    } cases[] = {
        // Wrong JSON types are ignored, so nothing is set and nothing fails.
        {R"({"image_jpeg_quality":"80","image_format":5,"file_save_path":null})", 0},
        {R"({})", 0},
        {R"({"image_jpeg_quality":70.9})", 0},
        {R"({"image_format":"png","image_tiff_jpeg_quality":101})", -1},
        {R"({"image_format":"PNG"})", -1},
        {R"({"image_jpeg_quality":1e300})", -1},
        {R"({"image_jpeg_quality":-1})", -1},
        {R"({"file_save_path":""})", -1},
        {R"({"file_name_prefix":"../outside"})", -1},
        {R"({"file_name_prefix":"x\n[connect]\nport=1"})", -1},
        {R"({"file_name_mode":"random","image_tiff_compression":"jpeg"})", 0},
        {R"({"file_name_prefix":"","image_tiff_jpeg_quality":0})", 0},
    };
    for (const auto& c : cases) {
        Json request = ParseJson(c.request);
        cJSON_AddStringToObject(request.get(), "func", "set_global_config");
        cJSON_AddStringToObject(request.get(), "iden", "s");
        char* text = cJSON_PrintUnformatted(request.get());
        Json reply = page_.Call(text);
        cJSON_free(text);
        EXPECT_EQ(JsonNumber(reply, "ret"), c.ret) << c.request;
        EXPECT_EQ(JsonString(reply, "iden"), "s");
        EXPECT_EQ(JsonString(reply, "err_info"), c.ret == 0 ? "" : "参数错误") << c.request;
        EXPECT_EQ(JsonHas(reply, "err_info"), c.ret != 0);
    }
    std::string folder = home_.root().path() + "elsewhere/./deeper/..";
    Json set = page_.Call(R"({"func":"set_global_config","file_save_path":")" + folder + "\"}");
    EXPECT_EQ(JsonNumber(set, "ret"), 0);

    for (int round = 0; round < 2; ++round) {
        Json config = GetConfig(page_);
        EXPECT_EQ(JsonString(config, "file_save_path"), home_.root().path() + "elsewhere/");
        EXPECT_EQ(JsonString(config, "file_name_prefix"), "");
        EXPECT_EQ(JsonString(config, "file_name_mode"), "random");
        EXPECT_EQ(JsonString(config, "image_format"), "jpg");
        EXPECT_EQ(JsonNumber(config, "image_jpeg_quality"), 70);
        EXPECT_EQ(JsonString(config, "image_tiff_compression"), "jpeg");
        EXPECT_EQ(JsonNumber(config, "image_tiff_jpeg_quality"), 0);
        if (round == 0) Restart();
    }
    // The injected line never reached the settings file.
    EXPECT_EQ(ReadFile(home_.configDir() + "config2.ini").find("port=1"), std::string::npos);
}

TEST_F(ConfigCommands, SavedImagesCanBeLoadedAndDeletedOnceAlsoAfterARestart) {
    Start();
    Json saved = page_.Call(
        R"({"func":"save_local_image","iden":"7","image_base64":"data:image/png;base64,)" +
        kPngBase64 + "\"}");
    ASSERT_EQ(JsonNumber(saved, "ret"), 0);
    EXPECT_EQ(JsonKeys(saved), (std::vector<std::string>{"func", "iden", "ret", "image_path"}));
    std::string path = JsonString(saved, "image_path");
    EXPECT_EQ(path.substr(0, SaveFolder().size() + 5), SaveFolder() + "Zembo");
    EXPECT_EQ(path.substr(path.size() - 4), ".png");
    EXPECT_EQ(ReadFile(path), Base64Decode(kPngBase64));
    EXPECT_EQ(StoredSavedFiles(), (std::vector<std::string>{path}));

    // Loading reads any image file, recorded or not.
    Json loaded = page_.Call(R"({"func":"load_local_image","image_path":")" + path + "\"}");
    EXPECT_EQ(JsonNumber(loaded, "ret"), 0);
    EXPECT_EQ(JsonString(loaded, "image_base64"), "data:image/png;base64," + kPngBase64);

    Json second =
        page_.Call(R"({"func":"save_local_image","image_base64":"data:image/png;base64,)" +
                   kPngBase64 + "\"}");
    std::string other = JsonString(second, "image_path");
    ASSERT_NE(other, path);

    Restart();
    EXPECT_EQ(StoredSavedFiles(), (std::vector<std::string>{path, other}));
    std::string remove = R"({"func":"delete_local_file","file_path":")" + path + "\"}";
    EXPECT_EQ(JsonNumber(page_.Call(remove), "ret"), 0);
    EXPECT_FALSE(Exists(path));
    Json again = page_.Call(remove);
    EXPECT_EQ(JsonNumber(again, "ret"), -1);
    EXPECT_EQ(JsonString(again, "err_info"), "错误");
    EXPECT_EQ(StoredSavedFiles(), (std::vector<std::string>{other}));
}

TEST_F(ConfigCommands, BadLocalFileRequestsFailWithoutLeavingFiles) {
    Start();
    std::string outsider = home_.root().File("outside/keep.png");
    WriteFile(outsider, Base64Decode(kPngBase64));
    std::string notImage = home_.root().File("outside/text.jpg");
    WriteFile(notImage, "text");
    std::string folder = home_.root().path() + "outside";
    const std::string requests[] = {
        R"({"func":"save_local_image"})",
        R"({"func":"save_local_image","image_base64":42})",
        R"({"func":"save_local_image","image_base64":""})",
        R"({"func":"save_local_image","image_base64":"no comma here"})",
        R"({"func":"save_local_image","image_base64":"data:image/png;base64,"})",
        R"({"func":"save_local_image","image_base64":"data:image/png;base64,@@not base64@@"})",
        R"({"func":"save_local_image","image_base64":"data:image/png;base64,iVBO=Rw0"})",
        R"({"func":"load_local_image"})",
        R"({"func":"load_local_image","image_path":["x"]})",
        R"({"func":"load_local_image","image_path":""})",
        R"({"func":"load_local_image","image_path":")" + folder + "\"}",
        R"({"func":"load_local_image","image_path":")" + notImage + "\"}",
        R"({"func":"load_local_image","image_path":")" + folder + "/missing.png\"}",
        R"({"func":"delete_local_file"})",
        R"({"func":"delete_local_file","file_path":")" + outsider + "\"}",
        R"({"func":"delete_local_file","file_path":")" + folder + "\"}",
    };
    for (const std::string& request : requests) {
        Json reply = page_.Call(request);
        ASSERT_NE(reply, nullptr) << request;
        EXPECT_EQ(JsonNumber(reply, "ret"), -1) << request;
        EXPECT_EQ(JsonString(reply, "err_info"), "错误") << request;
        EXPECT_FALSE(JsonHas(reply, "image_path"));
        EXPECT_FALSE(JsonHas(reply, "image_base64"));
    }
    EXPECT_TRUE(FilesIn(SaveFolder()).empty());
    EXPECT_TRUE(StoredSavedFiles().empty());
    EXPECT_TRUE(Exists(outsider));
}

TEST_F(ConfigCommands, ClearingDeletesOnlyRecordedFiles) {
    Start();
    Json empty = page_.Call(R"({"func":"clear_global_file_save_path","iden":"c"})");
    EXPECT_EQ(JsonKeys(empty), (std::vector<std::string>{"func", "iden", "ret"}));
    EXPECT_EQ(JsonNumber(empty, "ret"), 0);

    std::vector<std::string> saved;
    for (int i = 0; i < 3; ++i) {
        Json reply =
            page_.Call(R"({"func":"save_local_image","image_base64":"data:image/jpeg;base64,)" +
                       kPngBase64 + "\"}");
        saved.push_back(JsonString(reply, "image_path"));
    }
    std::string stranger = SaveFolder() + "not-ours.jpg";
    WriteFile(stranger, "x");
    std::filesystem::remove(saved[1]);  // already gone: dropped from the list anyway
    EXPECT_EQ(JsonNumber(page_.Call(R"({"func":"clear_global_file_save_path"})"), "ret"), 0);
    EXPECT_EQ(FilesIn(SaveFolder()), (std::vector<std::string>{stranger}));
    EXPECT_TRUE(StoredSavedFiles().empty());
}

std::string Base64Decode(const std::string& text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    int bits = 0;
    int value = 0;
    for (char c : text) {
        size_t index = alphabet.find(c);
        if (index == std::string::npos) break;
        value = (value << 6) | static_cast<int>(index);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((value >> bits) & 0xff));
        }
    }
    return out;
}

}  // namespace
}  // namespace testing_support

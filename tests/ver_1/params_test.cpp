// Scan parameters: their defaults and storage in config1.ini, the JSON of
// the REST interface and the option tables of the scanner.
#include <gtest/gtest.h>

#include "fakes/scripted_options.h"
#include "support/temp_dir.h"
#include "ver_1/rest_json.h"
#include "ver_1/scan_options.h"
#include "ver_1/scan_params.h"

namespace ver_1 {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;

class ParamsFile : public ::testing::Test {
  protected:
    TempDir config_;
    ScopedEnv env_{"SCANBRIDGE_CONFIG_DIR", config_.path() + "conf/"};
};

TEST_F(ParamsFile, MissingKeysTakeTheLoadDefaultsAndSavedRecordsComeBack) {
    ScanParams params;
    params.ftpUser = "kept?";
    LoadParams(params, "S");
    EXPECT_EQ(params.ftpPath, "");  // the reset value would be "/images"
    EXPECT_EQ(params.ftpUser, "");
    EXPECT_TRUE(params.autofeeder);
    EXPECT_EQ(params.pixel, 1);
    EXPECT_EQ(params.resolution, 200);
    EXPECT_EQ(params.ftpPort, 21);

    params.pixel = 0;
    params.ftpPassword = "a\r\nb=c\n[x]";
    params.format = "png";
    SaveParams(params, "S");
    ScanParams read;
    LoadParams(read, "S");
    EXPECT_EQ(read.pixel, 0);
    EXPECT_EQ(read.format, "png");
    EXPECT_EQ(read.ftpPassword, "a  b=c [x]");
    std::string text = ReadFile(config_.path() + "conf/config1.ini");
    EXPECT_EQ(text.find("\n[x]"), std::string::npos) << text;

    // Values of any length come back whole.
    params.httpUrl = "http://127.0.0.1/upload?token=" + std::string(3000, 't');
    SaveParams(params, "S");
    LoadParams(read, "S");
    EXPECT_EQ(read.httpUrl, params.httpUrl);
}

TEST(ParamsJson, SetParamsReadingRules) {
    ScanParams params =
        ParamsFromJson(R"({"resolution":"300dpi","pixel":2.9,"white":1,"single":true,"format":5,)"
                       R"("upload":{"ftpPath":"in","ftpPort":"2121","uploadMode":0}})");
    EXPECT_EQ(params.resolution, 300);
    EXPECT_EQ(params.pixel, 2);
    EXPECT_FALSE(params.white);  // only `true` is true
    EXPECT_TRUE(params.single);
    EXPECT_EQ(params.format, "");
    EXPECT_EQ(params.ftpPath, "/in");
    EXPECT_EQ(params.ftpPort, 2121);
    EXPECT_EQ(params.uploadMode, 0);

    ScanParams fresh = ParamsFromJson(R"({"upload":"not an object","ftpPath":"x"})");
    EXPECT_EQ(fresh.ftpPath, "/images");
    EXPECT_EQ(fresh.uploadMode, 2);
    EXPECT_EQ(ParamsFromJson("[1]").resolution, 200);
    EXPECT_EQ(ParamsFromJson("{").pixel, 1);
}

TEST(ParamsJson, UploadRequestStartsFromItsDefaults) {
    UploadRequest none = UploadRequestFromJson("not json");
    EXPECT_EQ(none.uploadMode, 2);
    EXPECT_EQ(none.ftpPort, 21);
    EXPECT_EQ(none.format, 2);
    UploadRequest read = UploadRequestFromJson(
        R"({"uploadMode":1,"ftpUrl":"h","ftpPath":"d/e","ftpPort":"21x","format":1})");
    EXPECT_EQ(read.uploadMode, 1);
    EXPECT_EQ(read.ftpPath, "/d/e");
    EXPECT_EQ(read.ftpPort, 21);
    EXPECT_EQ(read.format, 1);
    EXPECT_EQ(read.ftpMode, 0);  // read from the object: missing is 0
}

struct StringCase {
    const char* title;
    const char* text;
};

TEST(OptionTables, ValuesWrittenToTheScanner) {
    auto written = [](const char* title, SANE_Value_Type type, const ScanParams& params) {
        OptionValue value;
        EXPECT_TRUE(OptionValueFor(title, type, params, &value)) << title;
        return type == SANE_TYPE_STRING ? value.text : std::to_string(value.number);
    };
    ScanParams params;
    params.pixel = 5;
    params.orentation = 45;
    params.paperType = "B5";
    EXPECT_EQ(written("颜色模式", SANE_TYPE_STRING, params), "24位彩色");
    EXPECT_EQ(written("文稿方向", SANE_TYPE_STRING, params), "0°");
    EXPECT_EQ(written("纸张尺寸", SANE_TYPE_STRING, params), "匹配原始尺寸");
    EXPECT_EQ(written("扫描页面", SANE_TYPE_STRING, params), "双面");
    EXPECT_EQ(written("扫描数量", SANE_TYPE_INT, params), "1");
    params.pixel = 0;
    params.orentation = 270;
    params.white = true;
    params.autofeeder = false;
    params.splitImage = 7;
    EXPECT_EQ(written("颜色模式", SANE_TYPE_STRING, params), "黑白");
    EXPECT_EQ(written("文稿方向", SANE_TYPE_STRING, params), "-90°");
    EXPECT_EQ(written("扫描页面", SANE_TYPE_STRING, params), "跳过空白页（通用）");
    EXPECT_EQ(written("扫描张数", SANE_TYPE_STRING, params), "扫描指定张数");
    EXPECT_EQ(written("图像拆分", SANE_TYPE_BOOL, params), "1");
    params.single = true;
    EXPECT_EQ(written("扫描页面", SANE_TYPE_STRING, params), "单面");

    OptionValue ignored;
    EXPECT_FALSE(OptionValueFor("亮度", SANE_TYPE_INT, params, &ignored));
    EXPECT_FALSE(OptionValueFor("分辨率", SANE_TYPE_STRING, params, &ignored));
}

TEST(OptionTables, ValuesReadFromTheScanner) {
    ScanParams params;
    auto apply = [&params](const char* title, const char* text) {
        OptionValue value;
        value.text = text;
        ApplyOptionValue(title, SANE_TYPE_STRING, value, params);
    };
    apply("颜色模式", "颜色自动识别");
    EXPECT_EQ(params.pixel, 2);
    apply("扫描页面", "跳过空白页（发票纸）");
    EXPECT_TRUE(params.white);
    EXPECT_FALSE(params.single);
    apply("扫描页面", "单面");
    EXPECT_FALSE(params.white);
    EXPECT_TRUE(params.single);
    apply("文稿方向", "-90°");
    EXPECT_EQ(params.orentation, 270);
    apply("纸张尺寸", "匹配原始尺寸");
    EXPECT_EQ(params.paperType, "Auto");
    apply("纸张尺寸", "A5");  // not in the table: unchanged
    EXPECT_EQ(params.paperType, "Auto");
    apply("颜色模式", "unknown");
    EXPECT_EQ(params.pixel, 2);

    OptionValue number;
    number.number = 1;
    ApplyOptionValue("图像拆分", SANE_TYPE_BOOL, number, params);
    EXPECT_EQ(params.splitImage, 1);
    number.number = 600;
    ApplyOptionValue("分辨率", SANE_TYPE_INT, number, params);
    EXPECT_EQ(params.resolution, 600);
    ApplyOptionValue("分辨率", SANE_TYPE_FIXED, number, params);
    EXPECT_EQ(params.resolution, 600);
}

// Options the table covers but cannot hold its values: a colour mode too
// short for "24位彩色" (a driver would copy the text past its end) and a
// resolution that is an array (a whole table behind one title). Neither is
// read into the record or written from it; the fitting options are.
TEST(OptionTables, OptionsThatCannotHoldTheValueAreLeftAlone) {
    fakes::ScriptedOptions options;
    SANE_Int colour = options.Add(
        fakes::MakeOption("颜色模式", SANE_TYPE_STRING, SANE_CONSTRAINT_NONE, nullptr, 8));
    SANE_Int sides = options.Add(
        fakes::MakeOption("扫描页面", SANE_TYPE_STRING, SANE_CONSTRAINT_NONE, nullptr, 32));
    SANE_Int resolution = options.Add(
        fakes::MakeOption("分辨率", SANE_TYPE_INT, SANE_CONSTRAINT_NONE, nullptr, 4096 * 4));
    SANE_Int threshold = options.Add(fakes::MakeOption("跳过空白页灵敏度", SANE_TYPE_INT));
    std::vector<SANE_Word> ramp(4096);
    for (SANE_Word i = 0; i < 4096; ++i)
        ramp[i] = 4095 - i;
    options.SetWords(resolution, ramp);
    options.strings_[colour] = "黑白";
    options.strings_[sides] = "单面";
    options.SetWord(threshold, 9);

    ScanParams read;
    read.resolution = 150;
    read.pixel = 1;
    ReadScannerOptions(options, read);
    EXPECT_EQ(read.resolution, 150);  // the array's first word is no resolution
    EXPECT_EQ(read.pixel, 0);
    EXPECT_TRUE(read.single);
    EXPECT_EQ(read.discardBlankThre, 9);

    ScanParams written;
    written.pixel = 2;  // "24位彩色": 10 bytes and a NUL
    written.resolution = 300;
    written.single = false;
    written.white = false;
    written.discardBlankThre = 20;
    WriteScannerOptions(options, written);
    EXPECT_FALSE(options.overflowed_);
    EXPECT_EQ(options.strings_[colour], "黑白");
    EXPECT_EQ(options.Words(resolution), ramp);
    EXPECT_EQ(options.strings_[sides], "双面");
    EXPECT_EQ(options.Word(threshold), 20);
}

}  // namespace
}  // namespace ver_1

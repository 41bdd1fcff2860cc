// Refused commands end to end: every family answers "ret" -1 with its
// "err_info" and an "err_detail" naming the reason in plain words, and the
// service logs the same reason under the command's name. Successful replies
// carry no "err_detail".
#include <fstream>
#include <string>
#include <vector>

#include "support/http_recorder.h"
#include "ver_2/batch_fixture.h"

namespace testing_support {
namespace {

struct Refusal {
    std::string func;
    std::string members;  // JSON object text
    std::string detail;
    std::string info = "错误";
};

class RefusalDetails : public BatchTest {
  protected:
    // Sends each command, checks its refusal, then finds every reason in the
    // service's log under the command's name.
    void ExpectRefusals(const std::vector<Refusal>& table) {
        for (const Refusal& row : table) {
            Json reply = Command(row.func, row.members);
            ASSERT_NE(reply, nullptr) << row.func << " " << row.members;
            EXPECT_EQ(JsonNumber(reply, "ret"), -1) << row.func << " " << row.members;
            EXPECT_EQ(JsonString(reply, "err_info"), row.info) << row.func << " " << row.members;
            EXPECT_EQ(JsonString(reply, "err_detail"), row.detail)
                << row.func << " " << row.members;
        }
        std::string log = service().Log();
        for (const Refusal& row : table) {
            EXPECT_NE(log.find(" warning " + row.func + " refused: " + row.detail),
                      std::string::npos)
                << row.func << ": " << row.detail;
        }
    }

    // A command that must succeed, with no "err_detail" in its reply.
    void Ok(const std::string& func, const std::string& members = "{}") {
        Json reply = Command(func, members);
        ASSERT_NE(reply, nullptr) << func;
        EXPECT_EQ(JsonNumber(reply, "ret"), 0) << func << " " << JsonString(reply, "err_detail");
        EXPECT_FALSE(JsonHas(reply, "err_detail")) << func;
        EXPECT_FALSE(JsonHas(reply, "err_info")) << func;
    }

    std::string TextFile() {
        std::string path = InputFolder() + "notes.jpg";
        std::ofstream(path) << "not a picture";
        return path;
    }
};

TEST_F(RefusalDetails, DeviceAndScanCommandsSayWhy) {
    SetVirtual("sheets", "50");
    SetVirtual("page_delay_ms", "400");
    Start();
    const std::string noDriver = "no driver is initialised (send init_device first)";
    ExpectRefusals({
        {"get_device_name_list", "{}", noDriver},
        {"open_device", R"({"device_name":"Virtual Scanner"})", noDriver},
        {"deinit_device", "{}", noDriver},
    });
    Ok("init_device");
    ExpectRefusals({
        {"init_device", "{}", "the driver is already initialised"},
        {"open_device", R"({"device_name":"Nowhere"})",
         "scanner \"Nowhere\" cannot be opened: invalid argument"},
        {"close_device", "{}", "no scanner is open"},
        {"get_curr_device_name", "{}", "no scanner is open"},
        {"get_device_param", "{}", "no scanner is open"},
        {"reset_device_param", "{}", "no scanner is open"},
        {"start_scan", "{}", "no scanner is open"},
        {"stop_scan", "{}", "no scan is running"},
    });
    Ok("open_device");
    ExpectRefusals({
        {"open_device", "{}", "a scanner is already open: \"Virtual Scanner\""},
        {"set_device_param", R"({"device_param":[{"name":"分辨率","value":333}]})",
         "option \"分辨率\" refused the value 333 (allowed: 100, 150, 200, 240, 300, 400, 600)"},
        {"set_device_param", R"({"device_param":[{"name":"扫描数量","value":501}]})",
         "option \"扫描数量\" refused the value 501 (allowed: 1..500)"},
        {"set_device_param", R"({"device_param":[{"name":"颜色模式","value":"紫色"}]})",
         "option \"颜色模式\" refused the value \"紫色\" (allowed: \"24位彩色\", \"256级灰度\", "
         "\"黑白\", \"颜色自动识别\")"},
        {"set_device_param", R"({"device_param":[{"name":"No such option","value":1}]})",
         "the open scanner has no option named \"No such option\""},
        {"set_device_param", R"({"device_param":"dpi"})",
         "device_param is missing or holds no option"},
    });
    Ok("start_scan", R"({"local_save":false})");
    ExpectRefusals({
        {"start_scan", "{}", "a scan is running"},
        {"set_device_param", R"({"device_param":[{"name":"分辨率","value":300}]})",
         "a scan is running"},
        {"reset_device_param", "{}", "a scan is running"},
    });
    Ok("stop_scan");
}

TEST_F(RefusalDetails, BatchImageAndFileCommandsSayWhy) {
    HttpRecorder refusingServer(HttpRecorder::Options{500, false});
    ASSERT_TRUE(refusingServer.Start());
    Start();
    AppendTagged("ABCDE");
    std::string batch = CurrentBatch();
    std::string picture = MakePicture("page.png", 40, 30);
    std::string text = TextFile();
    std::string missing = InputFolder() + "missing.jpg";
    std::string toServer =
        ",\"http_host\":\"127.0.0.1\",\"http_port\":" + std::to_string(refusingServer.port());
    ExpectRefusals({
        // Batches.
        {"open_batch", R"({"batch_id":"nope"})", "no batch named \"nope\""},
        {"new_batch", "{\"batch_id\":" + Quoted(batch) + "}",
         "a batch named \"" + batch + "\" exists already"},
        {"new_batch", R"({"batch_id":""})", "batch_id is missing or empty"},
        {"delete_batch", "{\"batch_id\":" + Quoted(batch) + "}",
         "batch \"" + batch + "\" is the current batch; open another first"},
        {"delete_batch", R"({"batch_id":"nope"})", "no batch named \"nope\""},
        {"modify_batch_id", R"({"new_batch_id":""})", "new_batch_id is missing or empty"},
        // The image list.
        {"load_image", R"({"image_index":7})", "image_index 7 is outside 0..4"},
        {"save_image", R"({"image_index":-1})", "image_index -1 is outside 0..4"},
        {"delete_image", R"({"image_index_list":[1,9]})",
         "image_index_list entry 9 is outside 0..4"},
        {"delete_image", "{}", "image_index_list is missing or empty"},
        {"modify_image_tag", R"({"image_index_list":[0,1],"image_tag_list":["x"]})",
         "image_tag_list has 1 strings, image_index_list 2 entries"},
        {"move_image", R"({"image_index_list":[0],"mode":"after","target":1})",
         "mode \"after\" is not one of pos, index"},
        {"move_image", R"({"image_index_list":[0],"target":5})", "target 5 is outside 0..4"},
        {"exchange_image", R"({"image_index_1":0,"image_index_2":5})",
         "image_index_2 5 is outside 0..4"},
        {"exchange_image", R"({"image_index_1":2,"image_index_2":2})",
         "image_index_1 and image_index_2 are both 2"},
        {"insert_local_image", "{\"image_path\":" + Quoted(missing) + "}",
         "file not found: " + missing},
        {"insert_local_image", "{\"image_path\":" + Quoted(text) + "}",
         "unsupported image format: " + text},
        {"insert_local_image", "{\"image_path\":" + Quoted(picture) + ",\"insert_pos\":9}",
         "insert_pos 9 is outside -1..5"},
        {"insert_image", R"({"image_base64":"data:image/gif;base64,R0lGOD"})",
         "unsupported data URL prefix \"data:image/gif;base64,\""},
        {"modify_image_by_local",
         "{\"image_index\":1,\"image_path\":" + Quoted(InputFolder()) + "}",
         "not a regular file: " + InputFolder()},
        // Image operations, from the batch, local files and data URLs.
        {"image_deskew", R"({"image_index":7})", "image_index 7 is outside 0..4"},
        {"local_image_clip", "{\"image_path\":" + Quoted(missing) + ",\"width\":5,\"height\":5}",
         "file not found: " + missing},
        {"local_image_clip", "{\"image_path\":" + Quoted(picture) + ",\"width\":0,\"height\":5}",
         "width and height must be positive"},
        {"image_clip", R"({"x":30,"y":0,"width":20,"height":10})",
         "the rectangle x 30, y 0, width 20, height 10 is not inside the 8x6 image"},
        {"split_image", R"({"mode":"diagonal"})", "mode \"diagonal\" is not one of horz, vert"},
        {"split_image", R"({"location":9})", "location 9 is outside 0..8 for the 8x6 image"},
        {"merge_image", R"({"image_index_list":[0,1],"align":"left"})",
         "align \"left\" is not one of top, center, bottom for mode horz"},
        {"merge_image", R"({"image_index_list":[8,9]})",
         "none of the input images could be loaded (image_index 8 is outside 0..4)"},
        {"base64_make_multi_image", R"({"image_base64_list":[]})", "no input images given"},
        {"make_multi_image", R"({"image_index_list":[0],"format":"gif"})",
         "format \"gif\" is not one of tif, pdf, ofd"},
        {"local_make_zip_file", R"({"file_path_list":[]})", "no input files given"},
        {"base64_image_add_watermark", R"({"image_base64":"AAAA","text":"x"})",
         "not a data URL: it has no comma"},
        {"image_add_watermark", R"({"text":"x","text_color":"red"})",
         "text_color \"red\" is not a colour of the form #RRGGBB"},
        {"local_image_decontamination", "{\"image_path\":" + Quoted(picture) + ",\"mode\":\"all\"}",
         "mode \"all\" is not one of inside, outside"},
        // Local files and settings.
        {"load_local_image", "{\"image_path\":" + Quoted(missing) + "}",
         "file not found: " + missing},
        {"save_local_image", R"({"image_base64":"nonsense"})", "not a data URL: it has no comma"},
        {"delete_local_file", "{\"file_path\":" + Quoted(picture) + "}",
         "not a file this service saved: " + picture},
        {"set_global_config", R"({"image_format":"gif"})",
         "image_format \"gif\" is not one of jpg, bmp, png, tif, pdf, ofd, ocr-pdf, ocr-ofd",
         "参数错误"},
        {"set_global_config", R"({"image_jpeg_quality":101})",
         "image_jpeg_quality 101 is outside 0..100", "参数错误"},
        // Folder binding.
        {"bind_folder", "{}", "folder is missing or empty"},
        {"bind_folder", "{\"folder\":" + Quoted(InputFolder() + "bound") + ",\"name_width\":0}",
         "name_width 0 is outside 1..240"},
        {"bind_folder", "{\"folder\":" + Quoted(TmpFolder()) + "}",
         "the folder holds the service's own files: " + TmpFolder()},
        // Uploads.
        {"upload_image", R"({"image_index":7})", "image_index 7 is outside 0..4"},
        {"upload_local_file", "{\"file_path\":" + Quoted(missing) + "}",
         "file not found: " + missing},
        {"upload_local_file", "{\"file_path\":" + Quoted(picture) + ",\"upload_mode\":\"smb\"}",
         "upload_mode \"smb\" is not one of http, ftp"},
        {"upload_local_file", "{\"file_path\":" + Quoted(picture) + toServer + "}",
         "upload failed: the server answered HTTP 500"},
        {"upload_image_base64", R"({"image_base64":"data:image/png;base64,@@"})",
         "the data URL's Base64 is invalid"},
        // Names are matched exactly.
        {"Get_Image_Count", "{}", "unknown command \"Get_Image_Count\" (names are case-sensitive)"},
    });
    // Nothing was changed by the refusals.
    EXPECT_EQ(TagOrder(), "ABCDE");
    Ok("get_image_count");
}

}  // namespace
}  // namespace testing_support

// The image endpoints of generation 1 against real files in a pid's folder:
// listing, saving, deleting, merging, splitting, exchanging and sorting, and
// the refusal of pids and names that would leave the folder.
#include <cjson/cJSON.h>

#include "support/temp_dir.h"
#include "ver_1/generation1_fixture.h"
#include "ver_1/readers.h"

namespace testing_support {
namespace {

constexpr char kPid[] = "batch";
constexpr char kSuccess[] = "{\"code\":200, \"msg\":null, \"data\":\"success\"}";

struct Listed {
    std::string name;
    ImageSize size;
};

// The "data" array of a getImageByPid or bookSort body: names and the sizes
// of the JPEG images their data URLs hold.
std::vector<Listed> ListedImages(const std::string& body) {
    std::vector<Listed> images;
    cJSON* root = cJSON_Parse(body.c_str());
    const cJSON* data = cJSON_GetObjectItemCaseSensitive(root, "data");
    const cJSON* item = nullptr;
    cJSON_ArrayForEach(item, data) {
        const cJSON* name = cJSON_GetObjectItemCaseSensitive(item, "imageName");
        const cJSON* src = cJSON_GetObjectItemCaseSensitive(item, "src");
        images.push_back({name->valuestring, JpegDataUrlSize(src->valuestring)});
    }
    cJSON_Delete(root);
    return images;
}

// A member of the "data" object of a body.
std::string DataMember(const std::string& body, const char* name) {
    cJSON* root = cJSON_Parse(body.c_str());
    const cJSON* member =
        cJSON_GetObjectItemCaseSensitive(cJSON_GetObjectItemCaseSensitive(root, "data"), name);
    std::string value = cJSON_IsString(member) ? member->valuestring : "<missing>";
    cJSON_Delete(root);
    return value;
}

class ImageEndpoints : public Generation1Test {
  protected:
    void SetUp() override {
        MakeImage(kPid, "1.jpg", 100, 50);
        MakeImage(kPid, "2.jpg", 80, 70);
        MakeImage(kPid, "10.png", 30, 20);
        WriteList(kPid, {"1.jpg", "2.jpg", "10.png"});
        StartService({{"devices", ""}});
    }
    std::string Form(const std::string& more) { return std::string("pid=") + kPid + more; }
};

TEST_F(ImageEndpoints, ListingDropsMissingFilesAndGivesJpegDataUrls) {
    WriteList(kPid, {"1.jpg", "gone.jpg", "2.jpg", "10.png"});
    std::string body = Get("/VevIzer/image/getImageByPid?pid=batch");
    ASSERT_TRUE(IsJson(body)) << body.substr(0, 200);
    EXPECT_EQ(body.rfind("{\"code\":200, \"msg\":null, \"data\":[{\"imageName\":\"1.jpg\","
                         "\"src\":\"data:image/jpeg;base64,",
                         0),
              0u);
    std::vector<Listed> images = ListedImages(body);
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].name, "1.jpg");
    EXPECT_EQ(images[0].size, (ImageSize{100, 50}));
    EXPECT_EQ(images[2].name, "10.png");
    EXPECT_EQ(images[2].size, (ImageSize{30, 20}));
    EXPECT_EQ(ReadList(kPid), (std::vector<std::string>{"1.jpg", "2.jpg", "10.png"}));

    EXPECT_EQ(Get("/VevIzer/image/getImageByPid?pid=nobody"),
              "{\"code\":200, \"msg\":null, \"data\":[]}");
    std::string one = Get("/VevIzer/getImageByName?pid=batch&imageName=2.jpg");
    cJSON* root = cJSON_Parse(one.c_str());
    const cJSON* data = cJSON_GetObjectItemCaseSensitive(root, "data");
    ASSERT_TRUE(cJSON_IsString(data)) << one.substr(0, 200);
    EXPECT_EQ(JpegDataUrlSize(data->valuestring), (ImageSize{80, 70}));
    cJSON_Delete(root);
    EXPECT_EQ(Get("/VevIzer/getImageByName?pid=batch&imageName=none.jpg"),
              "{\"code\":200, \"msg\":null, \"data\":\"\"}");
}

TEST_F(ImageEndpoints, SaveDeleteAndDeleteAll) {
    // The Base64 part after the first comma is written, whatever the prefix
    // says; the list is not changed.
    EXPECT_EQ(PostForm("/VevIzer/image/saveImage", Form("&imageName=raw.bin&image=" +
                                                        FormEscape("data:image/png;base64,QUJD"))),
              kSuccess);
    EXPECT_EQ(ReadFile(PidFolder(kPid) + "raw.bin"), "ABC");
    EXPECT_EQ(ReadList(kPid).size(), 3u);

    EXPECT_EQ(PostForm("/VevIzer/image/deleteImage", Form("&imageName=2.jpg")), kSuccess);
    EXPECT_FALSE(Exists(PidFolder(kPid) + "2.jpg"));
    EXPECT_EQ(ReadList(kPid), (std::vector<std::string>{"1.jpg", "10.png"}));
    // Deleting a file that is not there leaves the list alone.
    WriteList(kPid, {"1.jpg", "ghost.jpg", "10.png"});
    PostForm("/VevIzer/image/deleteImage", Form("&imageName=ghost.jpg"));
    EXPECT_EQ(ReadList(kPid).size(), 3u);

    EXPECT_EQ(PostForm("/VevIzer/image/deleteAllImage", Form("")), kSuccess);
    EXPECT_TRUE(ReadList(kPid).empty());
    EXPECT_FALSE(Exists(PidFolder(kPid) + "1.jpg"));
    EXPECT_FALSE(Exists(PidFolder(kPid) + "10.png"));
    EXPECT_TRUE(Exists(PidFolder(kPid) + "raw.bin"));
}

TEST_F(ImageEndpoints, MergeGeometryAndNumbering) {
    // Side by side: widths add up, the tallest height wins; the new image
    // gets the next number after the largest listed one (10).
    std::string body = PostForm("/VevIzer/image/mergeHorizontal",
                                Form("&indexs%5B%5D=0&indexs%5B%5D=1&indexs%5B%5D=7"));
    ASSERT_TRUE(IsJson(body)) << body.substr(0, 200);
    EXPECT_EQ(body.rfind("{\"code\":200, \"msg\":null, \"data\":{\"imageName\":\"11.jpg\", "
                         "\"src\":\"data:image/jpeg;base64,",
                         0),
              0u);
    EXPECT_EQ(JpegDataUrlSize(DataMember(body, "src")), (ImageSize{180, 70}));
    EXPECT_EQ(JpegFileSize(PidFolder(kPid) + "11.jpg"), (ImageSize{180, 70}));

    body = PostForm("/VevIzer/image/mergeHorizontal",
                    Form("&isHorizontal=false&indexs%5B%5D=0&indexs%5B%5D=1"));
    EXPECT_EQ(DataMember(body, "imageName"), "12.jpg");
    EXPECT_EQ(JpegFileSize(PidFolder(kPid) + "12.jpg"), (ImageSize{100, 120}));
    EXPECT_EQ(ReadList(kPid),
              (std::vector<std::string>{"1.jpg", "2.jpg", "10.png", "11.jpg", "12.jpg"}));

    // Only indexes out of range: nothing made, empty texts.
    body = PostForm("/VevIzer/image/mergeHorizontal", Form("&indexs%5B%5D=-1&indexs%5B%5D=9"));
    EXPECT_EQ(body, "{\"code\":200, \"msg\":null, \"data\":{\"imageName\":\"\", \"src\":\"\"}}");
    EXPECT_EQ(ReadList(kPid).size(), 5u);
}

TEST_F(ImageEndpoints, SplitGeometryKeepsTheSource) {
    std::string body = PostForm("/VevIzer/image/split",
                                Form("&imageName=1.jpg&isHorizontal=true&x1=30&x2=99&y1=5&y2=9"));
    ASSERT_TRUE(IsJson(body)) << body.substr(0, 200);
    EXPECT_EQ(DataMember(body, "oneName"), "11.jpg");
    EXPECT_EQ(DataMember(body, "twoName"), "12.jpg");
    EXPECT_EQ(JpegDataUrlSize(DataMember(body, "oneSrc")), (ImageSize{30, 50}));
    EXPECT_EQ(JpegFileSize(PidFolder(kPid) + "12.jpg"), (ImageSize{70, 50}));

    body = PostForm("/VevIzer/image/split", Form("&imageName=2.jpg&isHorizontal=false&y1=20"));
    EXPECT_EQ(JpegFileSize(PidFolder(kPid) + "13.jpg"), (ImageSize{80, 20}));
    EXPECT_EQ(JpegFileSize(PidFolder(kPid) + "14.jpg"), (ImageSize{80, 50}));

    // A cut at the edge files only the piece that is not empty.
    body = PostForm("/VevIzer/image/split", Form("&imageName=2.jpg&x1=0"));
    EXPECT_EQ(DataMember(body, "oneName"), "");
    EXPECT_EQ(DataMember(body, "twoName"), "15.jpg");
    EXPECT_EQ(JpegFileSize(PidFolder(kPid) + "15.jpg"), (ImageSize{80, 70}));
    EXPECT_EQ(ReadList(kPid), (std::vector<std::string>{"1.jpg", "2.jpg", "10.png", "11.jpg",
                                                        "12.jpg", "13.jpg", "14.jpg", "15.jpg"}));

    EXPECT_EQ(PostForm("/VevIzer/image/split", Form("&imageName=none.jpg&x1=3")),
              "{\"code\":200, \"msg\":null, \"data\":{\"oneSrc\":\"\", \"oneName\":\"\", "
              "\"twoSrc\":\"\", \"twoName\":\"\"}}");
}

TEST_F(ImageEndpoints, ExchangeAndBookSort) {
    EXPECT_EQ(PostForm("/VevIzer/image/exchangeImage", Form("&indexs%5B%5D=0&indexs%5B%5D=2")),
              kSuccess);
    EXPECT_EQ(ReadList(kPid), (std::vector<std::string>{"10.png", "2.jpg", "1.jpg"}));
    // An index missing or out of range changes nothing.
    PostForm("/VevIzer/image/exchangeImage", Form("&indexs%5B%5D=0"));
    PostForm("/VevIzer/image/exchangeImage", Form("&indexs%5B%5D=0&indexs%5B%5D=3"));
    EXPECT_EQ(ReadList(kPid), (std::vector<std::string>{"10.png", "2.jpg", "1.jpg"}));

    std::string body = PostForm("/VevIzer/image/bookSort", Form(""));
    std::vector<Listed> images = ListedImages(body);
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].name, "1.jpg");
    EXPECT_EQ(images[1].name, "2.jpg");
    EXPECT_EQ(images[2].name, "10.png");
    EXPECT_EQ(ReadList(kPid), (std::vector<std::string>{"1.jpg", "2.jpg", "10.png"}));
}

TEST_F(ImageEndpoints, PidsAndNamesThatLeaveTheFolderAreRefused) {
    std::string outside = service_.root().path() + "outside.txt";
    WriteFile(outside, "keep");
    // The documents folder is <root>/documents/, the pid folders
    // <root>/documents/scanbridge/<pid>/.
    for (std::string name : {"../../../outside.txt", "..", "a/b", "images.txt"}) {
        PostForm("/VevIzer/image/deleteImage", Form("&imageName=" + FormEscape(name)));
        PostForm("/VevIzer/image/saveImage",
                 Form("&imageName=" + FormEscape(name) + "&image=QUJD"));
    }
    for (std::string pid : {"../../..", "..", "../x", "", "a/../../.."}) {
        std::string form = "pid=" + FormEscape(pid);
        PostForm("/VevIzer/image/deleteAllImage", form);
        PostForm("/VevIzer/image/saveImage", form + "&imageName=outside.txt&image=QUJD");
        EXPECT_EQ(Get("/VevIzer/image/getImageByPid?pid=" + FormEscape(pid)),
                  "{\"code\":200, \"msg\":null, \"data\":[]}");
    }
    EXPECT_EQ(ReadFile(outside), "keep");
    EXPECT_FALSE(Exists(service_.documentsDir() + "outside.txt"));
    EXPECT_FALSE(Exists(service_.documentsDir() + "scanbridge/outside.txt"));
    EXPECT_EQ(ReadList(kPid), (std::vector<std::string>{"1.jpg", "2.jpg", "10.png"}));

    // A list that names files outside the folder is not followed.
    WriteList(kPid, {"../../../outside.txt", "1.jpg"});
    PostForm("/VevIzer/image/deleteAllImage", Form(""));
    EXPECT_EQ(ReadFile(outside), "keep");
    EXPECT_FALSE(Exists(PidFolder(kPid) + "1.jpg"));
}

}  // namespace
}  // namespace testing_support

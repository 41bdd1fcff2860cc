// Documents built from a pid's images (OFD, PDF, TIFF, ZIP as Base64 and as
// bytes), checked with independent readers.
#include <cjson/cJSON.h>

#include "support/temp_dir.h"
#include "ver_1/generation1_fixture.h"
#include "ver_1/readers.h"

namespace testing_support {
namespace {

constexpr char kEmptyData[] = "{\"code\":200, \"msg\":null, \"data\":\"\"}";

// The "data" text of a body, which must be valid JSON.
std::string DataText(const std::string& body) {
    cJSON* root = cJSON_Parse(body.c_str());
    EXPECT_NE(root, nullptr) << body.substr(0, 200);
    const cJSON* data = cJSON_GetObjectItemCaseSensitive(root, "data");
    std::string text = cJSON_IsString(data) ? data->valuestring : "<not a string>";
    cJSON_Delete(root);
    return text;
}

size_t CountPrefixed(const std::vector<std::string>& names, const std::string& prefix,
                     const std::string& suffix) {
    size_t count = 0;
    for (const std::string& name : names) {
        count += name.rfind(prefix, 0) == 0 && name.size() >= suffix.size() &&
                 name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    }
    return count;
}

class Documents : public Generation1Test {
  protected:
    void SetUp() override {
        MakeImage("p", "1.jpg", 120, 80);
        MakeImage("p", "2.png", 60, 90);
        WriteList("p", {"1.jpg", "missing.jpg", "2.png"});
        StartService({{"devices", ""}});
    }
    std::string FormData(const std::string& pid) {
        return "formDataString=" + FormEscape("{\"pid\":\"" + pid + "\",\"isAuto\":true}");
    }
};

TEST_F(Documents, Base64DocumentsHoldOnePagePerLoadableImage) {
    std::string pdf = DecodeBase64Text(DataText(PostForm("/VevIzer/majorPdf", FormData("p"))));
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
    EXPECT_EQ(PdfPageCount(pdf), 2);

    std::string tiff = DecodeBase64Text(DataText(PostForm("/VevIzer/majorTiff", "pid=p")));
    EXPECT_EQ(TiffPageCount(tiff), 2);

    std::vector<std::string> ofd =
        ZipEntries(DecodeBase64Text(DataText(PostForm("/VevIzer/majorOfd", FormData("p")))));
    EXPECT_EQ(CountPrefixed(ofd, "OFD.xml", ""), 1u);
    EXPECT_EQ(CountPrefixed(ofd, "Doc_0/Pages/Page_", "/Content.xml"), 2u);

    // A GET whose parameters come in a form body.
    std::string body = Exchange(
                           "GET /VevIzer/downLoadZip HTTP/1.1\r\nContent-Type: "
                           "application/x-www-form-urlencoded\r\nContent-Length: 5\r\n\r\npid=p")
                           .body;
    std::vector<std::string> zip = ZipEntries(DecodeBase64Text(DataText(body)));
    EXPECT_EQ(zip, (std::vector<std::string>{"1.jpg", "2.png"}));
}

TEST_F(Documents, ByteDocumentsCarryTheirContentType) {
    struct Case {
        const char* path;
        const char* contentType;
    };
    const Case cases[] = {
        {"/VevIzer/majorPdfFile", "application/pdf"},
        {"/VevIzer/majorTiffFile", "application/x-tif"},
        {"/VevIzer/majorOfdFile", "application/zip"},
        {"/VevIzer/downLoadZipFile", "application/zip"},
    };
    for (const Case& c : cases) {
        HttpResponse response =
            Exchange(std::string("GET ") + c.path + "?pid=p&isAuto=1 HTTP/1.1\r\nHost: x\r\n\r\n");
        EXPECT_NE(response.head.find(std::string("Content-Type: ") + c.contentType + "\r\n"),
                  std::string::npos)
            << response.head;
        EXPECT_GT(response.body.size(), 100u) << c.path;
    }
    HttpResponse pdf = Exchange("GET /VevIzer/majorPdfFile?pid=p HTTP/1.1\r\n\r\n");
    EXPECT_EQ(PdfPageCount(pdf.body), 2);
    HttpResponse zip = Exchange("GET /VevIzer/downLoadZipFile?pid=p HTTP/1.1\r\n\r\n");
    EXPECT_EQ(ZipEntries(zip.body), (std::vector<std::string>{"1.jpg", "2.png"}));
}

TEST_F(Documents, NothingToBuildGivesEmptyAnswersAndNoFiles) {
    WriteList("q", {"gone.jpg"});
    for (std::string pid : {"q", "none", "../p"}) {
        EXPECT_EQ(PostForm("/VevIzer/majorPdf", FormData(pid)), kEmptyData) << pid;
        EXPECT_EQ(PostForm("/VevIzer/majorTiff", "pid=" + FormEscape(pid)), kEmptyData);
        EXPECT_EQ(PostForm("/VevIzer/majorOfd", FormData(pid)), kEmptyData);
        HttpResponse bytes =
            Exchange("GET /VevIzer/downLoadZipFile?pid=" + FormEscape(pid) + " HTTP/1.1\r\n\r\n");
        EXPECT_EQ(
            bytes.head,
            "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nVary: Origin\r\n\r\n");
    }
    EXPECT_EQ(PostForm("/VevIzer/majorPdf", "formDataString=not-json"), kEmptyData);
    // The temporary folder holds no leftovers.
    std::string command = "find '" + service_.tmpDir() + "' -type f | wc -l";
    FILE* pipe = popen(command.c_str(), "r");
    char line[32] = {};
    ASSERT_NE(pipe, nullptr);
    fgets(line, sizeof line, pipe);
    pclose(pipe);
    EXPECT_EQ(std::string(line), "0\n");
}

}  // namespace
}  // namespace testing_support

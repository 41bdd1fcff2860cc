// Uploads of generation 1 against real local HTTP and FTP servers: a
// document on request and every scanned page while automatic upload is on.
#include <filesystem>
#include <thread>

#include "support/ftp_server.h"
#include "support/http_recorder.h"
#include "support/temp_dir.h"
#include "ver_1/generation1_fixture.h"
#include "ver_1/readers.h"

namespace testing_support {
namespace {

constexpr char kSuccess[] = "{\"code\":200, \"msg\":null, \"data\":\"success\"}";
constexpr char kFailed[] = "{\"code\":201, \"msg\":\"uploadImage failed\", \"data\":\"fail\"}";

const RecordedPart* FindPart(const RecordedRequest& request, const std::string& name) {
    for (const RecordedPart& part : request.parts) {
        if (part.name == name) return &part;
    }
    return nullptr;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (!std::filesystem::is_directory(folder)) return names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Uploads : public Generation1Test {
  protected:
    void FillScannerFolder() {
        MakeImage(kScanner, "1.jpg", 40, 30);
        MakeImage(kScanner, "2.jpg", 50, 30);
        WriteList(kScanner, {"1.jpg", "2.jpg"});
    }
    std::string UploadForm(const std::string& json) { return "formDataString=" + FormEscape(json); }
};

TEST_F(Uploads, DocumentOverHttpCarriesTheBuiltFile) {
    HttpRecorder recorder;
    ASSERT_TRUE(recorder.Start());
    FillScannerFolder();
    StartService();
    std::string request = "{\"uploadMode\":0,\"httpUrl\":\"" + recorder.Url("/up") +
                          "\",\"fileName\":\"doc.pdf\",\"format\":1}";
    EXPECT_EQ(PostForm("/VevIzer/uploadImage", UploadForm(request)), kSuccess);
    std::vector<RecordedRequest> requests = recorder.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/up");
    const RecordedPart* file = FindPart(requests[0], "filename");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(PdfPageCount(file->data), 2);
    ASSERT_NE(FindPart(requests[0], "remote_filename"), nullptr);
    EXPECT_EQ(FindPart(requests[0], "remote_filename")->data, "doc.pdf");

    // No transfer mode: the document is built and thrown away, failure.
    EXPECT_EQ(PostForm("/VevIzer/uploadImage", UploadForm("{\"uploadMode\":2}")), kFailed);
    // An unreachable server fails too.
    EXPECT_EQ(PostForm("/VevIzer/uploadImage",
                       UploadForm("{\"uploadMode\":0,\"httpUrl\":\"http://127.0.0.1:1/\"}")),
              kFailed);
    EXPECT_EQ(recorder.Requests().size(), 1u);
    EXPECT_TRUE(FilesIn(service_.tmpDir()).empty());
}

TEST_F(Uploads, DocumentOverFtpWithAndWithoutCredentials) {
    FtpTestServer ftp;
    ASSERT_TRUE(ftp.Start());
    FillScannerFolder();
    StartService();
    std::string port = std::to_string(ftp.port());
    std::string named = "{\"uploadMode\":1,\"ftpUrl\":\"127.0.0.1\",\"ftpPort\":\"" + port +
                        "\",\"ftpPath\":\"docs/in\",\"ftpUser\":\"" + FtpTestServer::kUser +
                        "\",\"ftpPassword\":\"" + FtpTestServer::kPassword + "\",\"format\":0}";
    EXPECT_EQ(PostForm("/VevIzer/uploadImage", UploadForm(named)), kSuccess) << ftp.Log();
    std::vector<std::string> stored = FilesIn(ftp.userRoot() + "docs/in/");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].substr(stored[0].size() - 4), ".ofd");
    std::vector<std::string> entries =
        ZipEntries(ReadFile(ftp.userRoot() + "docs/in/" + stored[0]));
    EXPECT_NE(std::find(entries.begin(), entries.end(), "OFD.xml"), entries.end());

    // A user without a password logs in anonymously.
    std::string anonymous = "{\"uploadMode\":1,\"ftpUrl\":\"127.0.0.1\",\"ftpPort\":" + port +
                            ",\"ftpPath\":\"/z\",\"ftpUser\":\"someone\",\"format\":2}";
    EXPECT_EQ(PostForm("/VevIzer/uploadImage", UploadForm(anonymous)), kSuccess) << ftp.Log();
    stored = FilesIn(ftp.anonymousRoot() + "z/");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(ZipEntries(ReadFile(ftp.anonymousRoot() + "z/" + stored[0])),
              (std::vector<std::string>{"1.jpg", "2.jpg"}));
}

TEST_F(Uploads, ScannedPagesAreUploadedOneByOne) {
    HttpRecorder recorder;
    ASSERT_TRUE(recorder.Start());
    FtpTestServer ftp;
    ASSERT_TRUE(ftp.Start());
    StartService();
    auto scanWith = [this](const std::string& upload) {
        PostForm("/VevIzer/setParams",
                 "params=" + FormEscape("{\"autofeeder\":true,\"pixel\":1,\"single\":true,"
                                        "\"resolution\":100,\"format\":\"jpg\",\"upload\":" +
                                        upload + "}"));
        WsClient client;
        ASSERT_TRUE(ConnectSocketIo(client));
        ASSERT_TRUE(client.Send("42[\"scan\",\"{}\"]"));
        std::vector<std::string> messages = ReceiveUntil(client, "42[\"result\"");
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), "42[\"result\", {\"code\":204, \"msg\":\"扫描完成\"}]");
    };

    scanWith("{\"uploadMode\":0,\"httpUrl\":\"" + recorder.Url("/page") +
             "\",\"fileName\":\"page.jpg\"}");
    std::vector<RecordedRequest> requests = recorder.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (size_t i = 0; i < requests.size(); ++i) {
        const RecordedPart* file = FindPart(requests[i], "filename");
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->data, ReadFile(PidFolder() + std::to_string(i + 1) + ".jpg"));
        EXPECT_EQ(FindPart(requests[i], "remote_filename")->data, "page.jpg");
    }

    scanWith("{\"uploadMode\":1,\"ftpUrl\":\"127.0.0.1\",\"ftpPort\":" +
             std::to_string(ftp.port()) + ",\"ftpPath\":\"pages\"}");
    EXPECT_EQ(FilesIn(ftp.anonymousRoot() + "pages/"), (std::vector<std::string>{"3.jpg", "4.jpg"}))
        << ftp.Log();
    EXPECT_EQ(ReadFile(ftp.anonymousRoot() + "pages/4.jpg"), ReadFile(PidFolder() + "4.jpg"));
    EXPECT_EQ(ReadList(), (std::vector<std::string>{"1.jpg", "2.jpg", "3.jpg", "4.jpg"}));
    EXPECT_EQ(recorder.Requests().size(), 2u);
}

}  // namespace
}  // namespace testing_support

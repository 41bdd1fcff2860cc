// The upload commands end to end against real HTTP and FTP servers on
// 127.0.0.1: the defaults, remote paths with missing folders, error statuses,
// refused modes and paths, closed ports, and the temporary copies that must
// be gone afterwards while the local file stays.
#include <chrono>
#include <filesystem>

#include "support/ftp_server.h"
#include "support/http_recorder.h"
#include "support/temp_dir.h"
#include "ver_2/batch_fixture.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;

class UploadCommands : public BatchTest {
  protected:
    // The service with one JPEG picture in the current batch.
    void StartWithImage() {
        Start();
        picture_ = MakePicture("page.jpg", 64, 48, 3);
        ASSERT_EQ(Ret("insert_local_image", "{\"image_path\":" + Quoted(picture_) + "}"), 0);
    }

    std::string HttpTo(const HttpRecorder& recorder) const {
        return "\"http_host\":\"127.0.0.1\",\"http_port\":" + std::to_string(recorder.port());
    }
    std::string FtpTo(const FtpTestServer& ftp) const {
        return "\"upload_mode\":\"ftp\",\"ftp_host\":\"127.0.0.1\",\"ftp_port\":" +
               std::to_string(ftp.port());
    }

    static const RecordedPart* Part(const RecordedRequest& request, const std::string& name) {
        for (const RecordedPart& part : request.parts) {
            if (part.name == name) return &part;
        }
        return nullptr;
    }

    std::string picture_;
};

TEST_F(UploadCommands, ABatchImageIsPostedWithTheDefaults) {
    HttpRecorder recorder;
    ASSERT_TRUE(recorder.Start());
    StartWithImage();
    Json reply = Command("upload_image", "{\"iden\":\"u\"," + HttpTo(recorder) + "}");
    EXPECT_EQ(JsonKeys(reply), (std::vector<std::string>{"func", "iden", "ret"}));
    EXPECT_EQ(JsonNumber(reply, "ret"), 0);

    std::vector<RecordedRequest> requests = recorder.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/upload.cgi");
    ASSERT_EQ(requests[0].parts.size(), 3u) << requests[0].error;
    EXPECT_EQ(requests[0].parts[0].name, "filename");
    EXPECT_EQ(requests[0].parts[1].name, "remote_filename");
    EXPECT_EQ(requests[0].parts[2].name, "submit");
    EXPECT_EQ(requests[0].parts[2].data, "Submit");
    const RecordedPart& file = requests[0].parts[0];
    EXPECT_EQ(file.data, ReadFile(picture_));
    ASSERT_TRUE(file.fileName.has_value());
    // The temporary copy's name, with the picture's format as extension.
    EXPECT_EQ(requests[0].parts[1].data, "/" + *file.fileName);
    EXPECT_EQ(fs::path(*file.fileName).extension(), ".jpg");
    EXPECT_TRUE(FilesIn(TmpFolder()).empty());
    EXPECT_TRUE(StoredSavedFiles().empty());
}

// The server got the file but did not take it: the page hears so.
TEST_F(UploadCommands, AnErrorStatusIsAFailure) {
    HttpRecorder recorder(HttpRecorder::Options{500, false});
    ASSERT_TRUE(recorder.Start());
    StartWithImage();
    EXPECT_EQ(Ret("upload_image", "{" + HttpTo(recorder) +
                                      ",\"http_path\":\"/in/here?x=1\","
                                      "\"remote_file_path\":\"/名字 with space.jpg\"}"),
              -1);
    std::vector<RecordedRequest> requests = recorder.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/in/here?x=1");
    ASSERT_NE(Part(requests[0], "remote_filename"), nullptr);
    EXPECT_EQ(Part(requests[0], "remote_filename")->data, "/名字 with space.jpg");
    EXPECT_TRUE(FilesIn(TmpFolder()).empty());
}

TEST_F(UploadCommands, RefusedUploadsStillRemoveTheTemporaryCopy) {
    HttpRecorder recorder;
    ASSERT_TRUE(recorder.Start());
    StartWithImage();
    std::string png = Base64Encode(ReadFile(MakePicture("p.png", 6, 6)));
    const std::pair<const char*, std::string> refused[] = {
        {"upload_image", "{" + HttpTo(recorder) + ",\"upload_mode\":\"HTTP\"}"},
        {"upload_image", "{" + HttpTo(recorder) + ",\"upload_mode\":\"\"}"},
        {"upload_image", "{" + HttpTo(recorder) + ",\"remote_file_path\":\"\"}"},
        {"upload_image", "{" + HttpTo(recorder) + ",\"image_index\":1}"},
        {"upload_image_base64", "{" + HttpTo(recorder) + ",\"image_base64\":\"" + png + "\"}"},
        {"upload_image_base64", "{" + HttpTo(recorder) + ",\"upload_mode\":\"sftp\"," +
                                    "\"image_base64\":\"data:image/png;base64," + png + "\"}"},
        {"upload_local_file", "{" + HttpTo(recorder) + "}"},
        {"upload_local_file",
         "{" + HttpTo(recorder) + ",\"file_path\":" + Quoted(InputFolder() + "missing.jpg") + "}"},
        // A port given as text is not given: the default 80, where the
        // recorder is not.
        {"upload_image",
         "{\"http_host\":\"127.0.0.1\",\"http_port\":\"" + std::to_string(recorder.port()) + "\"}"},
    };
    for (const auto& [func, members] : refused) {
        Json reply = Command(func, members);
        EXPECT_EQ(JsonNumber(reply, "ret"), -1) << func << " " << members.substr(0, 100);
        EXPECT_EQ(JsonString(reply, "err_info"), "错误");
        EXPECT_TRUE(FilesIn(TmpFolder()).empty()) << func;
    }
    EXPECT_TRUE(recorder.Requests().empty());
    EXPECT_EQ(JsonNumber(Command("get_image_count"), "image_count"), 1);
}

TEST_F(UploadCommands, AClosedPortFailsWithinTheConnectTimeOut) {
    StartWithImage();
    int closed = FreePort();
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(Ret("upload_image",
                  "{\"http_host\":\"127.0.0.1\",\"http_port\":" + std::to_string(closed) + "}"),
              -1);
    EXPECT_EQ(Ret("upload_local_file", "{\"file_path\":" + Quoted(picture_) + "," +
                                           "\"upload_mode\":\"ftp\",\"ftp_host\":\"127.0.0.1\","
                                           "\"ftp_port\":" +
                                           std::to_string(closed) + "}"),
              -1);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(4));
    EXPECT_TRUE(FilesIn(TmpFolder()).empty());
    EXPECT_TRUE(fs::exists(picture_));
}

TEST_F(UploadCommands, ALocalFileGoesByFtpAndStays) {
    FtpTestServer ftp;
    ASSERT_TRUE(ftp.Start());
    StartWithImage();
    std::string bytes = ReadFile(picture_);
    EXPECT_EQ(
        Ret("upload_local_file", "{\"file_path\":" + Quoted(picture_) + "," + FtpTo(ftp) + "}"), 0)
        << ftp.Log();
    EXPECT_EQ(ReadFile(ftp.anonymousRoot() + "page.jpg"), bytes);
    EXPECT_EQ(ReadFile(picture_), bytes);

    // Missing folders of the remote path are made; a named login.
    EXPECT_EQ(Ret("upload_local_file", "{\"file_path\":" + Quoted(picture_) + "," + FtpTo(ftp) +
                                           ",\"remote_file_path\":\"/a/b/c.jpg\",\"ftp_user\":" +
                                           Quoted(FtpTestServer::kUser) + ",\"ftp_password\":" +
                                           Quoted(FtpTestServer::kPassword) + "}"),
              0)
        << ftp.Log();
    EXPECT_EQ(ReadFile(ftp.userRoot() + "a/b/c.jpg"), bytes);
    // A user without a password logs in anonymously.
    EXPECT_EQ(Ret("upload_local_file", "{\"file_path\":" + Quoted(picture_) + "," + FtpTo(ftp) +
                                           ",\"remote_file_path\":\"/x/y.jpg\","
                                           "\"ftp_user\":\"someone\"}"),
              0);
    EXPECT_EQ(ReadFile(ftp.anonymousRoot() + "x/y.jpg"), bytes);
    EXPECT_EQ(ReadFile(picture_), bytes);
}

TEST_F(UploadCommands, ADataUrlIsSentAsAFileOfItsFormatAndRemoved) {
    FtpTestServer ftp;
    ASSERT_TRUE(ftp.Start());
    StartWithImage();
    std::string png = ReadFile(MakePicture("p.png", 6, 6));
    EXPECT_EQ(Ret("upload_image_base64", "{\"image_base64\":\"data:image/png;base64," +
                                             Base64Encode(png) + "\"," + FtpTo(ftp) + "}"),
              0);
    std::vector<std::string> stored = FilesIn(ftp.anonymousRoot());
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(fs::path(stored[0]).extension(), ".png");
    EXPECT_EQ(ReadFile(stored[0]), png);
    EXPECT_TRUE(FilesIn(TmpFolder()).empty());
    EXPECT_TRUE(StoredSavedFiles().empty());
}

}  // namespace
}  // namespace testing_support

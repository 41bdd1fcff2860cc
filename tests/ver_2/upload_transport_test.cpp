// The second generation's uploads against real HTTP and FTP servers on
// 127.0.0.1.
#include "ver_2/upload_transport.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/ftp_server.h"
#include "support/http_recorder.h"
#include "support/upload_test_util.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using testing_support::FtpTestServer;
using testing_support::HttpRecorder;
using testing_support::ReadFile;
using upload_test::ProgressLines;
using upload_test::SecondsTaken;

// A port on 127.0.0.1 that nothing listens on.
int ClosedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// A listener whose accept queue is full, so that further connection attempts
// get no answer at all, as with a host that drops them.
class UnansweredPort {
  public:
    UnansweredPort() {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(listener_, 0) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "cannot listen";
        }
        port_ = ntohs(address.sin_port);
        for (int& filler : fillers_) {
            filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~UnansweredPort() {
        for (int filler : fillers_)
            close(filler);
        close(listener_);
    }
    int port() const { return port_; }

  private:
    int listener_ = -1;
    int fillers_[2] = {-1, -1};
    int port_ = 0;
};

class UploadFileTest : public upload_test::UploadTest {
  protected:
    int Http(HttpRecorder& server, const std::string& path, const std::string& remote,
             const TransferLimits& limits = {}) {
        return ver_2::UploadFile(localPath_, remote, "http", "127.0.0.1", server.port(), path, "",
                                 "", "", 0, error_, limits);
    }
    int Ftp(const FtpTestServer& server, const std::string& user, const std::string& password,
            const std::string& remote) {
        return ver_2::UploadFile(localPath_, remote, "ftp", "", 0, "", user, password, "127.0.0.1",
                                 server.port(), error_);
    }

    ver_2::ErrorInfo error_;
};

TEST_F(UploadFileTest, HttpPostsTheThreePartsInOrderToHostPortAndPath) {
    HttpRecorder server;
    ASSERT_TRUE(server.Start());
    upload_test::FileSnapshot before(localPath_);

    testing::internal::CaptureStdout();
    ASSERT_EQ(Http(server, "/up", "/remote dir/page 1.jpg"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the answer is not printed";
    EXPECT_EQ(error_.detail, "");

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/up");
    EXPECT_EQ(request.host, "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(request.error, "");
    ASSERT_EQ(request.parts.size(), 3u);
    EXPECT_EQ(request.parts[0].name, "filename");
    EXPECT_EQ(request.parts[0].fileName, "scan page 1.jpg");
    EXPECT_EQ(request.parts[0].contentType, "image/jpeg");
    EXPECT_TRUE(request.parts[0].data == localBytes_) << "file bytes differ";
    EXPECT_EQ(request.parts[1].name, "remote_filename");
    EXPECT_EQ(request.parts[1].fileName, std::nullopt);
    EXPECT_EQ(request.parts[1].data, "/remote dir/page 1.jpg");
    EXPECT_EQ(request.parts[2].name, "submit");
    EXPECT_EQ(request.parts[2].data, "Submit");
    EXPECT_TRUE(before.Unchanged());
}

// The server answered, but did not take the file: the page must not think
// it was stored.
TEST_F(UploadFileTest, HttpErrorStatusFailsWithTheStatus) {
    for (int status : {404, 500}) {
        HttpRecorder server(HttpRecorder::Options{.status = status});
        ASSERT_TRUE(server.Start());
        EXPECT_EQ(Http(server, "/missing.cgi", "/a.jpg"), -1) << status;
        EXPECT_EQ(error_.detail,
                  "upload failed: the server answered HTTP " + std::to_string(status));
        EXPECT_EQ(server.Requests().size(), 1u);
    }
}

TEST_F(UploadFileTest, RefusedInputFailsWithoutContactingAnyServer) {
    HttpRecorder server;
    ASSERT_TRUE(server.Start());
    upload_test::FileSnapshot before(localPath_);
    const int port = server.port();
    const struct {
        const char* what;
        std::string local;
        std::string remote;
        std::string mode;
        std::string host;
        std::string path;
        std::string detail;
    } cases[] = {
        {"capital mode", localPath_, "/a.jpg", "HTTP", "127.0.0.1", "/up",
         "upload_mode \"HTTP\" is not one of http, ftp"},
        {"capital ftp", localPath_, "/a.jpg", "FTP", "127.0.0.1", "/up",
         "upload_mode \"FTP\" is not one of http, ftp"},
        {"empty mode", localPath_, "/a.jpg", "", "127.0.0.1", "/up",
         "upload_mode \"\" is not one of http, ftp"},
        {"padded mode", localPath_, "/a.jpg", "http ", "127.0.0.1", "/up",
         "upload_mode \"http \" is not one of http, ftp"},
        {"empty local path", "", "/a.jpg", "http", "127.0.0.1", "/up", "no local file to upload"},
        {"empty remote path", localPath_, "", "http", "127.0.0.1", "/up",
         "remote_file_path is empty"},
        {"missing file", dir_.File("missing.jpg"), "/a.jpg", "http", "127.0.0.1", "/up",
         "file not found: " + dir_.File("missing.jpg")},
        {"folder", dir_.path(), "/a.jpg", "http", "127.0.0.1", "/up",
         "not a regular file: " + dir_.path()},
        {"missing file ftp", dir_.File("missing.jpg"), "/a.jpg", "ftp", "127.0.0.1", "/up",
         "file not found: " + dir_.File("missing.jpg")},
        {"host with path", localPath_, "/a.jpg", "http", "127.0.0.1/x", "/up",
         "cannot form the upload URL: host contains a character that cannot appear in a host "
         "name"},
        {"host with user", localPath_, "/a.jpg", "http", "x@127.0.0.1", "/up",
         "cannot form the upload URL: host contains a character that cannot appear in a host "
         "name"},
        {"path with space", localPath_, "/a.jpg", "http", "127.0.0.1", "/u p",
         "cannot form the upload URL: HTTP path contains a control character or space"},
        {"path without slash", localPath_, "/a.jpg", "http", "127.0.0.1", "up",
         "cannot form the upload URL: HTTP path does not start with \"/\""},
        {"ftp path without slash", localPath_, "a.jpg", "ftp", "127.0.0.1", "/up",
         "cannot form the upload URL: FTP path must start with \"/\" and end with a file name"},
    };
    for (const auto& c : cases) {
        error_ = {};
        EXPECT_EQ(ver_2::UploadFile(c.local, c.remote, c.mode, c.host, port, c.path, "", "", c.host,
                                    port, error_),
                  -1)
            << c.what;
        EXPECT_EQ(error_.text, "错误") << c.what;
        EXPECT_EQ(error_.detail, c.detail) << c.what;
    }
    EXPECT_EQ(server.ConnectionCount(), 0);
    EXPECT_TRUE(before.Unchanged());
}

TEST_F(UploadFileTest, ClosedPortFailsAtOnceAndNamesTheCause) {
    int port = ClosedPort();
    CaptureStderr();
    double seconds = SecondsTaken([&] {
        EXPECT_EQ(ver_2::UploadFile(localPath_, "/a.jpg", "http", "127.0.0.1", port, "/up", "", "",
                                    "", 0, error_),
                  -1);
    });
    std::string log = GetCapturedStderr();
    EXPECT_EQ(error_.text, "错误");
    EXPECT_EQ(error_.detail.rfind("upload failed: ", 0), 0u) << error_.detail;
    EXPECT_NE(error_.detail.find("port " + std::to_string(port)), std::string::npos)
        << error_.detail;
    EXPECT_LT(seconds, 10.0);
    EXPECT_NE(log.find("curl_easy_perform() failed: Couldn't connect to server"), std::string::npos)
        << log;
}

TEST_F(UploadFileTest, UnansweredConnectGivesUpAfterTheConnectTimeout) {
    UnansweredPort port;
    for (const char* mode : {"http", "ftp"}) {
        CaptureStderr();
        double seconds = SecondsTaken([&] {
            EXPECT_EQ(ver_2::UploadFile(localPath_, "/a.jpg", mode, "127.0.0.1", port.port(), "/up",
                                        "", "", "127.0.0.1", port.port(), error_),
                      -1);
        });
        std::string log = GetCapturedStderr();
        EXPECT_GE(seconds, 1.5) << mode;
        EXPECT_LT(seconds, 10.0) << mode;
        EXPECT_NE(log.find("curl_easy_perform() failed: Timeout was reached"), std::string::npos)
            << log;
    }
}

TEST_F(UploadFileTest, StalledServerIsGivenUpAtTheTransferLimit) {
    HttpRecorder server(HttpRecorder::Options{.stall = true});
    ASSERT_TRUE(server.Start());
    CaptureStderr();
    double seconds = SecondsTaken([&] {
        EXPECT_EQ(Http(server, "/up", "/a.jpg", TransferLimits{2, 1500}), -1);
    });
    std::string log = GetCapturedStderr();
    EXPECT_EQ(server.StalledCount(), 1);
    EXPECT_GE(seconds, 1.4);
    EXPECT_LT(seconds, 10.0);
    EXPECT_NE(log.find("curl_easy_perform() failed: Timeout was reached"), std::string::npos)
        << log;
}

TEST_F(UploadFileTest, ProgressIsLoggedUpToTheTotal) {
    localBytes_ = upload_test::SampleBytes(3 * 1000 * 1000);
    testing_support::WriteFile(localPath_, localBytes_);
    HttpRecorder httpServer;
    FtpTestServer ftpServer;
    ASSERT_TRUE(httpServer.Start());
    ASSERT_TRUE(ftpServer.Start());

    for (const char* mode : {"http", "ftp"}) {
        CaptureStderr();
        int result = mode == std::string("http") ? Http(httpServer, "/up", "/big.bin")
                                                 : Ftp(ftpServer, "", "", "/big.bin");
        std::string log = GetCapturedStderr();
        ASSERT_EQ(result, 0) << mode << "\n" << log;

        auto lines = ProgressLines(log);
        ASSERT_GE(lines.size(), 2u) << mode;
        for (size_t i = 1; i < lines.size(); ++i) {
            EXPECT_GE(lines[i].now, lines[i - 1].now) << mode << " line " << i;
        }
        EXPECT_EQ(lines.back().now, lines.back().total) << mode;
        EXPECT_GE(lines.back().total, static_cast<long long>(localBytes_.size())) << mode;
        EXPECT_NE(log.find(" info ulnow="), std::string::npos) << "logged at level info";
    }
    EXPECT_TRUE(ReadFile(ftpServer.anonymousRoot() + "big.bin") == localBytes_);
    ASSERT_EQ(httpServer.Requests().size(), 1u);
    EXPECT_TRUE(httpServer.Requests()[0].parts.at(0).data == localBytes_);
}

TEST_F(UploadFileTest, FtpLogsInAnonymouslyUnlessUserAndPasswordAreBothGiven) {
    FtpTestServer server;
    ASSERT_TRUE(server.Start());
    upload_test::FileSnapshot before(localPath_);
    const struct {
        const char* user;
        const char* password;
        const char* remote;
    } cases[] = {
        {"", "", "/none.jpg"},
        {FtpTestServer::kUser, "", "/user-only.jpg"},
        {"", FtpTestServer::kPassword, "/password-only.jpg"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Ftp(server, c.user, c.password, c.remote), 0) << c.remote << server.Log();
        EXPECT_EQ(error_.detail, "");
        EXPECT_TRUE(ReadFile(server.anonymousRoot() + c.remote) == localBytes_) << c.remote;
    }
    EXPECT_TRUE(before.Unchanged());
}

TEST_F(UploadFileTest, FtpPasswordWithUrlCharactersLogsInAndCreatesMissingFolders) {
    FtpTestServer server;
    ASSERT_TRUE(server.Start());

    ASSERT_EQ(Ftp(server, FtpTestServer::kUser, FtpTestServer::kPassword, "/a/b/c.jpg"), 0)
        << server.Log();
    EXPECT_TRUE(ReadFile(server.userRoot() + "a/b/c.jpg") == localBytes_);
    EXPECT_FALSE(testing_support::Exists(server.anonymousRoot() + "a"));

    std::string oddName = "/my scans/#1 100%;type=a.pdf";
    ASSERT_EQ(Ftp(server, FtpTestServer::kUser, FtpTestServer::kPassword, oddName), 0)
        << server.Log();
    EXPECT_TRUE(ReadFile(server.userRoot() + oddName) == localBytes_);
}

TEST_F(UploadFileTest, FtpWrongPasswordFails) {
    FtpTestServer server;
    ASSERT_TRUE(server.Start());
    CaptureStderr();
    EXPECT_EQ(Ftp(server, FtpTestServer::kUser, "wrong", "/a.jpg"), -1);
    std::string log = GetCapturedStderr();
    EXPECT_EQ(error_.text, "错误");
    // libcurl's message quotes the server's refusal.
    EXPECT_EQ(error_.detail.rfind("upload failed: Access denied: 530", 0), 0u) << error_.detail;
    EXPECT_NE(log.find("curl_easy_perform() failed: Login denied"), std::string::npos) << log;
    EXPECT_FALSE(testing_support::Exists(server.userRoot() + "a.jpg"));
}

TEST_F(UploadFileTest, FtpUploadIsTheSameThroughFtpUpload) {
    FtpTestServer server;
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(ver_2::FtpUpload(FtpTestServer::kUser, FtpTestServer::kPassword, "127.0.0.1",
                               server.port(), localPath_, "/direct/x.jpg"),
              0);
    EXPECT_TRUE(ReadFile(server.userRoot() + "direct/x.jpg") == localBytes_);
    EXPECT_EQ(ver_2::FtpUpload("", "", "127.0.0.1", server.port(), dir_.File("missing"), "/y"), -1);
}

}  // namespace

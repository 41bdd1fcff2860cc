// The first generation's transfer routines against real HTTP and FTP servers
// on 127.0.0.1.
#include "ver_1/upload_transfer.h"

#include <gtest/gtest.h>

#include "support/ftp_server.h"
#include "support/http_recorder.h"
#include "support/upload_test_util.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using testing_support::FtpTestServer;
using testing_support::HttpRecorder;
using testing_support::ReadFile;

using HttpUploadFileTest = upload_test::UploadTest;
using FtpUploadFileTest = upload_test::UploadTest;

TEST_F(HttpUploadFileTest, PostsTheThreePartsToTheGivenUrl) {
    HttpRecorder server;
    ASSERT_TRUE(server.Start());
    upload_test::FileSnapshot before(localPath_);

    CaptureStderr();
    ASSERT_TRUE(ver_1::HttpUploadFile(localPath_, server.Url("/receive/doc?batch=7"), "doc.pdf"));
    std::string log = GetCapturedStderr();

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/receive/doc?batch=7");
    ASSERT_EQ(requests[0].parts.size(), 3u);
    EXPECT_EQ(requests[0].parts[0].name, "filename");
    EXPECT_EQ(requests[0].parts[0].fileName, "scan page 1.jpg");
    EXPECT_TRUE(requests[0].parts[0].data == localBytes_);
    EXPECT_EQ(requests[0].parts[1].name, "remote_filename");
    EXPECT_EQ(requests[0].parts[1].data, "doc.pdf");
    EXPECT_EQ(requests[0].parts[2].name, "submit");
    EXPECT_EQ(requests[0].parts[2].data, "Submit");
    EXPECT_TRUE(upload_test::ProgressLines(log).empty()) << "no progress in this generation";
    EXPECT_TRUE(before.Unchanged());
}

TEST_F(HttpUploadFileTest, ErrorStatusCountsAsSuccess) {
    HttpRecorder server(HttpRecorder::Options{.status = 500});
    ASSERT_TRUE(server.Start());
    EXPECT_TRUE(ver_1::HttpUploadFile(localPath_, server.Url("/up"), "a.jpg"));
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(HttpUploadFileTest, OtherSchemesAndMalformedUrlsAreRefused) {
    HttpRecorder server;
    ASSERT_TRUE(server.Start());
    std::string authority = "127.0.0.1:" + std::to_string(server.port());
    for (const std::string& url : {"ftp://" + authority + "/a.jpg", "file://" + localPath_,
                                   "http://" + authority + "/a b", std::string()}) {
        EXPECT_FALSE(ver_1::HttpUploadFile(localPath_, url, "a.jpg")) << url;
    }
    EXPECT_FALSE(ver_1::HttpUploadFile(dir_.File("missing.jpg"), server.Url("/up"), "a.jpg"));
    EXPECT_EQ(server.ConnectionCount(), 0);
}

TEST_F(FtpUploadFileTest, StoresTheFileUnderItsOwnNameInTheDirectory) {
    FtpTestServer server;
    ASSERT_TRUE(server.Start());
    upload_test::FileSnapshot before(localPath_);

    ASSERT_TRUE(ver_1::FtpUploadFile(localPath_, "127.0.0.1", server.port(), "/docs/2024",
                                     FtpTestServer::kUser, FtpTestServer::kPassword))
        << server.Log();
    EXPECT_TRUE(ReadFile(server.userRoot() + "docs/2024/scan page 1.jpg") == localBytes_);

    ASSERT_TRUE(
        ver_1::FtpUploadFile(localPath_, "127.0.0.1", server.port(), "", FtpTestServer::kUser, ""))
        << server.Log();
    EXPECT_TRUE(ReadFile(server.anonymousRoot() + "scan page 1.jpg") == localBytes_);
    EXPECT_TRUE(before.Unchanged());
}

TEST_F(FtpUploadFileTest, FailsForUnusableInput) {
    FtpTestServer server;
    ASSERT_TRUE(server.Start());
    EXPECT_FALSE(
        ver_1::FtpUploadFile(dir_.File("missing.jpg"), "127.0.0.1", server.port(), "", "", ""));
    EXPECT_FALSE(ver_1::FtpUploadFile(localPath_, "127.0.0.1", server.port(), "docs", "", ""));
    EXPECT_FALSE(ver_1::FtpUploadFile(localPath_, "", server.port(), "", "", ""));
    EXPECT_FALSE(ver_1::FtpUploadFile(localPath_, "127.0.0.1", server.port(), "",
                                      FtpTestServer::kUser, "wrong"));
}

}  // namespace

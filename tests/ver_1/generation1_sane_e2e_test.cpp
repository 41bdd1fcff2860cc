// Generation 1 with a real SANE scanner: SANE's test backend through the
// SANE driver, scanned over Socket.IO like the virtual scanner.
#include "support/sane_test_backend.h"
#include "support/temp_dir.h"
#include "ver_1/generation1_fixture.h"
#include "ver_1/readers.h"

namespace testing_support {
namespace {

constexpr char kTester[] = "Noname frontend-tester";

using SaneScanning = Generation1Test;

TEST_F(SaneScanning, TheTestScannerScansItsFeederIntoThePidFolder) {
    environment_ = SaneTestBackend(service_.root());
    StartService();
    PostForm("/VevIzer/setParams",
             "params=" + FormEscape("{\"autofeeder\":true,\"pixel\":2,\"single\":true,"
                                    "\"resolution\":100,\"format\":\"jpg\"}"));
    WsClient client;
    ASSERT_TRUE(ConnectSocketIo(client));
    ASSERT_TRUE(
        client.Send("42[\"scan\",\"{\\\"imageName\\\":\\\"\\\",\\\"isInsert\\\":false}\"]"));
    std::vector<std::string> messages = ReceiveUntil(client, "42[\"result\"");
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "42[\"result\", {\"code\":204, \"msg\":\"扫描完成\"}]");
    // The test backend's feeder holds ten sheets; the whole area at 100 dpi.
    std::vector<std::string> expected;
    for (int page = 1; page <= 10; ++page)
        expected.push_back(std::to_string(page) + ".jpg");
    EXPECT_EQ(ReadList(kTester), expected);
    EXPECT_EQ(JpegFileSize(PidFolder(kTester) + "10.jpg"), (ImageSize{787, 787}));
}

}  // namespace
}  // namespace testing_support

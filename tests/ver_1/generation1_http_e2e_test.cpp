// The REST server as a client sees it on the wire: persistent connections,
// pipelined requests, header letter case, requests that get no answer, the
// size limits, and the scanner and parameter endpoints.
#include <sys/resource.h>

#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "platform/base/kx_socket.h"
#include "support/temp_dir.h"
#include "ver_1/generation1_fixture.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;

constexpr char kDevicesRequest[] = "GET /VevIzer/getDevices HTTP/1.1\r\nHost: x\r\n\r\n";
constexpr char kDevicesBody[] = "{\"code\":200, \"msg\":null, \"data\":[\"Virtual Scanner\"]}";

std::string TextBody(const std::string& text) {
    return "{\"code\":200, \"msg\":null, \"data\":\"" + text + "\"}";
}

class RestWire : public Generation1Test {};

TEST_F(RestWire, PersistentConnectionPipelinedRequestsAndHeaderCase) {
    StartService();
    RawClient client;
    ASSERT_TRUE(client.Connect(kRestPort));
    // Two requests in one packet, the second with a lower-case content-length
    // and a body, answered in order on the same connection.
    std::string form = "pid=abc";
    client.Send(std::string(kDevicesRequest) +
                "GET /VevIzer/getSerialNumber?pid=s%2F1 HTTP/1.1\r\ncontent-length: 3\r\n\r\nxyz");
    HttpResponse first = ReadResponse(client);
    HttpResponse second = ReadResponse(client);
    EXPECT_EQ(first.body, kDevicesBody);
    EXPECT_EQ(first.head,
              "HTTP/1.1 200 OK\r\nContent-Length: 52\r\nContent-Type: application/json\r\n"
              "Vary: Origin\r\n\r\n");
    EXPECT_EQ(second.body, TextBody("s/1"));

    // No answer for an unknown path, a wrong method or a form endpoint
    // without the form type; the connection stays usable.
    client.Send("GET /VevIzer/setParams HTTP/1.1\r\n\r\n");
    client.Send("POST /VevIzer/nothing HTTP/1.1\r\n\r\n");
    client.Send(
        "POST /VevIzer/image/deleteAllImage HTTP/1.1\r\nContent-Type: text/plain\r\n"
        "Content-Length: 7\r\n\r\npid=abc");
    client.Send("POST /VevIzer/getVersionInfo HTTP/1.0\r\n\r\n");
    EXPECT_EQ(client.ReadExactly(1, std::chrono::milliseconds(500)), "");
    client.Send(kDevicesRequest);
    EXPECT_EQ(ReadResponse(client).body, kDevicesBody);

    // The reset endpoint answers whatever the content type; a charset after
    // the form type is accepted.
    client.Send("POST /VevIzer/image/resetPatchIndex HTTP/1.1\r\n\r\n");
    EXPECT_EQ(ReadResponse(client).body, TextBody("success"));
    client.Send(
        "POST /VevIzer/getVersionInfo HTTP/1.1\r\nCONTENT-TYPE: "
        "application/x-www-form-urlencoded; charset=UTF-8\r\nContent-Length: " +
        std::to_string(form.size()) + "\r\n\r\n" + form);
    EXPECT_EQ(ReadResponse(client).body, TextBody("Virtual Scanner"));
}

TEST_F(RestWire, MalformedInputNeverCrashesAndLimitsEndTheConnection) {
    StartService();
    RawClient client;
    ASSERT_TRUE(client.Connect(kRestPort));
    // A malformed escape empties the text it is in.
    client.Send("GET /VevIzer/getSerialNumber?pid=ab%4 HTTP/1.1\r\n\r\n");
    EXPECT_EQ(ReadResponse(client).body, TextBody(""));
    client.Send("GET /VevIzer/getSerialNumber?pid=a%00b HTTP/1.1\r\n\r\n");
    EXPECT_EQ(ReadResponse(client).body, TextBody(""));
    // A negative or non-numeric length means no body; the bytes that follow
    // start the next request.
    client.Send("POST /VevIzer/image/resetPatchIndex HTTP/1.1\r\nContent-Length: -5\r\n\r\n" +
                std::string(kDevicesRequest));
    EXPECT_EQ(ReadResponse(client).body, TextBody("success"));
    EXPECT_EQ(ReadResponse(client).body, kDevicesBody);
    // Texts that need escaping stay valid JSON.
    client.Send("GET /VevIzer/getSerialNumber?pid=%22%5C%0A%01 HTTP/1.1\r\n\r\n");
    std::string escaped = ReadResponse(client).body;
    EXPECT_EQ(escaped, TextBody("\\\"\\\\\\n\\u0001"));
    EXPECT_TRUE(IsJson(escaped));
    client.Send("GET /VevIzer/getSerialNumber?pid=%FF%E6%89%AB HTTP/1.1\r\n\r\n");
    EXPECT_EQ(ReadResponse(client).body, TextBody("\\ufffd扫"));

    // A body beyond the limit ends the connection at once.
    client.Send(
        "POST /VevIzer/setParams HTTP/1.1\r\nContent-Type: "
        "application/x-www-form-urlencoded\r\nContent-Length: 300000000\r\n\r\nparams=");
    EXPECT_TRUE(client.WaitClosed());

    // A body shorter than announced keeps the request waiting; the service
    // still serves others.
    RawClient partial;
    ASSERT_TRUE(partial.Connect(kRestPort));
    partial.Send("POST /VevIzer/image/resetPatchIndex HTTP/1.1\r\nContent-Length: 10\r\n\r\nab");
    EXPECT_EQ(partial.ReadExactly(1, std::chrono::milliseconds(300)), "");
    EXPECT_EQ(Get("/VevIzer/getDevices"), kDevicesBody);
    partial.Send("cdefghij");
    EXPECT_EQ(ReadResponse(partial).body, TextBody("success"));
}

// Running out of descriptors while connections pile up only pauses
// accepting: once they close, the port serves again. Connections stop short
// of the last descriptors, which stay free for the service's own work; the
// sanitizer build needs them too (its type check makes a pipe), so the
// outcome does not depend on how the threads happen to run.
TEST_F(RestWire, RunningOutOfDescriptorsDoesNotEndTheServer) {
    StartService();
    size_t open =
        std::distance(fs::directory_iterator("/proc/" + std::to_string(service_.pid()) + "/fd"),
                      fs::directory_iterator());
    // Room for two connections besides the reserve.
    rlim_t allowed = open + KX_RESERVED_DESCRIPTORS + 2;
    rlimit limit{allowed, allowed};
    ASSERT_EQ(prlimit(service_.pid(), RLIMIT_NOFILE, &limit, nullptr), 0);
    {
        std::vector<std::unique_ptr<RawClient>> crowd;
        for (int i = 0; i < 6; ++i) {
            crowd.push_back(std::make_unique<RawClient>());
            ASSERT_TRUE(crowd.back()->Connect(kRestPort));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    // The crowd's connections end one by one; within a few seconds a new
    // request is answered.
    std::string body;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (body.empty() && std::chrono::steady_clock::now() < deadline) {
        RawClient client;
        ASSERT_TRUE(client.Connect(kRestPort));
        client.Send("GET /VevIzer/getSerialNumber?pid=after HTTP/1.1\r\n\r\n");
        body = ReadResponse(client, std::chrono::seconds(2)).body;
    }
    EXPECT_EQ(body, TextBody("after"));
}

TEST_F(RestWire, NoScannerAnswersEmptyTexts) {
    StartService({{"devices", ""}});
    EXPECT_EQ(Get("/VevIzer/getDevices"), "{\"code\":200, \"msg\":null, \"data\":[]}");
    EXPECT_EQ(PostForm("/VevIzer/getVersionInfo", ""), TextBody(""));
    EXPECT_EQ(Get("/VevIzer/getLastBatch"), TextBody(""));
}

// The scanners present at start are listed and the first of them is open
// before the first request is served: the driver's first listing and the
// opening it leads to come before the servers take requests.
TEST_F(RestWire, TheFirstRequestFindsTheScannerOpen) {
    service_.SetConfig("config.ini", "version", "verNum", "1");
    service_.SetConfig("config.ini", "virtual", "devices", "Virtual Scanner|test:0/1");
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        service_.Start();
        bool listening = false;
        for (int attempt = 0; attempt < 400 && !listening; ++attempt) {
            RawClient probe;
            listening = probe.Connect(kRestPort);
            if (!listening) std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        ASSERT_TRUE(listening) << service_.Log();
        EXPECT_EQ(PostForm("/VevIzer/getVersionInfo", ""), TextBody("Virtual Scanner"));
        EXPECT_EQ(Get("/VevIzer/getDevices"),
                  "{\"code\":200, \"msg\":null, \"data\":[\"Virtual Scanner\",\"test:0/1\"]}");
        ASSERT_EQ(service_.Stop(SIGTERM), 0) << service_.Log();
    }
}

class ParamsEndpoints : public Generation1Test {};

constexpr char kDefaultParams[] =
    "{\"code\":200, \"msg\":null, \"data\":{\"device\":\"Virtual Scanner\", \"autofeeder\":true, "
    "\"pixel\":1, \"white\":false, \"discardBlankThre\":5, \"single\":false, \"format\":\"jpg\", "
    "\"resolution\":200, \"orentation\":0, \"paperType\":\"Auto\", \"splitImage\":0, "
    "\"noiseDetachEnable\":true, \"noiseDetach\":15, \"upload\":{\"uploadMode\":2, "
    "\"httpUrl\":null, \"fileName\":null, \"httpMethod\":null, \"header\":null, \"param\":null, "
    "\"ftpUrl\":null, \"ftpPath\":null, \"ftpUser\":null, \"ftpPassword\":null, \"ftpPort\":21, "
    "\"ftpMode\":2}}}";

TEST_F(ParamsEndpoints, DefaultsAreReadFromTheScannerAndWrittenToConfig1) {
    StartService();
    EXPECT_EQ(Get("/VevIzer/getParams?pid=x"), kDefaultParams);
    std::string ini = ReadFile(service_.configDir() + "config1.ini");
    EXPECT_NE(ini.find("[Virtual Scanner]\ndevice=Virtual Scanner\nautofeeder=1\npixel=1\n"),
              std::string::npos)
        << ini;
    EXPECT_NE(ini.find("ftpPath=\n"), std::string::npos) << ini;
}

TEST_F(ParamsEndpoints, SetParamsReachesTheScannerAndSurvivesARestart) {
    StartService();
    std::string params =
        "{\"device\":\"ignored\",\"autofeeder\":false,\"pixel\":0,\"white\":true,"
        "\"discardBlankThre\":30,\"single\":false,\"format\":\"png\",\"resolution\":\"300\","
        "\"orentation\":180,\"paperType\":\"A4\",\"splitImage\":1,\"noiseDetachEnable\":false,"
        "\"noiseDetach\":7,\"upload\":{\"uploadMode\":1,\"httpUrl\":\"http://h/\\\"q\","
        "\"fileName\":\"f\",\"httpMethod\":\"POST\",\"header\":\"h\",\"param\":\"p\","
        "\"ftpUrl\":\"ftp.example\",\"ftpPath\":\"in\",\"ftpUser\":\"u\",\"ftpPassword\":"
        "\"line\\nbreak\",\"ftpPort\":\"2121\",\"ftpMode\":1}}";
    EXPECT_EQ(PostForm("/VevIzer/setParams", "pid=1&params=" + FormEscape(params)), TextBody(""));
    std::string expected =
        "{\"code\":200, \"msg\":null, \"data\":{\"device\":\"Virtual Scanner\", "
        "\"autofeeder\":false, \"pixel\":0, \"white\":true, \"discardBlankThre\":30, "
        "\"single\":false, \"format\":\"png\", \"resolution\":300, \"orentation\":180, "
        "\"paperType\":\"A4\", \"splitImage\":1, \"noiseDetachEnable\":false, \"noiseDetach\":7, "
        "\"upload\":{\"uploadMode\":1, \"httpUrl\":\"http://h/\\\"q\", \"fileName\":\"f\", "
        "\"httpMethod\":\"POST\", \"header\":\"h\", \"param\":\"p\", \"ftpUrl\":\"ftp.example\", "
        "\"ftpPath\":\"/in\", \"ftpUser\":\"u\", \"ftpPassword\":\"line\\nbreak\", "
        "\"ftpPort\":2121, \"ftpMode\":1}}}";
    std::string read = Get("/VevIzer/getParams");
    EXPECT_EQ(read, expected);
    EXPECT_TRUE(IsJson(read));
    std::string log = service_.Log();
    EXPECT_NE(log.find("\t\tvalueType=STRING, value=黑白"), std::string::npos);
    EXPECT_NE(log.find("\t\tvalueType=STRING, value=跳过空白页（通用）"), std::string::npos);
    EXPECT_NE(log.find("\t\tvalueType=INT, value=300"), std::string::npos);

    RestartService();
    // A line break cannot live in an INI value: it was stored as a blank.
    expected.replace(expected.find("line\\nbreak"), 11, "line break");
    EXPECT_EQ(Get("/VevIzer/getParams"), expected);
}

TEST_F(ParamsEndpoints, InvalidParamsResetTheRecordAndValuesOutsideTheTablesMapToDefaults) {
    StartService();
    // pixel 5 is colour, orientation 45 is upright, an unknown paper is the
    // original size; the scanner reports them back as such.
    PostForm("/VevIzer/setParams",
             "params=" + FormEscape("{\"pixel\":5,\"orentation\":45,\"paperType\":\"B5\","
                                    "\"resolution\":150,\"single\":true}"));
    std::string read = Get("/VevIzer/getParams");
    EXPECT_NE(read.find("\"pixel\":2, \"white\":false"), std::string::npos) << read;
    EXPECT_NE(read.find("\"single\":true"), std::string::npos) << read;
    EXPECT_NE(read.find("\"resolution\":150, \"orentation\":0, \"paperType\":\"Auto\""),
              std::string::npos)
        << read;
    EXPECT_NE(service_.Log().find("value=24位彩色"), std::string::npos);

    // Text that is not JSON gives a new record: the reset values, whose FTP
    // folder is "/images".
    PostForm("/VevIzer/setParams", "params=not-json");
    std::string reset = kDefaultParams;
    reset.replace(reset.find("\"ftpPath\":null"), 14, "\"ftpPath\":\"/images\"");
    EXPECT_EQ(Get("/VevIzer/getParams"), reset);
}

}  // namespace
}  // namespace testing_support

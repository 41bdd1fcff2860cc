// Scanning through the Socket.IO endpoint with the virtual scanner: the
// events a page receives, where the scanned pages are filed, which client
// hears the events, and pages in black and white.
#include <cjson/cJSON.h>

#include <thread>

#include "support/temp_dir.h"
#include "ver_1/generation1_fixture.h"
#include "ver_1/readers.h"

namespace testing_support {
namespace {

constexpr char kFinished[] = "42[\"result\", {\"code\":204, \"msg\":\"扫描完成\"}]";

std::string ScanEvent(const std::string& imageName, bool insert, bool nameFirst = true) {
    std::string name = "\\\"imageName\\\":\\\"" + imageName + "\\\"";
    std::string flag = std::string("\\\"isInsert\\\":") + (insert ? "true" : "false");
    return "42[\"scan\",\"{" + (nameFirst ? name + "," + flag : flag + "," + name) + "}\"]";
}

struct ImageEvent {
    std::string name;
    ImageSize size;
};

// The image events among the messages, in order; every event must be valid
// JSON after its "42".
std::vector<ImageEvent> ImageEvents(const std::vector<std::string>& messages) {
    std::vector<ImageEvent> events;
    for (const std::string& message : messages) {
        EXPECT_TRUE(message.rfind("42", 0) == 0 && IsJson(message.substr(2))) << message;
        if (message.rfind("42[\"image\", {\"code\":201, \"imageName\":\"", 0) != 0) continue;
        cJSON* root = cJSON_Parse(message.c_str() + 2);
        const cJSON* data = cJSON_GetArrayItem(root, 1);
        events.push_back(
            {cJSON_GetObjectItemCaseSensitive(data, "imageName")->valuestring,
             JpegDataUrlSize(cJSON_GetObjectItemCaseSensitive(data, "image")->valuestring)});
        cJSON_Delete(root);
    }
    return events;
}

constexpr char kSocketIoTarget[] = "/socket.io/?EIO=3&transport=websocket";
const std::string kConnectPacket = std::string("\x81\x02") + "40";

class Scanning : public Generation1Test {
  protected:
    // A Socket.IO client that speaks raw frames, so that waiting for silence
    // on it does not end its connection; true once its connect packet came.
    bool ConnectRawSocketIo(RawClient& client) {
        return client.Connect(kSocketIoPort) &&
               client.Send(RawClient::Handshake(kSocketIoTarget)) &&
               client.ReadUntil(kConnectPacket).find(kConnectPacket) != std::string::npos;
    }

    // Small pages keep the scans quick.
    void UseSmallPages(int pixel = 2) {
        PostForm("/VevIzer/setParams",
                 "params=" + FormEscape("{\"autofeeder\":true,\"pixel\":" + std::to_string(pixel) +
                                        ",\"single\":true,\"resolution\":100,\"format\":\"jpg\"}"));
    }

    // One appending scan of small pages from a new Socket.IO client: the
    // messages up to its result (none when the scan could not be sent).
    std::vector<std::string> ScanSmallPages() {
        UseSmallPages();
        WsClient client;
        if (!ConnectSocketIo(client) || !client.Send(ScanEvent("", false))) return {};
        return ReceiveUntil(client, "42[\"result\"");
    }
};

TEST_F(Scanning, AppendingScanFilesNumberedPagesAndReportsThem) {
    StartService();
    UseSmallPages();
    WsClient client;
    ASSERT_TRUE(ConnectSocketIo(client));
    ASSERT_TRUE(client.Send(ScanEvent("", false)));
    std::vector<std::string> messages = ReceiveUntil(client, "42[\"result\"");
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "42[\"event\", \"......\"]");
    EXPECT_EQ(messages.back(), kFinished);
    std::vector<ImageEvent> images = ImageEvents(messages);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].name, "1.jpg");
    EXPECT_EQ(images[1].name, "2.jpg");
    // A4 at 100 dpi.
    EXPECT_EQ(images[0].size, (ImageSize{827, 1169}));
    EXPECT_EQ(JpegFileSize(PidFolder() + "2.jpg"), (ImageSize{827, 1169}));
    EXPECT_EQ(ReadList(), (std::vector<std::string>{"1.jpg", "2.jpg"}));

    // Numbering goes on after the largest listed number.
    WriteList(kScanner, {"7.jpg", "abc.jpg", "12.jpg"});
    MakeImage(kScanner, "7.jpg", 10, 10);
    ASSERT_TRUE(client.Send(ScanEvent("", false)));
    images = ImageEvents(ReceiveUntil(client, "42[\"result\""));
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].name, "13.jpg");
    EXPECT_EQ(ReadList(),
              (std::vector<std::string>{"7.jpg", "abc.jpg", "12.jpg", "13.jpg", "14.jpg"}));
}

TEST_F(Scanning, InsertModePutsPagesBeforeTheNamedImage) {
    StartService();
    UseSmallPages();
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg"})
        MakeImage(kScanner, name, 20, 20);
    WriteList(kScanner, {"1.jpg", "2.jpg", "3.jpg"});
    WsClient client;
    ASSERT_TRUE(ConnectSocketIo(client));
    ASSERT_TRUE(client.Send(ScanEvent("3.jpg", true)));
    ReceiveUntil(client, "42[\"result\"");
    EXPECT_EQ(ReadList(), (std::vector<std::string>{"1.jpg", "2.jpg", "4.jpg", "5.jpg", "3.jpg"}));

    // The flag before the name is not the insert layout: the pages append.
    ASSERT_TRUE(client.Send(ScanEvent("3.jpg", true, false)));
    ReceiveUntil(client, "42[\"result\"");
    // So does a name that is not listed.
    ASSERT_TRUE(client.Send(ScanEvent("none.jpg", true)));
    ReceiveUntil(client, "42[\"result\"");
    EXPECT_EQ(ReadList(), (std::vector<std::string>{"1.jpg", "2.jpg", "4.jpg", "5.jpg", "3.jpg",
                                                    "6.jpg", "7.jpg", "8.jpg", "9.jpg"}));
}

TEST_F(Scanning, BusyScannerStopAndStoreRefusalsDuringAScan) {
    StartService({{"sheets", "40"}, {"page_delay_ms", "100"}});
    UseSmallPages();
    WsClient client;
    ASSERT_TRUE(ConnectSocketIo(client));
    ASSERT_TRUE(client.Send(ScanEvent("", false)));
    ASSERT_FALSE(ReceiveUntil(client, "42[\"image\"").empty());
    ASSERT_TRUE(client.Send(ScanEvent("", false)));
    std::vector<std::string> messages = ReceiveUntil(client, "42[\"error\", \"scan error\"]");
    EXPECT_EQ(messages.back(), "42[\"error\", \"scan error\"]");
    // While pages arrive the store and the parameters refuse to work.
    EXPECT_EQ(Get("/VevIzer/image/getImageByPid?pid=Virtual%20Scanner"),
              "{\"code\":200, \"msg\":null, \"data\":[]}");
    EXPECT_EQ(PostForm("/VevIzer/getVersionInfo", ""),
              "{\"code\":200, \"msg\":null, \"data\":\"\"}");
    EXPECT_NE(Get("/VevIzer/getParams").find("\"device\":null"), std::string::npos);

    // The stop answer and the driver's cancel result may come in either
    // order.
    ASSERT_TRUE(client.Send("42[\"stop\"]"));
    messages = ReceiveUntil(client, "stop scan success!");
    EXPECT_EQ(messages.back(), "42[\"success\", \"stop scan success!\"]");
    bool cancelled = false;
    for (const std::string& message : messages)
        cancelled = cancelled || message == "42[\"result\", {\"code\":204, \"msg\":\"扫描取消\"}]";
    if (!cancelled) {
        messages = ReceiveUntil(client, "扫描取消", std::chrono::seconds(5));
        cancelled = !messages.empty() && messages.back().find("扫描取消") != std::string::npos;
    }
    EXPECT_TRUE(cancelled);
    size_t filed = ReadList().size();
    EXPECT_GE(filed, 1u);
    EXPECT_LT(filed, 40u);
    std::string listing = Get("/VevIzer/image/getImageByPid?pid=Virtual%20Scanner");
    EXPECT_NE(listing.find("\"imageName\":\"1.jpg\""), std::string::npos);

    // Scans start again after a stop; a ping is answered in between.
    ASSERT_TRUE(client.Send("2"));
    EXPECT_EQ(client.Receive(), "3");
}

TEST_F(Scanning, StartFailureIsReportedAsScanError) {
    StartService({{"fail_start", "1"}});
    WsClient client;
    ASSERT_TRUE(ConnectSocketIo(client));
    ASSERT_TRUE(client.Send(ScanEvent("", false)));
    EXPECT_EQ(client.Receive(), "42[\"error\", \"scan error\"]");
    // Malformed packets get nothing and leave the session usable.
    for (const char* packet : {"42", "42[", "4[\"scan\"]", "43[\"stop\"]", "42{\"a\":1}",
                               "42[\"unknown\"]", "42[1,2]", "22"})
        client.Send(packet);
    ASSERT_TRUE(client.Send("2"));
    EXPECT_EQ(client.Receive(), "3");
}

TEST_F(Scanning, EventsGoToTheNewestClientAndStopWhenAnyLeaves) {
    StartService();
    UseSmallPages();
    RawClient older;
    ASSERT_TRUE(ConnectRawSocketIo(older));
    WsClient newer;
    ASSERT_TRUE(ConnectSocketIo(newer));

    older.Send(RawClient::MaskedFrame(0x81, ScanEvent("", false)));
    EXPECT_EQ(ImageEvents(ReceiveUntil(newer, "42[\"result\"")).size(), 2u);
    EXPECT_EQ(older.ReadExactly(1, std::chrono::milliseconds(300)), "");

    // The newer client leaving detaches the events from every client.
    newer.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    older.Send(RawClient::MaskedFrame(0x81, ScanEvent("", false)));
    for (int attempt = 0; attempt < 200 && ReadList().size() < 4; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ReadList().size(), 4u);
    EXPECT_EQ(older.ReadExactly(1, std::chrono::milliseconds(500)), "");

    // A new connection attaches again.
    WsClient third;
    ASSERT_TRUE(ConnectSocketIo(third));
    ASSERT_TRUE(third.Send(ScanEvent("", false)));
    EXPECT_EQ(ImageEvents(ReceiveUntil(third, "42[\"result\"")).size(), 2u);
}

// Events of a scan that runs while a new client has connected but not yet
// finished its handshake are not written to it: its first bytes are the
// handshake reply, then the open and connect packets.
TEST_F(Scanning, NothingReachesAClientBeforeItsHandshakeReply) {
    StartService();
    UseSmallPages();
    RawClient scanning;
    ASSERT_TRUE(ConnectRawSocketIo(scanning));

    RawClient late;
    ASSERT_TRUE(late.Connect(kSocketIoPort));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // accepted, events now go to it
    scanning.Send(RawClient::MaskedFrame(0x81, ScanEvent("", false)));
    for (int attempt = 0; attempt < 200 && ReadList().size() < 2; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(ReadList().size(), 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the end events are written

    late.Send(RawClient::Handshake(kSocketIoTarget));
    std::string opening = late.ReadUntil(kConnectPacket);
    EXPECT_EQ(opening.rfind("HTTP/1.1 101 Switching Protocols\r\n", 0), 0u) << opening;
    size_t open = opening.find("\r\n\r\n");
    ASSERT_NE(open, std::string::npos);
    EXPECT_EQ(opening.substr(open + 4, 1), "\x81") << opening;  // the open packet next
    EXPECT_EQ(opening.substr(open + 6, 2), "0{") << opening;
}

TEST_F(Scanning, BlackAndWhitePagesKeepTheirPixels) {
    StartService();
    UseSmallPages(0);
    WsClient client;
    ASSERT_TRUE(ConnectSocketIo(client));
    ASSERT_TRUE(client.Send(ScanEvent("", false)));
    std::vector<ImageEvent> images = ImageEvents(ReceiveUntil(client, "42[\"result\""));
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].size, (ImageSize{827, 1169}));
    DecodedJpeg page = DecodeJpeg(ReadFile(PidFolder() + "1.jpg"));
    ASSERT_EQ(page.size, (ImageSize{827, 1169}));
    // A white page with black text: mostly light pixels, some dark ones,
    // and hardly any in between.
    size_t dark = 0;
    size_t light = 0;
    for (uint8_t value : page.pixels) {
        dark += value < 64;
        light += value > 192;
    }
    EXPECT_GT(light, page.pixels.size() * 3 / 4);
    EXPECT_GT(dark, page.pixels.size() / 200);
    EXPECT_GT(dark + light, page.pixels.size() * 9 / 10);
}

TEST_F(Scanning, ArrivingScannerIsAnnouncedToTheConnectedClient) {
    StartService({{"devices", ""}});
    WsClient client;
    ASSERT_TRUE(ConnectSocketIo(client));
    service_.SetConfig("config.ini", "virtual", "devices", "Second Scanner");
    EXPECT_EQ(client.Receive(), "42[\"success\", \"Second Scanner\"]");
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (Get("/VevIzer/getLastBatch").find("Second Scanner") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(Get("/VevIzer/getLastBatch"),
              "{\"code\":200, \"msg\":null, \"data\":\"Second Scanner\"}");
    EXPECT_TRUE(Exists(service_.configDir() + "config1.ini"));
    // The scanner going away closes it.
    service_.SetConfig("config.ini", "virtual", "devices", "");
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (Get("/VevIzer/getLastBatch") == "{\"code\":200, \"msg\":null, \"data\":\"\"}") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(Get("/VevIzer/getLastBatch"), "{\"code\":200, \"msg\":null, \"data\":\"\"}");
}

// SANE device names hold ":" and "/"; such a scanner's pages are kept in a
// folder named with those bytes percent-encoded, and the REST interface
// finds them under the scanner's name.
TEST_F(Scanning, PagesOfAScannerNamedLikeASaneDeviceAreKept) {
    const std::string scanner = "test:0/1";
    StartService({{"devices", scanner}});
    std::vector<std::string> messages = ScanSmallPages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), kFinished);
    EXPECT_EQ(ImageEvents(messages).size(), 2u);
    std::string folder = service_.documentsDir() + "scanbridge/test%3A0%2F1/";
    EXPECT_EQ(JpegFileSize(folder + "2.jpg"), (ImageSize{827, 1169}));
    EXPECT_EQ(ReadFile(folder + "images.txt"), "1.jpg\n2.jpg\n");
    std::string listed = Get("/VevIzer/image/getImageByPid?pid=" + FormEscape(scanner));
    EXPECT_NE(listed.find("\"imageName\":\"2.jpg\""), std::string::npos) << listed.substr(0, 200);
}

// A documents folder nothing can be written to (its parent is a regular
// file, which stops even root): every page is lost, and the scan's result is
// an error instead of "扫描完成".
TEST_F(Scanning, ADocumentsFolderThatCannotBeWrittenEndsTheScanWithAnError) {
    std::string blocker = service_.root().path() + "not-a-folder";
    WriteFile(blocker, "a file, not a folder");
    StartService({}, {{"SCANBRIDGE_DOCUMENTS_DIR", blocker + "/documents/"}});
    std::vector<std::string> messages = ScanSmallPages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "42[\"result\", {\"code\":204, \"msg\":\"错误\"}]");
    EXPECT_TRUE(ImageEvents(messages).empty());
    EXPECT_TRUE(service_.WaitForLog("scan ended with 2 page(s) lost"));
}

}  // namespace
}  // namespace testing_support

#include "platform/driver/sane/worker_protocol.h"

#include <gtest/gtest.h>

namespace {

DeviceOption SampleOption() {
    DeviceOption option;
    option.index = 7;
    option.name = "mode";
    option.title = "Scan mode";
    option.desc = "Selects the scan mode";
    option.type = SANE_TYPE_STRING;
    option.unit = SANE_UNIT_NONE;
    option.size = 32;
    option.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    option.constraintType = SANE_CONSTRAINT_STRING_LIST;
    option.range = {-5, 9, 2};
    option.wordList = {100, -300};
    option.stringList = {"Gray", "Color", ""};
    return option;
}

TEST(WorkerProtocolTest, FieldsSurviveTheRoundTrip) {
    MessageWriter writer;
    writer.Option(SampleOption());
    writer.Value({{1, -2, 65536}, "Grün"});
    writer.Parameters({SANE_FRAME_BLUE, SANE_FALSE, 30, 10, -1, 16});
    writer.Device({"test:0", "Noname", "frontend-tester", "virtual device"});

    MessageReader reader(writer.body());
    DeviceOption option;
    OptionValue value;
    SANE_Parameters parameters{};
    WireDevice device;
    ASSERT_TRUE(reader.Option(&option) && reader.Value(&value) && reader.Parameters(&parameters) &&
                reader.Device(&device));
    EXPECT_TRUE(reader.AtEnd());
    DeviceOption expected = SampleOption();
    EXPECT_EQ(option.name, expected.name);
    EXPECT_EQ(option.desc, expected.desc);
    EXPECT_EQ(option.cap, expected.cap);
    EXPECT_EQ(option.range.quant, 2);
    EXPECT_EQ(option.wordList, expected.wordList);
    EXPECT_EQ(option.stringList, expected.stringList);
    EXPECT_EQ(value.words, (std::vector<SANE_Word>{1, -2, 65536}));
    EXPECT_EQ(value.text, "Grün");
    EXPECT_EQ(parameters.format, SANE_FRAME_BLUE);
    EXPECT_EQ(parameters.lines, -1);
    EXPECT_EQ(parameters.depth, 16);
    EXPECT_EQ(device.model, "frontend-tester");
}

// Every prefix of a valid body is refused field by field, never read past.
TEST(WorkerProtocolTest, TruncatedBodiesAreRefused) {
    MessageWriter writer;
    writer.Option(SampleOption());
    const std::vector<uint8_t>& body = writer.body();
    for (size_t size = 0; size < body.size(); ++size) {
        std::vector<uint8_t> prefix(body.begin(), body.begin() + size);
        MessageReader reader(prefix);
        DeviceOption option;
        EXPECT_FALSE(reader.Option(&option)) << size;
        EXPECT_FALSE(reader.ok());
    }
}

TEST(WorkerProtocolTest, CountsLargerThanTheBodyAreRefused) {
    struct Case {
        const char* what;
        uint32_t count;
    };
    for (Case c : {Case{"words", 0x40000000u}, Case{"words", 2u}, Case{"text", 0xffffffffu}}) {
        MessageWriter writer;
        writer.Word(c.count);
        writer.Int(1);  // one word where more are announced
        MessageReader reader(writer.body());
        std::vector<SANE_Word> words;
        std::string text;
        bool read = std::string(c.what) == "words" ? reader.Words(&words) : reader.Text(&text);
        EXPECT_FALSE(read) << c.what << " " << c.count;
        EXPECT_TRUE(words.empty());
    }
}

TEST(WorkerProtocolTest, FramesArriveWholeFromAnySplit) {
    MessageWriter first;
    first.Text("first");
    MessageWriter empty;
    MessageWriter third;
    third.Words({1, 2, 3});
    std::vector<uint8_t> stream;
    for (const MessageWriter* message : {&first, &empty, &third}) {
        std::vector<uint8_t> frame = message->Frame();
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    for (size_t piece : {size_t{1}, size_t{3}, size_t{7}, stream.size()}) {
        FrameReader reader;
        std::vector<std::vector<uint8_t>> bodies;
        for (size_t at = 0; at < stream.size(); at += piece) {
            reader.Feed(stream.data() + at, std::min(piece, stream.size() - at));
            std::vector<uint8_t> body;
            while (reader.Next(&body) == FrameReader::Result::kFrame)
                bodies.push_back(body);
        }
        ASSERT_EQ(bodies.size(), 3u) << piece;
        EXPECT_EQ(bodies[0], first.body());
        EXPECT_TRUE(bodies[1].empty());
        EXPECT_EQ(bodies[2], third.body());
    }
}

TEST(WorkerProtocolTest, OversizeFrameIsRefusedBeforeItsBody) {
    MessageWriter header;
    header.Word(kMaxFrameBody + 1);
    FrameReader reader;
    reader.Feed(header.body().data(), header.body().size());
    std::vector<uint8_t> body;
    EXPECT_EQ(reader.Next(&body), FrameReader::Result::kTooLong);

    MessageWriter partial;
    partial.Word(kMaxFrameBody);
    FrameReader waiting;
    waiting.Feed(partial.body().data(), partial.body().size());
    EXPECT_EQ(waiting.Next(&body), FrameReader::Result::kNeedMore);
}

}  // namespace

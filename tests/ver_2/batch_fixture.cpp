#include "ver_2/batch_fixture.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "platform/image/kx_image.h"
#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"

namespace testing_support {

namespace {

uint32_t Big16(const std::string& b, size_t at) {
    return (uint32_t(uint8_t(b[at])) << 8) | uint8_t(b[at + 1]);
}
uint32_t Big32(const std::string& b, size_t at) {
    return (Big16(b, at) << 16) | Big16(b, at + 2);
}
uint32_t Little16(const std::string& b, size_t at) {
    return (uint32_t(uint8_t(b[at + 1])) << 8) | uint8_t(b[at]);
}
uint32_t Little32(const std::string& b, size_t at) {
    return (Little16(b, at + 2) << 16) | Little16(b, at);
}

PictureSize JpegSize(const std::string& b) {
    size_t at = 2;
    while (at + 9 < b.size() && uint8_t(b[at]) == 0xFF) {
        uint8_t marker = uint8_t(b[at + 1]);
        bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) return {"jpg", Big16(b, at + 7), Big16(b, at + 5)};
        at += 2 + Big16(b, at + 2);
    }
    return {};
}

PictureSize TiffSize(const std::string& b) {
    bool little = b[0] == 'I';
    auto u16 = [&](size_t at) { return little ? Little16(b, at) : Big16(b, at); };
    auto u32 = [&](size_t at) { return little ? Little32(b, at) : Big32(b, at); };
    size_t ifd = u32(4);
    if (ifd + 2 > b.size()) return {};
    PictureSize size{"tif", 0, 0};
    uint32_t count = u16(ifd);
    for (uint32_t i = 0; i < count && ifd + 2 + 12 * (i + 1) <= b.size(); ++i) {
        size_t entry = ifd + 2 + 12 * i;
        uint32_t tag = u16(entry);
        uint32_t value = u16(entry + 2) == 3 ? u16(entry + 8) : u32(entry + 8);
        if (tag == 256) size.width = value;
        if (tag == 257) size.height = value;
    }
    return size;
}

void FillPattern(KXImage image, int seed) {
    KXImageInfo info{};
    KXBase_GetImageInfo(image, &info);
    uint8_t* data = nullptr;
    KXBase_GetImageData(image, &data);
    for (uint32_t y = 0; y < info.height; ++y) {
        uint8_t* row = data + size_t(y) * info.widthStep;
        for (uint32_t x = 0; x < info.width; ++x) {
            row[3 * x] = uint8_t(x * 7 + seed * 40);
            row[3 * x + 1] = uint8_t(y * 5 + seed * 90);
            row[3 * x + 2] = uint8_t(seed * 31);
        }
    }
}

// name as a quoted SQL identifier.
std::string Identifier(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

int DecodeSextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

Json BatchTest::Command(const std::string& func, const std::string& members) {
    // Members are kept as written (order, repeats, types), after "func".
    std::string body = members.substr(members.find('{') + 1);
    bool empty = body.find_first_not_of(" \n\t}") == std::string::npos;
    std::string text = "{\"func\":" + Quoted(func) + (empty ? "}" : "," + body);
    return page_.Call(text);
}

int BatchTest::Ret(const std::string& func, const std::string& members) {
    Json reply = Command(func, members);
    if (reply == nullptr) return -99;
    return int(JsonNumber(reply, "ret"));
}

std::string BatchTest::MakePicture(const std::string& name, uint32_t width, uint32_t height,
                                   int seed) {
    std::filesystem::create_directories(InputFolder());
    std::string path = InputFolder() + name;
    KXImage image = nullptr;
    EXPECT_EQ(KXBase_CreateImage(width, height, KX_PIXEL_RGB, KX_ORIGIN_TOP_LEFT, &image), 0);
    FillPattern(image, seed);
    EXPECT_EQ(KXImgFmt_SaveImage(image, KX_FORMAT_UNKNOWN, nullptr, path.c_str()), 0) << path;
    KXBase_DestroyImage(image);
    return path;
}

std::vector<std::string> BatchTest::AppendTagged(const std::string& tags) {
    std::vector<std::string> paths;
    for (char tag : tags) {
        std::string path = MakePicture(std::string("tagged_") + tag + ".png", 8, 6, tag);
        EXPECT_EQ(Ret("insert_local_image", "{\"image_path\":" + Quoted(path) + ",\"image_tag\":" +
                                                Quoted(std::string(1, tag)) + "}"),
                  0);
        paths.push_back(path);
    }
    return paths;
}

std::string BatchTest::TagOrder() {
    Json reply = Command("get_image_thumbnail_list");
    std::string tags;
    cJSON* list = cJSON_GetObjectItemCaseSensitive(reply.get(), "image_thumbnail_list");
    cJSON* item = nullptr;
    cJSON_ArrayForEach(item, list) {
        cJSON* tag = cJSON_GetObjectItemCaseSensitive(item, "image_tag");
        tags += cJSON_IsString(tag) ? tag->valuestring : "?";
    }
    return tags;
}

std::vector<int> BatchTest::CheckedOrder(const std::string& batch) {
    std::string images = Identifier("table_" + batch);
    std::string order = Identifier("table_" + batch + "_idx");
    std::vector<std::string> rows = Query("select id, idx from " + order + " order by idx");
    std::vector<std::string> imageIds = Query("select id from " + images + " order by id");
    std::vector<int> ids;
    std::vector<int> sortedIds;
    for (size_t i = 0; i < rows.size(); ++i) {
        size_t bar = rows[i].find('|');
        ids.push_back(std::stoi(rows[i].substr(0, bar)));
        EXPECT_EQ(rows[i].substr(bar + 1), std::to_string(i)) << "idx values not 0..n-1";
    }
    sortedIds = ids;
    std::sort(sortedIds.begin(), sortedIds.end());
    std::vector<int> expected;
    for (const std::string& id : imageIds)
        expected.push_back(std::stoi(id));
    EXPECT_EQ(sortedIds, expected) << "not one order row per image";
    return ids;
}

std::vector<std::string> BatchTest::Tables() const {
    return Query("select name from sqlite_master where type = 'table' order by name");
}

std::string Quoted(const std::string& text) {
    std::unique_ptr<cJSON, decltype(&cJSON_Delete)> string(cJSON_CreateString(text.c_str()),
                                                           cJSON_Delete);
    char* printed = cJSON_PrintUnformatted(string.get());
    std::string quoted = printed;
    cJSON_free(printed);
    return quoted;
}

PictureSize SizeOfPicture(const std::string& b) {
    if (b.size() >= 24 && b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0)
        return {"png", Big32(b, 16), Big32(b, 20)};
    if (b.size() >= 26 && b.compare(0, 2, "BM") == 0)
        return {"bmp", Little32(b, 18), uint32_t(std::abs(int32_t(Little32(b, 22))))};
    if (b.size() >= 4 && b.compare(0, 3, "\xFF\xD8\xFF") == 0) return JpegSize(b);
    if (b.size() >= 8 && (b.compare(0, 4, std::string("II*\0", 4)) == 0 ||
                          b.compare(0, 4, std::string("MM\0*", 4)) == 0)) {
        return TiffSize(b);
    }
    return {};
}

std::string DataUrlBytes(const std::string& dataUrl, std::string* prefix) {
    size_t comma = dataUrl.find(',');
    if (prefix != nullptr) *prefix = comma == std::string::npos ? "" : dataUrl.substr(0, comma + 1);
    std::string bytes;
    uint32_t bits = 0;
    int count = 0;
    for (size_t i = comma == std::string::npos ? 0 : comma + 1; i < dataUrl.size(); ++i) {
        int sextet = DecodeSextet(dataUrl[i]);
        if (sextet < 0) continue;
        bits = (bits << 6) | uint32_t(sextet);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(char((bits >> count) & 0xFF));
        }
    }
    return bytes;
}

std::string Base64Encode(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t v = (uint32_t(uint8_t(bytes[i])) << 16) | (uint32_t(uint8_t(bytes[i + 1])) << 8) |
                     uint8_t(bytes[i + 2]);
        for (int s = 18; s >= 0; s -= 6)
            text += kAlphabet[(v >> s) & 63];
    }
    if (i < bytes.size()) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size()) v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        text += kAlphabet[(v >> 18) & 63];
        text += kAlphabet[(v >> 12) & 63];
        text += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

}  // namespace testing_support

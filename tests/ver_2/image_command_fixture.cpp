#include "ver_2/image_command_fixture.h"

#include <sqlite3.h>
#include <sys/wait.h>
#include <zip.h>

#include <cstdio>
#include <filesystem>

#include "platform/image/kx_imgfmt.h"
#include "support/temp_dir.h"

namespace testing_support {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Encode(const std::string& bytes) {
    std::string text;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t n = uint8_t(bytes[i]) << 16 | uint8_t(bytes[i + 1]) << 8 | uint8_t(bytes[i + 2]);
        for (int shift : {18, 12, 6, 0})
            text += kAlphabet[(n >> shift) & 63];
    }
    if (i + 1 == bytes.size()) {
        uint32_t n = uint8_t(bytes[i]) << 16;
        text += std::string{kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        uint32_t n = uint8_t(bytes[i]) << 16 | uint8_t(bytes[i + 1]) << 8;
        text += std::string{kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], kAlphabet[(n >> 6) & 63],
                            '='};
    }
    return text;
}

std::string SaveAs(KXImage image, const std::string& path, uint32_t format) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    EXPECT_EQ(KXImgFmt_SaveImage(image, format, nullptr, path.c_str()), 0) << path;
    return path;
}

}  // namespace

void ImageCommandTest::StartSavingPng() {
    Start();
    Json reply = page_.Call(R"({"func":"set_global_config","image_format":"png"})");
    ASSERT_EQ(JsonNumber(reply, "ret"), 0);
}

Json ImageCommandTest::Command(const std::string& func, const std::string& members) {
    std::string text = R"({"func":")" + func + "\"" + (members.empty() ? "" : "," + members) + "}";
    Json reply = page_.Call(text);
    EXPECT_NE(reply, nullptr) << text;
    return reply;
}

std::string ImageCommandTest::WritePng(KXImage image, const std::string& name) {
    return SaveAs(image, InputFolder() + name, KX_FORMAT_PNG);
}

std::string ImageCommandTest::WriteJpeg(KXImage image, const std::string& name) {
    return SaveAs(image, InputFolder() + name, KX_FORMAT_JPEG);
}

std::string ImageCommandTest::SolidPng(uint32_t width, uint32_t height, Rgb color,
                                       const std::string& name) {
    Image image = imgproc_test::MakeImage(width, height, KX_PIXEL_RGB, color);
    return WritePng(image.get(), name);
}

void ImageCommandTest::AppendBatchImage(const std::string& path, const std::string& format) {
    std::string bytes = ReadFile(path);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(Database().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db,
                                 "insert into \"table_default\" (format, tag, image, thumb) "
                                 "values (?, '', ?, x'')",
                                 -1, &insert, nullptr),
              SQLITE_OK);
    sqlite3_bind_text(insert, 1, format.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(insert, 2, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_finalize(insert);
    std::string order =
        "insert into \"table_default_idx\" (id, idx) values (last_insert_rowid(), "
        "(select count(*) from \"table_default_idx\"))";
    EXPECT_EQ(sqlite3_exec(db, order.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close_v2(db);
}

std::vector<std::string> ImageCommandTest::TemporaryFiles() const {
    std::vector<std::string> files;
    if (!std::filesystem::is_directory(TmpFolder())) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(TmpFolder())) {
        if (!entry.is_directory()) files.push_back(entry.path().string());
    }
    return files;
}

Image LoadPicture(const std::string& path) {
    KXImage image = nullptr;
    KXImgFmt_LoadImage(path.c_str(), 0, nullptr, KX_PIXEL_RGB, KX_ORIGIN_TOP_LEFT, &image);
    return Image(image);
}

KXImageInfo InfoOf(KXImage image) {
    KXImageInfo info{};
    KXBase_GetImageInfo(image, &info);
    return info;
}

Image Gradient(uint32_t width, uint32_t height) {
    Image image = imgproc_test::MakeImage(width, height, KX_PIXEL_RGB);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            imgproc_test::SetPixel(image.get(), static_cast<int32_t>(x), static_cast<int32_t>(y),
                                   {uint8_t(x % 256), uint8_t(y % 256), 77});
        }
    }
    return image;
}

std::string DataUrlOf(const std::string& path, const std::string& prefix) {
    return "data:" + prefix + ";base64," + Base64Encode(ReadFile(path));
}

std::string Base64Decode(const std::string& text) {
    std::string bytes;
    uint32_t buffer = 0;
    int bits = 0;
    for (char c : text) {
        const char* found = std::char_traits<char>::find(kAlphabet, 64, c);
        if (found == nullptr) continue;
        buffer = buffer << 6 | static_cast<uint32_t>(found - kAlphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return bytes;
}

std::string Shell(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char chunk[4096];
    size_t count = 0;
    while ((count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output.append(chunk, count);
    int result = pclose(pipe);
    if (status != nullptr) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return output;
}

std::vector<std::pair<std::string, std::string>> ZipContents(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> entries;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr) return entries;
    zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string bytes(stat.size, '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (file != nullptr) {
            zip_fread(file, bytes.data(), bytes.size());
            zip_fclose(file);
        }
        entries.emplace_back(stat.name, bytes);
    }
    zip_discard(archive);
    return entries;
}

std::string JsonArray(const std::vector<std::string>& items) {
    std::string text = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += ",";
        text += "\"" + items[i] + "\"";
    }
    return text + "]";
}

}  // namespace testing_support

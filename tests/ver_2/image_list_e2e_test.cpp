// The image-list commands end to end: inserting at every kind of position,
// deleting with renumbering, moving, exchanging and book order, tags,
// thumbnails, the exact bytes of loaded and saved pictures, replacing
// pictures, bad input that must change nothing, and the order rows in the
// database after a long random series of edits.
#include <filesystem>
#include <random>

#include "support/temp_dir.h"
#include "ver_2/batch_fixture.h"

namespace testing_support {
namespace {

using ImageList = BatchTest;

std::string IndexList(std::initializer_list<int> indexes) {
    std::string text = "[";
    for (int index : indexes)
        text += (text.size() > 1 ? "," : "") + std::to_string(index);
    return text + "]";
}

// The thumbnail list as (tag, data URL) pairs.
std::vector<std::pair<std::string, std::string>> Thumbnails(const Json& reply) {
    std::vector<std::pair<std::string, std::string>> items;
    cJSON* list = cJSON_GetObjectItemCaseSensitive(reply.get(), "image_thumbnail_list");
    cJSON* item = nullptr;
    cJSON_ArrayForEach(item, list) {
        Json element(cJSON_Duplicate(item, true), cJSON_Delete);
        EXPECT_EQ(JsonKeys(element), (std::vector<std::string>{"image_tag", "image_base64"}));
        items.emplace_back(JsonString(element, "image_tag"), JsonString(element, "image_base64"));
    }
    return items;
}

TEST_F(ImageList, InsertPositionsAppendPrependAndRefuseGaps) {
    Start();
    AppendTagged("ABC");
    std::string x = MakePicture("x.png", 5, 5, 9);
    auto insert = [&](const std::string& pos, const std::string& tag) {
        return Ret("insert_local_image", "{\"image_path\":" + Quoted(x) + ",\"insert_pos\":" + pos +
                                             ",\"image_tag\":\"" + tag + "\"}");
    };
    EXPECT_EQ(insert("0", "X"), 0);
    EXPECT_EQ(TagOrder(), "XABC");
    EXPECT_EQ(insert("2", "Y"), 0);
    EXPECT_EQ(TagOrder(), "XAYBC");
    EXPECT_EQ(insert("5", "Z"), 0);  // n appends
    EXPECT_EQ(insert("-1", "W"), 0);
    EXPECT_EQ(insert("\"0\"", "V"), 0);  // not a number: the default, append
    EXPECT_EQ(TagOrder(), "XAYBCZWV");
    EXPECT_EQ(insert("9", "N"), -1);  // n + 1
    EXPECT_EQ(insert("-2", "N"), -1);
    EXPECT_EQ(insert("1.9", "U"), 0);  // the integer part
    EXPECT_EQ(TagOrder(), "XUAYBCZWV");
    CheckedOrder();

    // Only the path: appended with an empty tag.
    EXPECT_EQ(Ret("insert_local_image", "{\"image_path\":" + Quoted(x) + "}"), 0);
    Json list = Command("get_image_thumbnail_list");
    EXPECT_EQ(Thumbnails(list).back().first, "");
    EXPECT_EQ(JsonNumber(Command("get_image_count"), "image_count"), 10);
}

TEST_F(ImageList, InsertImageTakesADataUrl) {
    Start();
    AppendTagged("ABC");
    std::string png = ReadFile(MakePicture("p.png", 7, 3, 4));
    Json reply =
        Command("insert_image", "{\"image_base64\":\"data:image/png;base64," + Base64Encode(png) +
                                    "\",\"insert_pos\":0," + "\"image_tag\":\"new\"}");
    EXPECT_EQ(JsonNumber(reply, "ret"), 0);
    EXPECT_FALSE(JsonHas(reply, "err_info"));
    auto thumbnails = Thumbnails(Command("get_image_thumbnail_list"));
    ASSERT_EQ(thumbnails.size(), 4u);
    EXPECT_EQ(thumbnails[0].first, "new");
    std::string prefix;
    EXPECT_EQ(DataUrlBytes(thumbnails[0].second, &prefix), png);  // small: kept as it is
    EXPECT_EQ(prefix, "data:image/png;base64,");
    Json loaded = Command("load_image", R"({"image_index":0})");
    EXPECT_EQ(JsonString(loaded, "image_base64"), "data:image/png;base64," + Base64Encode(png));
}

TEST_F(ImageList, BadPicturesAndPathsChangeNothing) {
    Start();
    AppendTagged("AB");
    std::string text = InputFolder() + "notes.txt";
    WriteFile(text, "just text, not a picture");
    std::string truncated = InputFolder() + "cut.jpg";
    WriteFile(truncated, ReadFile(MakePicture("whole.jpg", 300, 200)).substr(0, 400));
    std::string png = Base64Encode(ReadFile(MakePicture("ok.png", 4, 4)));
    const std::pair<const char*, std::string> refused[] = {
        {"insert_local_image", "{\"image_path\":" + Quoted(text) + "}"},
        {"insert_local_image", "{\"image_path\":" + Quoted(truncated) + "}"},
        {"insert_local_image", "{\"image_path\":" + Quoted(InputFolder()) + "}"},
        {"insert_local_image", "{\"image_path\":" + Quoted(InputFolder() + "missing.png") + "}"},
        {"insert_local_image", R"({"image_path":""})"},
        {"insert_local_image", R"({"image_path":["a.png"]})"},
        {"insert_image", "{\"image_base64\":\"" + png + "\"}"},  // no prefix
        {"insert_image", "{\"image_base64\":\"data:image/gif;base64," + png + "\"}"},
        {"insert_image", R"({"image_base64":"data:image/png;base64,@@@not base64@@@"})"},
        {"insert_image", "{\"image_base64\":\"data:image/png;base64," +
                             Base64Encode("just text, not a picture") + "\"}"},
        {"insert_image", R"({"image_base64":"data:image/png;base64,"})"},
        {"insert_image", R"({"image_base64":5})"},
        {"modify_image", R"({"image_index":0,"image_base64":"data:image/jpeg;base64,AAAA"})"},
        {"modify_image",
         "{\"image_index\":2,\"image_base64\":\"data:image/png;base64," + png + "\"}"},
        {"modify_image",
         "{\"image_index\":-1,\"image_base64\":\"data:image/png;base64," + png + "\"}"},
        {"modify_image_by_local", "{\"image_index\":0,\"image_path\":" + Quoted(text) + "}"},
        {"modify_image_by_local", "{\"image_index\":0}"},
    };
    std::vector<std::string> rows =
        Query("select id, format, tag, image, thumb from table_default");
    std::vector<std::string> order = Query("select id, idx from table_default_idx");
    for (const auto& [func, members] : refused) {
        Json reply = Command(func, members);
        EXPECT_EQ(JsonNumber(reply, "ret"), -1) << func << " " << members.substr(0, 120);
        EXPECT_EQ(JsonString(reply, "err_info"), "错误");
    }
    EXPECT_EQ(Query("select id, format, tag, image, thumb from table_default"), rows);
    EXPECT_EQ(Query("select id, idx from table_default_idx"), order);
    EXPECT_TRUE(FilesIn(TmpFolder()).empty());
}

TEST_F(ImageList, DeletingClosesTheGaps) {
    Start();
    AppendTagged("ABCDE");
    EXPECT_EQ(Ret("delete_image", R"({"image_index_list":[3,0]})"), 0);
    EXPECT_EQ(TagOrder(), "BCE");
    CheckedOrder();
    EXPECT_EQ(Ret("delete_image", R"({"image_index_list":[1,1]})"), 0);
    EXPECT_EQ(TagOrder(), "BE");
    for (const char* members : {R"({"image_index_list":[]})", "{}", R"({"image_index_list":[2]})",
                                R"({"image_index_list":[0,-1]})", R"({"image_index_list":["0"]})",
                                R"({"image_index_list":0})"}) {
        EXPECT_EQ(Ret("delete_image", members), -1) << members;
    }
    EXPECT_EQ(TagOrder(), "BE");
    EXPECT_EQ(Query("select count(*) from table_default"), std::vector<std::string>{"2"});
    CheckedOrder();
}

TEST_F(ImageList, ClearingKeepsRowIdsGrowing) {
    Start();
    AppendTagged("ABC");
    std::vector<int> before = CheckedOrder();
    EXPECT_EQ(Ret("clear_image_list"), 0);
    EXPECT_EQ(JsonNumber(Command("get_image_count"), "image_count"), 0);
    EXPECT_EQ(Ret("clear_image_list"), 0);
    AppendTagged("N");
    std::vector<int> after = CheckedOrder();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_GT(after[0], before.back());
    EXPECT_EQ(TagOrder(), "N");
}

TEST_F(ImageList, MovingFollowsTheGapAndIndexModes) {
    Start();
    AppendTagged("ABCDE");
    const struct {
        const char* members;
        const char* order;  // after the move, from ABCDE; empty = refused
    } cases[] = {
        {R"({"image_index_list":[0,1],"mode":"pos","target":3})", "CABDE"},
        {R"({"image_index_list":[3],"mode":"pos","target":1})", "ADBCE"},
        {R"({"image_index_list":[4,0],"mode":"pos","target":2})", "BEACD"},
        {R"({"image_index_list":[0,1],"mode":"index","target":2})", "CDABE"},
        {R"({"image_index_list":[0,1],"mode":"index","target":3})", "CDEAB"},
        {R"({"image_index_list":[0,1],"mode":"index","target":4})", "CDEAB"},
        {R"({"image_index_list":[1],"mode":"pos","target":5})", "ACDEB"},
        {R"({"image_index_list":[4],"target":0})", "EABCD"},  // "index" by default
        {R"({"image_index_list":[1,3],"mode":"index"})", "BDACE"},
        {R"({"image_index_list":[2,2],"mode":"index","target":0})", "CABDE"},
        {R"({"image_index_list":[2,2],"mode":"pos","target":5})", "ABDEC"},
        {R"({"image_index_list":[1],"mode":"index","target":5})", ""},
        {R"({"image_index_list":[1],"mode":"pos","target":6})", ""},
        {R"({"image_index_list":[1],"mode":"POS","target":0})", ""},
        {R"({"image_index_list":[1],"mode":"pos","target":-1})", ""},
        {R"({"image_index_list":[5],"mode":"pos","target":0})", ""},
        {R"({"image_index_list":[-1],"mode":"pos","target":0})", ""},
        {R"({"image_index_list":[],"mode":"pos","target":0})", ""},
        {R"({"mode":"pos","target":0})", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.members);
        bool refused = std::string(c.order).empty();
        EXPECT_EQ(Ret("move_image", c.members), refused ? -1 : 0);
        EXPECT_EQ(TagOrder(), refused ? "ABCDE" : c.order);
        CheckedOrder();
        // Back to ABCDE by the tags' order.
        EXPECT_EQ(Ret("clear_image_list"), 0);
        AppendTagged("ABCDE");
    }
}

TEST_F(ImageList, MovingAnEmptyBatchFails) {
    Start();
    EXPECT_EQ(Ret("move_image", R"({"image_index_list":[0],"mode":"pos","target":0})"), -1);
}

TEST_F(ImageList, ExchangingSwapsTwoImages) {
    Start();
    AppendTagged("ABCDE");
    EXPECT_EQ(Ret("exchange_image", R"({"image_index_1":0,"image_index_2":4})"), 0);
    EXPECT_EQ(TagOrder(), "EBCDA");
    EXPECT_EQ(Ret("exchange_image", R"({"image_index_1":3,"image_index_2":1})"), 0);
    EXPECT_EQ(TagOrder(), "EDCBA");
    CheckedOrder();
    for (const char* members :
         {"{}", R"({"image_index_1":2,"image_index_2":2})", R"({"image_index_2":0})",
          R"({"image_index_1":0,"image_index_2":5})", R"({"image_index_1":-1,"image_index_2":1})",
          R"({"image_index_1":"1","image_index_2":"2"})"}) {
        EXPECT_EQ(Ret("exchange_image", members), -1) << members;
    }
    EXPECT_EQ(TagOrder(), "EDCBA");
}

TEST_F(ImageList, BookOrderTakesEvenPagesThenOddPagesBackwards) {
    Start();
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},         {"0", "0"},         {"01", "01"},
        {"0123", "0231"}, {"01234", "02431"}, {"012345", "024531"},
    };
    for (const auto& [pages, book] : cases) {
        EXPECT_EQ(Ret("clear_image_list"), 0);
        AppendTagged(pages);
        EXPECT_EQ(Ret("image_book_sort"), 0) << pages;
        EXPECT_EQ(TagOrder(), book);
        CheckedOrder();
    }
}

TEST_F(ImageList, TagsRoundTripAndFollowTheirLists) {
    Start();
    AppendTagged("ABC");
    const std::string odd = "引号 ' \" \\ 和 \t 换行\n";
    EXPECT_EQ(Ret("modify_image_tag",
                  "{\"image_index_list\":[2,0],\"image_tag_list\":[" + Quoted(odd) + ",\"\"]}"),
              0);
    Json loaded = Command("load_image", R"({"image_index":2})");
    EXPECT_EQ(JsonString(loaded, "image_tag"), odd);
    EXPECT_EQ(TagOrder(), "B" + odd);
    EXPECT_EQ(Ret("modify_image_tag", R"({"image_index_list":[1,1],"image_tag_list":["a","b"]})"),
              0);
    EXPECT_EQ(JsonString(Command("load_image", R"({"image_index":1})"), "image_tag"), "b");
    // The wrong element types are dropped, which makes the lists differ.
    const char* refused[] = {
        R"({"image_index_list":[0,2],"image_tag_list":["a"]})",
        R"({"image_index_list":[0,"1"],"image_tag_list":["a","b"]})",
        R"({"image_index_list":[0],"image_tag_list":[7]})",
        R"({"image_index_list":[3],"image_tag_list":["a"]})",
        R"({"image_index_list":[],"image_tag_list":[]})",
        R"({"image_tag_list":["a"]})",
    };
    for (const char* members : refused)
        EXPECT_EQ(Ret("modify_image_tag", members), -1) << members;
    EXPECT_EQ(TagOrder(), "b" + odd);

    Restart();
    EXPECT_EQ(JsonString(Command("load_image", R"({"image_index":2})"), "image_tag"), odd);
}

TEST_F(ImageList, ThumbnailsAreReducedInTheImagesOwnFormat) {
    Start();
    const struct {
        const char* name;
        uint32_t width, height;
        const char* format;
        const char* prefix;
        uint32_t thumbWidth, thumbHeight;
    } cases[] = {
        {"big.jpg", 3000, 2000, "jpg", "data:image/jpeg;base64,", 240, 160},
        {"small.png", 100, 50, "png", "data:image/png;base64,", 100, 50},
        {"thin.bmp", 1, 1000, "bmp", "data:image/bmp;base64,", 1, 240},
        {"tall.tif", 300, 900, "tif", "data:image/tiff;base64,", 80, 240},
        {"square.png", 241, 241, "png", "data:image/png;base64,", 240, 240},
    };
    for (const auto& c : cases) {
        std::string path = MakePicture(c.name, c.width, c.height);
        EXPECT_EQ(Ret("insert_local_image", "{\"image_path\":" + Quoted(path) + "}"), 0);
    }
    auto thumbnails = Thumbnails(Command("get_image_thumbnail_list"));
    ASSERT_EQ(thumbnails.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        std::string prefix;
        PictureSize size = SizeOfPicture(DataUrlBytes(thumbnails[i].second, &prefix));
        EXPECT_EQ(prefix, cases[i].prefix);
        EXPECT_EQ(size.format, cases[i].format);
        EXPECT_EQ(size.width, cases[i].thumbWidth);
        EXPECT_EQ(size.height, cases[i].thumbHeight);
    }
    std::vector<std::string> formats = Query("select format from table_default order by id");
    EXPECT_EQ(formats, (std::vector<std::string>{"jpg", "png", "bmp", "tif", "png"}));
}

TEST_F(ImageList, DocumentsGetThumbnailsOfTheirOwnFormat) {
    Start();
    for (const char* name : {"page.pdf", "page.ofd"}) {
        std::string path = MakePicture(name, 1200, 1600);
        EXPECT_EQ(Ret("insert_local_image", "{\"image_path\":" + Quoted(path) + "}"), 0) << name;
    }
    auto thumbnails = Thumbnails(Command("get_image_thumbnail_list"));
    ASSERT_EQ(thumbnails.size(), 2u);
    std::string prefix;
    EXPECT_EQ(DataUrlBytes(thumbnails[0].second, &prefix).substr(0, 5), "%PDF-");
    EXPECT_EQ(prefix, "data:image/pdf;base64,");
    EXPECT_EQ(DataUrlBytes(thumbnails[1].second, &prefix).substr(0, 2), "PK");
    EXPECT_EQ(prefix, "data:image/ofd;base64,");
    EXPECT_EQ(Query("select format from table_default order by id"),
              (std::vector<std::string>{"pdf", "ofd"}));
    // The thumbnail is the reduced page, far smaller than the document.
    for (size_t i = 0; i < 2; ++i) {
        Json loaded = Command("load_image", "{\"image_index\":" + std::to_string(i) + "}");
        EXPECT_LT(DataUrlBytes(thumbnails[i].second).size() * 4,
                  DataUrlBytes(JsonString(loaded, "image_base64")).size());
    }
}

TEST_F(ImageList, LoadAndSaveGiveTheExactBytes) {
    Start();
    std::vector<std::string> paths = {MakePicture("a.jpg", 640, 480, 1),
                                      MakePicture("b.tif", 50, 70, 2),
                                      MakePicture("c.bmp", 33, 17, 3)};
    for (const std::string& path : paths)
        EXPECT_EQ(Ret("insert_local_image", "{\"image_path\":" + Quoted(path) + "}"), 0);
    const char* prefixes[] = {"data:image/jpeg;base64,", "data:image/tiff;base64,",
                              "data:image/bmp;base64,"};
    for (size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        std::string bytes = ReadFile(paths[i]);
        Json loaded = Command("load_image", "{\"image_index\":" + std::to_string(i) + "}");
        EXPECT_EQ(JsonKeys(loaded),
                  (std::vector<std::string>{"func", "ret", "image_tag", "image_base64"}));
        EXPECT_EQ(JsonString(loaded, "image_base64"), prefixes[i] + Base64Encode(bytes));

        Json saved =
            Command("save_image", "{\"iden\":\"s\",\"image_index\":" + std::to_string(i) + "}");
        ASSERT_EQ(JsonNumber(saved, "ret"), 0);
        std::string path = JsonString(saved, "image_path");
        EXPECT_EQ(path.substr(0, SaveFolder().size()), SaveFolder());
        EXPECT_EQ(std::filesystem::path(path).extension(),
                  std::filesystem::path(paths[i]).extension());
        EXPECT_EQ(ReadFile(path), bytes);
    }
    // The saved files are in the saved-file list, so they can be deleted.
    std::vector<std::string> saved = StoredSavedFiles();
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(Ret("delete_local_file", "{\"file_path\":" + Quoted(saved[1]) + "}"), 0);

    // "load_image" on index n, a negative index or a text index (the first
    // image).
    Json missing = Command("load_image", R"({"image_index":3})");
    EXPECT_EQ(JsonNumber(missing, "ret"), -1);
    EXPECT_EQ(JsonString(missing, "err_info"), "错误");
    EXPECT_FALSE(JsonHas(missing, "image_tag"));
    EXPECT_EQ(Ret("load_image", R"({"image_index":-1})"), -1);
    EXPECT_EQ(Ret("save_image", R"({"image_index":3})"), -1);
    EXPECT_EQ(JsonString(Command("load_image", R"({"image_index":"2"})"), "image_base64"),
              prefixes[0] + Base64Encode(ReadFile(paths[0])));
    EXPECT_EQ(StoredSavedFiles().size(), 2u);
}

TEST_F(ImageList, ModifyingReplacesPictureAndFormatButKeepsTagAndPlace) {
    Start();
    AppendTagged("AB");
    std::string jpg = ReadFile(MakePicture("new.jpg", 500, 250, 5));
    std::string png = ReadFile(MakePicture("new.png", 20, 10, 6));
    EXPECT_EQ(Ret("modify_image", "{\"image_index\":1,\"image_base64\":\"data:image/jpeg;base64," +
                                      Base64Encode(jpg) + "\"}"),
              0);
    Json loaded = Command("load_image", R"({"image_index":1})");
    EXPECT_EQ(JsonString(loaded, "image_tag"), "B");
    EXPECT_EQ(JsonString(loaded, "image_base64"), "data:image/jpeg;base64," + Base64Encode(jpg));
    auto thumbnails = Thumbnails(Command("get_image_thumbnail_list"));
    PictureSize thumb = SizeOfPicture(DataUrlBytes(thumbnails[1].second));
    EXPECT_EQ(thumb.format, "jpg");
    EXPECT_EQ(thumb.width, 240u);
    EXPECT_EQ(thumb.height, 120u);

    EXPECT_EQ(Ret("modify_image_by_local",
                  "{\"image_index\":1,\"image_path\":" + Quoted(InputFolder() + "new.png") + "}"),
              0);
    EXPECT_EQ(JsonString(Command("load_image", R"({"image_index":1})"), "image_base64"),
              "data:image/png;base64," + Base64Encode(png));
    EXPECT_EQ(Query("select format, tag from table_default order by id"),
              (std::vector<std::string>{"png|A", "png|B"}));
    // A picture under the prefix of another format is stored as what it is.
    EXPECT_EQ(Ret("modify_image", "{\"image_index\":0,\"image_base64\":\"data:image/jpeg;base64," +
                                      Base64Encode(png) + "\"}"),
              0);
    EXPECT_EQ(JsonString(Command("load_image", R"({"image_index":0})"), "image_base64"),
              "data:image/png;base64," + Base64Encode(png));
    CheckedOrder();
}

// A long random series of edits against a model of the tags: after every
// step the batch shows the model's order and the order rows stay dense.
TEST_F(ImageList, RandomEditsKeepTheOrderRowsDense) {
    Start();
    std::mt19937 random(20240305);
    std::string model;
    std::string x = MakePicture("x.png", 3, 3);
    auto pick = [&](size_t bound) {
        return int(std::uniform_int_distribution<size_t>(0, bound)(random));
    };
    for (int step = 0; step < 120; ++step) {
        int n = int(model.size());
        int choice = pick(5);
        if (n < 3 || choice == 0) {
            int pos = pick(model.size());
            char tag = char('a' + step % 26);
            ASSERT_EQ(
                Ret("insert_local_image", "{\"image_path\":" + Quoted(x) +
                                              ",\"insert_pos\":" + std::to_string(pos) +
                                              ",\"image_tag\":\"" + std::string(1, tag) + "\"}"),
                0);
            model.insert(size_t(pos), 1, tag);
        } else if (choice == 1) {
            int a = pick(n - 1), b = pick(n - 1);
            ASSERT_EQ(Ret("delete_image", "{\"image_index_list\":" + IndexList({a, b}) + "}"), 0);
            std::string kept;
            for (int i = 0; i < n; ++i) {
                if (i != a && i != b) kept += model[size_t(i)];
            }
            model = kept;
        } else if (choice == 2) {
            int a = pick(n - 1), target = pick(n);
            ASSERT_EQ(Ret("move_image",
                          "{\"image_index_list\":[" + std::to_string(a) +
                              "],\"mode\":\"pos\",\"target\":" + std::to_string(target) + "}"),
                      0);
            char moved = model[size_t(a)];
            model.erase(size_t(a), 1);
            model.insert(size_t(a < target ? target - 1 : target), 1, moved);
        } else if (choice == 3) {
            int a = pick(n - 1), b = pick(n - 1);
            int ret = Ret("exchange_image", "{\"image_index_1\":" + std::to_string(a) +
                                                ",\"image_index_2\":" + std::to_string(b) + "}");
            ASSERT_EQ(ret, a == b ? -1 : 0);
            std::swap(model[size_t(a)], model[size_t(b)]);
        } else {
            ASSERT_EQ(Ret("image_book_sort"), 0);
            std::string book;
            for (int i = 0; i < n; i += 2)
                book += model[size_t(i)];
            for (int i = n - 1; i >= 0; --i) {
                if (i % 2 == 1) book += model[size_t(i)];
            }
            model = book;
        }
        ASSERT_EQ(TagOrder(), model) << "step " << step;
        ASSERT_EQ(CheckedOrder().size(), model.size());
    }
}

}  // namespace
}  // namespace testing_support

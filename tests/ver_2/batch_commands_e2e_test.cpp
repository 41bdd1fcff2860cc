// The batch commands end to end: the registry of batches and the current
// batch across restarts, generated names, renaming and deleting, names that
// hold quotes, blanks and Chinese text, and the stored table layout.
#include <cctype>

#include "ver_2/batch_fixture.h"

namespace testing_support {
namespace {

using BatchCommands = BatchTest;

std::vector<std::string> BatchIds(const Json& reply) {
    std::vector<std::string> names;
    cJSON* list = cJSON_GetObjectItemCaseSensitive(reply.get(), "batch_id_list");
    cJSON* item = nullptr;
    cJSON_ArrayForEach(item, list) {
        names.push_back(cJSON_IsString(item) ? item->valuestring : "?");
    }
    return names;
}

// text as an SQL string literal.
std::string SqlLiteral(const std::string& text) {
    std::string literal = "'";
    for (char c : text) {
        if (c == '\'') literal += '\'';
        literal += c;
    }
    return literal + "'";
}

TEST_F(BatchCommands, AFreshDatabaseHoldsTheEmptyDefaultBatch) {
    Start();
    std::string reply = page_.CallRaw(R"({"func":"get_batch_id_list","iden":"l"})");
    EXPECT_EQ(reply,
              "{\n\t\"func\":\t\"get_batch_id_list\",\n\t\"iden\":\t\"l\",\n\t\"ret\":\t0,\n"
              "\t\"batch_id_list\":\t[\"default\"]\n}");
    EXPECT_EQ(CurrentBatch(), "default");
    Json count = Command("get_image_count");
    EXPECT_EQ(JsonNumber(count, "ret"), 0);
    EXPECT_EQ(JsonNumber(count, "image_count"), 0);
    Json thumbnails = Command("get_image_thumbnail_list");
    EXPECT_EQ(JsonNumber(thumbnails, "ret"), 0);
    EXPECT_EQ(cJSON_GetArraySize(
                  cJSON_GetObjectItemCaseSensitive(thumbnails.get(), "image_thumbnail_list")),
              0);
    EXPECT_EQ(Tables(),
              (std::vector<std::string>{"device_params", "save_filenames", "sqlite_sequence",
                                        "table_", "table_default", "table_default_idx"}));
}

TEST_F(BatchCommands, BatchesLiveAcrossRestartsAndTheNewestIsCurrentAtStart) {
    Start();
    Json created = Command("new_batch", R"({"batch_id":"first"})");
    EXPECT_EQ(JsonNumber(created, "ret"), 0);
    EXPECT_EQ(JsonString(created, "batch_id"), "first");
    AppendTagged("AB");

    Json generated = Command("new_batch", R"({"iden":"n"})");
    ASSERT_EQ(JsonNumber(generated, "ret"), 0);
    std::string name = JsonString(generated, "batch_id");
    ASSERT_EQ(name.size(), 6u);
    for (char c : name)
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << name;
    EXPECT_EQ(BatchIds(Command("get_batch_id_list")),
              (std::vector<std::string>{"default", "first", name}));
    EXPECT_EQ(CurrentBatch(), name);

    EXPECT_EQ(Ret("open_batch", R"({"batch_id":"first"})"), 0);
    EXPECT_EQ(TagOrder(), "AB");
    Restart();
    // Not the batch that was current: the most recently created one.
    EXPECT_EQ(CurrentBatch(), name);
    EXPECT_EQ(TagOrder(), "");
    EXPECT_EQ(Ret("open_batch", R"({"batch_id":"first"})"), 0);
    EXPECT_EQ(TagOrder(), "AB");
    CheckedOrder("first");

    // Without a name (or with a name of another type): the newest batch.
    EXPECT_EQ(Ret("open_batch", R"({"batch_id":7})"), 0);
    EXPECT_EQ(CurrentBatch(), name);
    EXPECT_EQ(Ret("open_batch", R"({"batch_id":"first"})"), 0);
    EXPECT_EQ(Ret("open_batch"), 0);
    EXPECT_EQ(CurrentBatch(), name);
}

TEST_F(BatchCommands, OpeningNeedsARegisteredNameByteForByte) {
    Start();
    for (const char* name : {R"("DEFAULT")", R"("default ")", R"("")", R"("nothing")"}) {
        Json reply = Command("open_batch", std::string("{\"batch_id\":") + name + "}");
        EXPECT_EQ(JsonNumber(reply, "ret"), -1) << name;
        EXPECT_EQ(JsonString(reply, "err_info"), "错误");
    }
    EXPECT_EQ(Ret("open_batch", R"({"batch_id":"default"})"), 0);
    EXPECT_EQ(CurrentBatch(), "default");
}

TEST_F(BatchCommands, CreatingAnExistingOrEmptyNameFailsAndChangesNothing) {
    Start();
    Command("new_batch", R"({"batch_id":"kept"})");
    std::vector<std::string> tables = Tables();
    std::vector<std::string> registry = Query("select id, name from table_");
    for (const char* members :
         {R"({"batch_id":"default"})", R"({"batch_id":"kept"})", R"({"batch_id":""})"}) {
        Json reply = Command("new_batch", members);
        EXPECT_EQ(JsonNumber(reply, "ret"), -1) << members;
        EXPECT_EQ(JsonString(reply, "err_info"), "错误");
        EXPECT_FALSE(JsonHas(reply, "batch_id"));
    }
    EXPECT_EQ(CurrentBatch(), "kept");
    EXPECT_EQ(Tables(), tables);
    EXPECT_EQ(Query("select id, name from table_"), registry);
}

TEST_F(BatchCommands, DeletingRefusesTheCurrentAndUnknownBatches) {
    Start();
    Command("new_batch", R"({"batch_id":"other"})");
    AppendTagged("X");
    EXPECT_EQ(Ret("delete_batch", R"({"batch_id":"other"})"), -1);
    EXPECT_EQ(Ret("delete_batch", R"({"batch_id":"unknown"})"), -1);
    EXPECT_EQ(Ret("delete_batch", R"({"batch_id":"Default"})"), -1);
    EXPECT_EQ(Ret("delete_batch"), -1);
    // Tables of another kind are not batches.
    EXPECT_EQ(Ret("delete_batch", R"({"batch_id":"other_idx"})"), -1);

    EXPECT_EQ(Ret("open_batch", R"({"batch_id":"default"})"), 0);
    EXPECT_EQ(Ret("delete_batch", R"({"batch_id":"other"})"), 0);
    EXPECT_EQ(BatchIds(Command("get_batch_id_list")), (std::vector<std::string>{"default"}));
    EXPECT_EQ(Tables(),
              (std::vector<std::string>{"device_params", "save_filenames", "sqlite_sequence",
                                        "table_", "table_default", "table_default_idx"}));
    // The default batch may go too once it is not current.
    Command("new_batch", R"({"batch_id":"next"})");
    EXPECT_EQ(Ret("delete_batch", R"({"batch_id":"default"})"), 0);
    EXPECT_EQ(BatchIds(Command("get_batch_id_list")), (std::vector<std::string>{"next"}));
}

TEST_F(BatchCommands, RenamingKeepsTheImagesAndFollowsTheCurrentBatch) {
    Start();
    AppendTagged("AB");
    EXPECT_EQ(Ret("modify_batch_id", R"({"new_batch_id":"renamed"})"), 0);
    EXPECT_EQ(CurrentBatch(), "renamed");
    EXPECT_EQ(TagOrder(), "AB");
    CheckedOrder("renamed");

    Command("new_batch", R"({"batch_id":"second"})");
    const char* refused[] = {
        R"({"batch_id":"renamed","new_batch_id":"second"})",   // taken
        R"({"batch_id":"renamed","new_batch_id":"renamed"})",  // itself
        R"({"batch_id":"renamed"})",                           // no new name
        R"({"batch_id":"renamed","new_batch_id":""})",
        R"({"batch_id":"gone","new_batch_id":"x"})",
        R"({"batch_id":"renamed_idx","new_batch_id":"x"})",
    };
    std::vector<std::string> tables = Tables();
    for (const char* members : refused)
        EXPECT_EQ(Ret("modify_batch_id", members), -1) << members;
    EXPECT_EQ(Tables(), tables);

    // Renaming another batch leaves the current one current.
    EXPECT_EQ(Ret("modify_batch_id", R"({"batch_id":"renamed","new_batch_id":"old"})"), 0);
    EXPECT_EQ(CurrentBatch(), "second");
    EXPECT_EQ(BatchIds(Command("get_batch_id_list")), (std::vector<std::string>{"old", "second"}));
    EXPECT_EQ(Ret("open_batch", R"({"batch_id":"old"})"), 0);
    EXPECT_EQ(TagOrder(), "AB");
}

TEST_F(BatchCommands, AnyNameWorksAndTheStoredLayoutStaysTheSame) {
    Start();
    const std::string names[] = {"it's",    "say \"hi\"",
                                 "批次 一", "x'); drop table table_; --",
                                 "a]b[c",   "long_name_of_more_than_nineteen_bytes_0123456789"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Json created = Command("new_batch", "{\"batch_id\":" + Quoted(name) + "}");
        ASSERT_EQ(JsonNumber(created, "ret"), 0);
        EXPECT_EQ(JsonString(created, "batch_id"), name);
        EXPECT_EQ(CurrentBatch(), name);
        AppendTagged("PQ");
        EXPECT_EQ(TagOrder(), "PQ");
        EXPECT_EQ(Ret("move_image", R"({"image_index_list":[1],"target":0})"), 0);
        EXPECT_EQ(TagOrder(), "QP");
        EXPECT_EQ(
            Query("select count(*) from sqlite_master where name in (" +
                  SqlLiteral("table_" + name) + ", " + SqlLiteral("table_" + name + "_idx") + ")"),
            std::vector<std::string>{"2"});
        // The tables carry the name exactly, with the specified columns.
        EXPECT_EQ(
            Query("select group_concat(name || ' ' || type, ', ') from pragma_table_info(" +
                  SqlLiteral("table_" + name) + ")"),
            std::vector<std::string>{"id INTEGER, format TEXT, tag TEXT, image BLOB, thumb BLOB"});
        CheckedOrder(name);
    }
    std::vector<std::string> expected = {"default"};
    expected.insert(expected.end(), std::begin(names), std::end(names));
    EXPECT_EQ(BatchIds(Command("get_batch_id_list")), expected);

    EXPECT_EQ(Ret("modify_batch_id", "{\"new_batch_id\":" + Quoted("改名 'q'") + "}"), 0);
    EXPECT_EQ(TagOrder(), "QP");
    EXPECT_EQ(Ret("open_batch", "{\"batch_id\":" + Quoted("it's") + "}"), 0);
    EXPECT_EQ(Ret("delete_batch", "{\"batch_id\":" + Quoted("say \"hi\"") + "}"), 0);
    EXPECT_EQ(Query("select count(*) from sqlite_master where name like '%hi%'"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(IntegrityCheck(), "ok");
}

}  // namespace
}  // namespace testing_support

#include "ver_2/json_readers.h"

#include <gtest/gtest.h>

namespace ver_2 {
namespace {

JsonHolder Parse(const char* text) {
    return JsonHolder(cJSON_Parse(text));
}

TEST(JsonReaders, NumbersAreTruncatedAndSaturated) {
    JsonHolder root = Parse(R"({"a":80.9,"b":-3.7,"c":1e300,"d":-1e300,"e":"80","f":true})");
    bool found = false;
    EXPECT_EQ(GetJsonInt(root.get(), "a", &found), 80);
    EXPECT_TRUE(found);
    EXPECT_EQ(GetJsonInt(root.get(), "b"), -3);
    EXPECT_EQ(GetJsonInt(root.get(), "c"), 2147483647);
    EXPECT_EQ(GetJsonInt(root.get(), "d"), -2147483647 - 1);
    EXPECT_EQ(GetJsonInt(root.get(), "e", &found), 0);
    EXPECT_FALSE(found);
    EXPECT_EQ(GetJsonInt(root.get(), "f", &found), 0);
    EXPECT_FALSE(found);
    EXPECT_EQ(GetJsonInt(root.get(), "missing", &found), 0);
    EXPECT_FALSE(found);
}

TEST(JsonReaders, FirstMemberWithTheNameCountsEvenWithTheWrongType) {
    JsonHolder root = Parse(R"({"iden":5,"iden":"later","Func":"x","flag":false,"flag":true})");
    bool found = true;
    EXPECT_EQ(GetJsonString(root.get(), "iden", &found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(GetJsonString(root.get(), "func", &found), "");
    EXPECT_FALSE(found);
    EXPECT_FALSE(GetJsonBool(root.get(), "flag", &found));
    EXPECT_TRUE(found);
}

TEST(JsonReaders, BoolsOnlyFromTrueAndFalse) {
    JsonHolder root = Parse(R"({"t":true,"f":false,"n":1,"s":"true","z":null})");
    bool found = false;
    EXPECT_TRUE(GetJsonBool(root.get(), "t", &found));
    EXPECT_TRUE(found);
    for (const char* name : {"n", "s", "z"}) {
        EXPECT_FALSE(GetJsonBool(root.get(), name, &found)) << name;
        EXPECT_FALSE(found) << name;
    }
}

TEST(JsonReaders, ArraysKeepOnlyElementsOfTheirType) {
    JsonHolder root = Parse(R"({"i":[0,"1",2.9,null,-4,[5]],"s":["a",1,"b",{}],"o":{"0":1}})");
    EXPECT_EQ(GetJsonIntArray(root.get(), "i"), (std::vector<int32_t>{0, 2, -4}));
    EXPECT_EQ(GetJsonStringArray(root.get(), "s"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(GetJsonIntArray(root.get(), "o").empty());
    EXPECT_TRUE(GetJsonStringArray(root.get(), "missing").empty());
}

TEST(JsonReaders, NonObjectsHaveNoMembers) {
    JsonHolder array = Parse(R"([{"a":1}])");
    bool found = true;
    EXPECT_EQ(GetJsonInt(array.get(), "a", &found), 0);
    EXPECT_FALSE(found);
    EXPECT_EQ(GetJsonString(nullptr, "a", &found), "");
    EXPECT_FALSE(found);
}

}  // namespace
}  // namespace ver_2

// Form bodies and numeric parameters of the REST endpoints.
#include <gtest/gtest.h>

#include <climits>

#include "ver_1/rest_call.h"

namespace ver_1 {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

TEST(ParseForm, SplitsLikeAQueryString) {
    struct Case {
        const char* body;
        Fields fields;
    };
    const Case cases[] = {
        {"a=1&b=x%3Dy&c", {{"a", "1"}, {"b", "x=y"}, {"c", ""}}},
        {"x=a=b", {{"x", "a"}}},
        {"&&pid=7&", {{"pid", "7"}}},
        {"indexs%5B%5D=1&indexs%5B%5D=2", {{"indexs[]", "1"}, {"indexs[]", "2"}}},
        {"image=a+b%2B", {{"image", "a+b+"}}},
        {"bad=%4&ok=1", {{"bad", ""}, {"ok", "1"}}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseForm(c.body), c.fields) << c.body;
}

TEST(ParamInt, ReadsLikeAtoi) {
    EXPECT_EQ(ParamInt("12abc"), 12);
    EXPECT_EQ(ParamInt(" -3"), -3);
    EXPECT_EQ(ParamInt(""), 0);
    EXPECT_EQ(ParamInt("x1"), 0);
    EXPECT_EQ(ParamInt("99999999999999999999"), INT_MAX);
}

TEST(Quoted, EscapesEveryTextIntoAJsonString) {
    EXPECT_EQ(Quoted("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
    EXPECT_EQ(Quoted("扫描"), "\"扫描\"");
    // Bytes that are not UTF-8 characters become U+FFFD.
    EXPECT_EQ(Quoted("a\xff\xc3(\xe6\x89"), "\"a\\ufffd\\ufffd(\\ufffd\\ufffd\"");
    EXPECT_EQ(Quoted("\xed\xa0\x80\xf0\x9f\x98\x80"), "\"\\ufffd\\ufffd\\ufffd\xf0\x9f\x98\x80\"");
}

}  // namespace
}  // namespace ver_1

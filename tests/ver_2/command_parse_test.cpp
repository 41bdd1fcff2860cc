// Which messages become commands, and what "func" and "iden" they carry.
#include "ver_2/command_parse.h"

#include <gtest/gtest.h>

#include <string>

namespace ver_2 {
namespace {

std::optional<ParsedCommand> Parse(const std::string& message) {
    return ParseCommand(reinterpret_cast<const uint8_t*>(message.data()), message.size());
}

TEST(CommandParse, ReadsFuncAndIdenOfAnObject) {
    struct Case {
        std::string message;
        std::string func;
        bool hasIden;
        std::string iden;
    };
    const Case cases[] = {
        {R"({"func":"get_device_name_list","iden":"10"})", "get_device_name_list", true, "10"},
        {" \t\r\n\x01{\"func\":\"stop_scan\"}", "stop_scan", false, ""},       // leading blanks
        {R"({"func":"stop_scan","iden":16})", "stop_scan", false, ""},         // iden not a string
        {R"({"func":"a","iden":"x"} {"func":"b"} and more)", "a", true, "x"},  // first value
        {std::string("{\"func\":\"a\"}\0{broken", 20), "a", false, ""},        // stops at NUL
        {R"({"func":"a","func":"b"})", "a", false, ""},  // first member of the name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::optional<ParsedCommand> parsed = Parse(c.message);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->command.root, parsed->root.get());
        EXPECT_EQ(parsed->command.func, c.func);
        EXPECT_EQ(parsed->command.hasIden, c.hasIden);
        EXPECT_EQ(parsed->command.iden, c.iden);
    }
}

TEST(CommandParse, NoCommandWithoutAnObjectWithAStringFunc) {
    const std::string messages[] = {
        "",
        "   ",
        R"(["func","stop_scan"])",
        R"("stop_scan")",
        R"({"iden":"1"})",
        R"({"func":7})",
        R"({"Func":"stop_scan"})",
        R"({"func":"stop_scan")",
        std::string("\0{\"func\":\"stop_scan\"}", 21),
    };
    for (const std::string& message : messages) {
        SCOPED_TRACE(message);
        EXPECT_FALSE(Parse(message).has_value());
    }
}

}  // namespace
}  // namespace ver_2

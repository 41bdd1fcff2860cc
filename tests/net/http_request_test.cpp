#include "net/http_request.h"

#include <gtest/gtest.h>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(ParseHttpRequest, RequestLineHeadersAndNoBody) {
    HttpRequest request = ParseHttpRequest(
        "GET /VevIzer/getDevices HTTP/1.1\r\nHost: 127.0.0.1:18999\r\n"
        "Content-Type :  application/json \r\n\r\n");
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/VevIzer/getDevices");
    EXPECT_EQ(request.version, "HTTP/1.1");
    EXPECT_EQ(request.headers,
              (Pairs{{"Host", "127.0.0.1"}, {"Content-Type", "application/json"}}));
    EXPECT_TRUE(request.params.empty());
    EXPECT_EQ(request.HeaderIgnoreCase("content-type"), "application/json");
    EXPECT_EQ(request.Header("content-type"), "");
}

TEST(ParseHttpRequest, QueryParameters) {
    const struct {
        const char* url;
        Pairs params;
    } cases[] = {
        {"/p?a=1&b=x%3Dy&c", {{"a", "1"}, {"b", "x=y"}, {"c", ""}}},
        {"/p?x=a=b", {{"x", "a"}}},
        {"/p?&&a=1&&", {{"a", "1"}}},
        {"/p?a=1&a=2", {{"a", "1"}, {"a", "2"}}},
        {"/p?n%20m=v+w", {{"n m", "v+w"}}},
    };
    for (const auto& c : cases) {
        HttpRequest request = ParseHttpRequest(std::string("GET ") + c.url + " HTTP/1.1\r\n\r\n");
        EXPECT_EQ(request.params, c.params) << c.url;
        EXPECT_EQ(request.path, "/p") << c.url;
    }
    EXPECT_EQ(ParseHttpRequest("GET /p?a=1&a=2 HTTP/1.1").Param("a"), "1");
}

TEST(ParseHttpRequest, FragmentAndOddRequestLines) {
    HttpRequest request = ParseHttpRequest("GET   /a%2Fb?q=1#frag%21   HTTP/1.0  extra\n\nX: 1\n");
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/a/b");
    EXPECT_EQ(request.params, (Pairs{{"q", "1"}}));
    EXPECT_EQ(request.fragment, "frag!");
    EXPECT_EQ(request.version, "HTTP/1.0");
    EXPECT_EQ(request.headers, (Pairs{{"X", "1"}}));

    HttpRequest empty = ParseHttpRequest("\r\n\r\n");
    EXPECT_TRUE(empty.method.empty() && empty.path.empty() && empty.headers.empty());
    EXPECT_EQ(ParseHttpRequest("POST").method, "POST");
    EXPECT_EQ(ParseHttpRequest("GET x?a=1 HTTP/1.1").path, "");
    EXPECT_EQ(ParseHttpRequest(std::string("GET /a\0/b HTTP/1.1", 18)).path, "/a");
}

TEST(ParseHttpRequest, HeaderLinesKeepOnlyTheTextBetweenTheFirstTwoColons) {
    HttpRequest request = ParseHttpRequest("GET / HTTP/1.1\r\nHost: h:1\r\nNoColon\r\nA:\r\n\r\n");
    EXPECT_EQ(request.headers, (Pairs{{"Host", "h"}, {"NoColon", ""}, {"A", ""}}));
}

TEST(ParseHttpRequest, OriginKeepsItsPortAndIsFoundInAnyCase) {
    EXPECT_EQ(ParseHttpRequest("GET / HTTP/1.1\r\norigin:  http://localhost:5173 \r\n"
                               "Origin: http://second\r\n\r\n")
                  .origin,
              "http://localhost:5173");
    EXPECT_EQ(ParseHttpRequest("GET / HTTP/1.1\r\nOrigin: null\r\n\r\n").origin, "null");
    EXPECT_FALSE(ParseHttpRequest("GET / HTTP/1.1\r\nOrigins: x\r\nOrigin\r\n\r\n").origin);
}

TEST(HasToken, CommaSeparatedAnyCase) {
    EXPECT_TRUE(HasToken("Upgrade", "Upgrade"));
    EXPECT_TRUE(HasToken("keep-alive, Upgrade", "upgrade"));
    EXPECT_TRUE(HasToken("upgrade,keep-alive", "Upgrade"));
    EXPECT_FALSE(HasToken("keep-alive", "Upgrade"));
    EXPECT_FALSE(HasToken("Upgrades, keep-alive", "Upgrade"));
    EXPECT_FALSE(HasToken("", "Upgrade"));
}

TEST(UrlDecode, Escapes) {
    const std::pair<const char*, const char*> cases[] = {
        {"a%20b", "a b"}, {"%e4%B8%ad", "\xe4\xb8\xad"},
        {"a+b", "a+b"},   {"/x%4", ""},
        {"%", ""},        {"ab%2", ""},
        {"%00x", ""},     {"%2 ", ""},
        {"%zz", "%zz"},   {"100%", ""},
        {"", ""},         {"%41%42", "AB"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(UrlDecode(in), out) << in;
}

}  // namespace

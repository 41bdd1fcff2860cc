#include "net/origin_policy.h"

#include <gtest/gtest.h>

namespace {

TEST(OriginPolicy, WhichOriginsAreServed) {
    const struct {
        const char* configured;
        const char* origin;
        bool allowed;
    } cases[] = {
        // This machine's own pages, any port, by default.
        {"", "http://localhost", true},
        {"", "http://localhost:5173", true},
        {"", "https://127.0.0.1:8443", true},
        {"", "http://[::1]:8080", true},
        {"", "HTTP://LocalHost:3000", true},
        // Look-alikes and other loopback forms are not this machine's names.
        {"", "http://127.0.0.2:8000", false},
        {"", "http://localhost.evil.com", false},
        {"", "http://evil.com@127.0.0.1", false},
        {"", "http://127.0.0.1/path", false},
        {"", "ftp://localhost", false},
        {"", "file://localhost", false},
        {"", "http://localhost:99999", false},
        {"", "https://evil.example", false},
        {"", "null", false},
        {"", "", false},
        // Listed origins: scheme, host and port must all match.
        {"https://app.example.com", "https://app.example.com", true},
        {"https://app.example.com", "https://APP.example.com:443", true},
        {"https://app.example.com/", "https://app.example.com", true},
        {"https://app.example.com", "http://app.example.com", false},
        {"https://app.example.com", "https://app.example.com:8443", false},
        {"https://app.example.com", "https://app.example.com.evil.net", false},
        {"http://intranet:8080 https://b.test", "http://intranet:8080", true},
        {"http://intranet:8080 https://b.test", "https://b.test", true},
        // A wildcard stands for exactly one label.
        {"https://*.example.com", "https://a.example.com", true},
        {"https://*.example.com", "https://a.b.example.com", false},
        {"https://*.example.com", "https://example.com", false},
        {"https://*.example.com", "https://aexample.com", false},
        {"https://*.example.com", "http://a.example.com", false},
        {"http://*.example.com:8080", "http://x.example.com:8080", true},
        // "null" only when listed; "*" serves everything.
        {"null", "null", true},
        {"NULL", "null", true},
        {"*", "https://evil.example", true},
        {"*", "null", true},
        // Entries that are no origin are skipped, not widened.
        {"example.com https://*", "https://example.com", false},
    };
    for (const auto& c : cases) {
        OriginPolicy policy;
        policy.AddList(c.configured);
        EXPECT_EQ(policy.Allows(c.origin), c.allowed)
            << "configured \"" << c.configured << "\", origin \"" << c.origin << "\"";
    }
}

TEST(OriginPolicy, ListsAddUpAndMalformedEntriesAreReported) {
    OriginPolicy policy;
    EXPECT_EQ(policy.AddList("  https://a.test\thttps://*.b.test  "), std::vector<std::string>{});
    EXPECT_EQ(policy.AddList("https://c.test example.com https://x.*.test"),
              (std::vector<std::string>{"example.com", "https://x.*.test"}));
    EXPECT_TRUE(policy.Allows("https://a.test"));
    EXPECT_TRUE(policy.Allows("https://q.b.test"));
    EXPECT_TRUE(policy.Allows("https://c.test"));
    EXPECT_FALSE(policy.allowsAny());
}

TEST(ParseWebOrigin, PartsAndDefaultPorts) {
    auto origin = ParseWebOrigin("HTTPS://Example.COM");
    ASSERT_TRUE(origin);
    EXPECT_EQ(origin->scheme, "https");
    EXPECT_EQ(origin->host, "example.com");
    EXPECT_EQ(origin->port, 443);
    origin = ParseWebOrigin("http://[::1]:8080");
    ASSERT_TRUE(origin);
    EXPECT_EQ(origin->host, "[::1]");
    EXPECT_EQ(origin->port, 8080);
    for (const char* bad : {"example.com", "http://", "http://a:", "http://a:0", "http://a b",
                            "http://[::1", "http://a..b", "://a"}) {
        EXPECT_FALSE(ParseWebOrigin(bad)) << bad;
    }
}

}  // namespace

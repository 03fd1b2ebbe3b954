// Address patterns, credential tokens and the per-request check.
#include "http/AccessControl.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "tests/support/RawHttp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace lyrebox {
namespace {

TEST(AddressFilter, AllowedAndBlockedLists) {
    AccessSettings access;
    access.setAllowedIPs("127.0.0.1\r\n192.168.0.*");
    access.setBlockedIPs("192.168.0.13");
    struct Case {
        const char* address;
        bool allowed;
    };
    const Case cases[] = {
        {"192.168.0.12", true}, {"192.168.0.13", false}, {"10.0.0.1", false},
        {"127.0.0.1", true},    {"192.168.0", false},    {"192.168.0.1.5", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(access.isAddressAllowed(c.address), c.allowed);
    }
    // The filter switch decides whether the lists count at all.
    EXPECT_TRUE(access.admits("10.0.0.1"));
    access.setFilterIPs(true);
    EXPECT_FALSE(access.admits("10.0.0.1"));
    EXPECT_TRUE(access.admits("127.0.0.1"));
}

TEST(AddressFilter, PatternShapes) {
    struct Case {
        const char* pattern;
        const char* address;
        bool matches;
    };
    const Case cases[] = {
        {"192.168.0", "192.168.0.1", false},      // three parts match nothing
        {"192.168.0.1.7", "192.168.0.1", true},   // parts beyond four are ignored
        {"192.168.000.1", "192.168.0.1", false},  // parts compare as text
        {"192..168.0.1", "192.168.0.1", true},    // empty parts do not count
        {"*.*.*.*", "8.8.8.8", true},
        {"1*.0.0.1", "10.0.0.1", false},          // "*" only as a whole part
        {"", "1.2.3.4", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(patternMatches(c.pattern, c.address), c.matches);
    }
    EXPECT_FALSE(isAddressAllowed({}, {}, "127.0.0.1"));  // empty allowed list refuses everybody
    EXPECT_FALSE(isAddressAllowed({"*.*.*.*"}, {}, "1.2.3"));
}

TEST(AddressFilter, ListTextSplitsAtAnyWhiteSpace) {
    EXPECT_EQ(splitPatterns("  a\tb\r\n\r\nc d \f e\v"), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    EXPECT_TRUE(splitPatterns(" \n ").empty());
}

TEST(Credentials, Base64AndComparison) {
    EXPECT_EQ(base64Encode(""), "");
    EXPECT_EQ(base64Encode(":"), "Og==");
    EXPECT_EQ(base64Encode("ab"), "YWI=");
    EXPECT_EQ(base64Encode("user:pass"), "dXNlcjpwYXNz");
    EXPECT_EQ(base64Encode("\xff\xfe\xfd"), "//79");
    EXPECT_TRUE(constantTimeEquals("abc", "abc"));
    EXPECT_FALSE(constantTimeEquals("abd", "abc"));
    EXPECT_FALSE(constantTimeEquals("ab", "abc"));
    EXPECT_FALSE(constantTimeEquals("abcabc", "abc"));
    EXPECT_FALSE(constantTimeEquals("", "abc"));

    AccessSettings access;
    EXPECT_TRUE(access.checkCredentials("Og=="));  // empty name and password
    EXPECT_FALSE(access.checkCredentials(""));
    access.setUsername("user");
    access.setPassword("pass");
    EXPECT_TRUE(access.checkCredentials("dXNlcjpwYXNz"));
    EXPECT_FALSE(access.checkCredentials("Og=="));
}

struct AuthCase {
    const char* name;
    std::string headers;
    std::string query;
    bool accepted;
    std::string token;
};

TEST(Authenticate, HeaderAndParameter) {
    AccessSettings access;
    access.setRequirePassword(true);
    access.setUsername("user");
    access.setPassword("pa+ss=");
    const std::string token = base64Encode("user:pa+ss=");
    const std::vector<AuthCase> cases = {
        {"header", "Authorization: Basic " + token + "\r\n", "", true, token},
        {"lower-case scheme", "Authorization: basic " + token + "\r\n", "", false, ""},
        {"two blanks", "Authorization: Basic  " + token + "\r\n", "", false, ""},
        {"other scheme", "Authorization: Bearer " + token + "\r\n", "", false, ""},
        {"parameter", "", "?auth=" + token, true, token},
        {"wrong header, right parameter", "Authorization: Basic eA==\r\n", "?auth=" + token, true, token},
        {"neither", "", "", false, ""},
        {"wrong password", "Authorization: Basic " + base64Encode("user:pass") + "\r\n", "", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto [a, b] = test::socketPair();
        test::sendText(a, "GET /x" + c.query + " HTTP/1.1\r\n" + c.headers + "\r\n");
        HttpRequest request;
        request.read(b);
        ASSERT_EQ(request.status(), 0);
        HttpResponse response;
        EXPECT_EQ(authenticate(request, response, access), c.accepted);
        EXPECT_EQ(request.authToken(), c.token);
        if (c.accepted) {
            EXPECT_EQ(request.status(), 0);
            EXPECT_FALSE(response.headers().count("WWW-Authenticate"));
        } else {
            EXPECT_EQ(request.status(), 401);
            EXPECT_EQ(request.reason(), "Unauthorized");
            EXPECT_EQ(response.header("WWW-Authenticate"), "Basic realm=\"Tunelet\"");
        }
    }
}

TEST(Credentials, PairChangesAreSeenWhole) {
    // A check running while another thread switches between two pairs only
    // ever accepts one of the two tokens, never a mixture.
    AccessSettings access;
    access.setCredentials("a", "1");
    const std::string mixed1 = base64Encode("a:2"), mixed2 = base64Encode("b:1");
    std::atomic<bool> done{false};
    std::atomic<int> checks{0};
    std::thread writer([&] {
        // Switches until the checking thread has had its turns too: on a busy
        // machine it may not get the processor before a fixed count is done.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (int i = 0; (i < 20000 || checks.load() < 1000) && std::chrono::steady_clock::now() < limit; ++i)
            access.setCredentials(i % 2 ? "a" : "b", i % 2 ? "1" : "2");
        done = true;
    });
    int mixtures = 0, accepted = 0;
    while (!done) {
        if (access.checkCredentials(mixed1) || access.checkCredentials(mixed2)) ++mixtures;
        if (access.checkCredentials(base64Encode("a:1")) || access.checkCredentials(base64Encode("b:2"))) ++accepted;
        ++checks;
    }
    writer.join();
    EXPECT_EQ(mixtures, 0);
    EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace lyrebox

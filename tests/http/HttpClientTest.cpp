// The outgoing request's reading of URLs and its mark of an answer whose
// body ended before its announced length.
#include "http/HttpClient.h"
#include "http/HttpResponse.h"
#include "tests/support/RawHttp.h"

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

TEST(HttpClientUrl, OnlyHttpUrlsWithAHostAPathAndAPortFrom1To65535) {
    for (const char* text : {"https://h/stream", "http://h", "http:///x", "http://:80/x", "http://h:/x",
                             "http://h:0/x", "http://h:65536/x", "http://h:123456/x", "http://h:8a/x",
                             "http://h:-1/x", "HTTP://h/x"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(parseHttpUrl(text).has_value());
    }
    const auto lowest = parseHttpUrl("http://h:1/x");
    ASSERT_TRUE(lowest.has_value());
    EXPECT_EQ(lowest->port, 1);

    const auto url = parseHttpUrl("http://h:65535/a/b?c=d?e");
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->hostPart, "h:65535");
    EXPECT_EQ(url->host, "h");
    EXPECT_EQ(url->port, 65535);
    EXPECT_EQ(url->path, "/a/b");
    EXPECT_EQ(url->query, "c=d?e");

    const auto plain = parseHttpUrl("http://h/x");
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->port, 80);
    EXPECT_EQ(plain->query, "");
}

TEST(HttpClientCut, BodiesEndingBeforeTheirLengthAreCutShort) {
    struct Case {
        const char* what;
        std::string afterStatusLine;
        std::string body;
        bool cutShort;
    };
    const Case cases[] = {
        {"whole", "Content-Length: 5\r\n\r\nabcde", "abcde", false},
        {"server stopped", "Content-Length: 10\r\n\r\nabcd", "abcd", true},
        {"more than announced", "Content-Length: 2\r\n\r\nabcd", "ab", false},
        {"empty", "Content-Length: 0\r\n\r\n", "", false},
        {"no length", "\r\nabcd", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto [server, client] = test::socketPair();
        test::sendText(server, "HTTP/1.1 200 OK\r\n" + c.afterStatusLine);
        server.close();
        HttpResponse response;
        ASSERT_TRUE(response.read(client));
        EXPECT_EQ(response.body(), c.body);
        EXPECT_EQ(isCutShort(response), c.cutShort);
    }
}

}  // namespace
}  // namespace lyrebox

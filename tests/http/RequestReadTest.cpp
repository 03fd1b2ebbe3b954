// HttpRequest::read over a socket pair: buffering, bodies, limits, pipelining.
#include "http/HttpLimits.h"
#include "http/HttpRequest.h"
#include "tests/support/RawHttp.h"

#include <gtest/gtest.h>

#include <thread>

namespace lyrebox {
namespace {

using test::sendText;

struct Pair {
    platform::Socket client, server;
    Pair() {
        auto [a, b] = test::socketPair();
        client = std::move(a);
        server = std::move(b);
    }
};

TEST(RequestRead, SimpleGet) {
    Pair p;
    sendText(p.client, "GET /a%20b?x=1%202&x=3&y HTTP/1.0\r\nHost: h\r\n\r\n");
    HttpRequest r;
    r.read(p.server);
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.reason(), "");
    EXPECT_EQ(r.path(), "/a%20b");
    EXPECT_EQ(r.query(), "x=1%202&x=3&y");
    EXPECT_EQ(r.protocol(), "HTTP/1.0");
    EXPECT_EQ(r.params().size(), 1u);
    EXPECT_EQ(r.param("x"), "1 2");
    EXPECT_EQ(r.header("Host"), "h");
    EXPECT_EQ(r.header("Absent"), "");
    EXPECT_EQ(r.raw(), "GET /a%20b?x=1%202&x=3&y HTTP/1.0\r\nHost: h\r\n\r\n");
}

TEST(RequestRead, PostBodyInLaterSegmentWinsOverQuery) {
    Pair p;
    std::thread writer([&] {
        sendText(p.client, "POST /x?a=9&c=3 HTTP/1.1\r\nContent-Length: 7\r\n\r\n");
        sendText(p.client, "a=1&b=2");
    });
    HttpRequest r;
    r.read(p.server);
    writer.join();
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.method(), HttpMethod::Post);
    EXPECT_EQ(r.body(), "a=1&b=2");
    EXPECT_EQ(r.param("a"), "1");
    EXPECT_EQ(r.param("b"), "2");
    EXPECT_EQ(r.param("c"), "3");
}

TEST(RequestRead, BodyThatStraddlesTheHeadBuffer) {
    // The head fills all but two bytes of the buffer, so the body must be
    // received after the head phase has stopped.
    Pair p;
    const std::string start = "POST /x HTTP/1.1\r\nContent-Length: 7\r\nPad: ";
    std::string head = start + std::string(http::kHeadBufferSize - 2 - start.size() - 4, 'p') + "\r\n\r\n";
    ASSERT_EQ(head.size(), http::kHeadBufferSize - 2);
    std::thread writer([&] { sendText(p.client, head + "a=1&b=2GET /next HTTP/1.1\r\n\r\n"); });
    HttpRequest r;
    r.read(p.server);
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.body(), "a=1&b=2");
    r.read(p.server);
    writer.join();
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.path(), "/next");
}

TEST(RequestRead, KeepAliveResetsBetweenRequestsAndKeepsPipelinedBytes) {
    Pair p;
    sendText(p.client,
             "POST /x?q=1 HTTP/1.1\r\nContent-Length: 3\r\nX: 1\r\n\r\nk=vGET /y HTTP/1.0\r\n\r\n"
             "GET /z HTTP/1.1\r\n\r\n");
    HttpRequest r;
    r.read(p.server);
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.param("q"), "1");
    EXPECT_EQ(r.param("k"), "v");
    r.setAuthToken("token");
    r.read(p.server);
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.path(), "/y");
    EXPECT_EQ(r.method(), HttpMethod::Get);
    EXPECT_TRUE(r.params().empty());
    EXPECT_TRUE(r.headers().empty());
    EXPECT_EQ(r.body(), "");
    EXPECT_EQ(r.authToken(), "");
    EXPECT_EQ(r.protocol(), "HTTP/1.0");
    r.read(p.server);
    EXPECT_EQ(r.path(), "/z");
    p.client.close();
    r.read(p.server);
    EXPECT_EQ(r.status(), 500);
}

TEST(RequestRead, GetBodyIsConsumedNotParsedAsNextRequest) {
    Pair p;
    sendText(p.client, "GET /x?a=1 HTTP/1.1\r\nContent-Length: 5\r\n\r\nb=2&cGET /y HTTP/1.1\r\n\r\n");
    HttpRequest r;
    r.read(p.server);
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.body(), "");
    EXPECT_EQ(r.param("b"), "");
    r.read(p.server);
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.path(), "/y");
}

TEST(RequestRead, ClientClosingBeforeSending) {
    Pair p;
    p.client.close();
    HttpRequest r;
    r.read(p.server);
    EXPECT_EQ(r.status(), 500);
    EXPECT_EQ(r.reason(), "Internal Server Error");
}

TEST(RequestRead, LfOnlyLinesAre400WhenTheClientCloses) {
    Pair p;
    sendText(p.client, "GET / HTTP/1.1\nHost: x\n\n");
    p.client.shutdownWrite();
    HttpRequest r;
    r.read(p.server);
    EXPECT_EQ(r.status(), 400);
    EXPECT_EQ(r.reason(), "Bad Request");
}

TEST(RequestRead, HeadLimit) {
    const std::string start = "GET / HTTP/1.1\r\nPad: ";
    auto headOf = [&](std::size_t size) {
        return start + std::string(size - start.size() - 4, 'p') + "\r\n\r\n";
    };
    {
        Pair p;
        std::thread writer([&] { sendText(p.client, headOf(http::kHeadBufferSize)); });
        HttpRequest r;
        r.read(p.server);
        writer.join();
        EXPECT_EQ(r.status(), 0);
        EXPECT_EQ(r.header("Pad").size(), http::kHeadBufferSize - start.size() - 4);
    }
    {
        Pair p;
        std::thread writer([&] { sendText(p.client, headOf(http::kHeadBufferSize + 1)); });
        HttpRequest r;
        r.read(p.server);
        EXPECT_EQ(r.status(), 431);
        EXPECT_EQ(r.reason(), "Request Header Fields Too Large");
        p.server.close();
        writer.join();
    }
    {
        // LF-only lines never end the head: the buffer fills.
        Pair p;
        std::thread writer([&] { sendText(p.client, std::string(http::kHeadBufferSize + 10, '\n')); });
        HttpRequest r;
        r.read(p.server);
        EXPECT_EQ(r.status(), 431);
        p.server.close();
        writer.join();
    }
}

TEST(RequestRead, BodyLimit) {
    {
        Pair p;
        sendText(p.client, "POST / HTTP/1.1\r\nContent-Length: 1048577\r\n\r\n");
        HttpRequest r;
        r.read(p.server);
        EXPECT_EQ(r.status(), 413);
        EXPECT_EQ(r.reason(), "Payload Too Large");
    }
    {
        Pair p;
        std::string body = "v=" + std::string(http::kMaxBodySize - 2, 'b');
        std::thread writer([&] { sendText(p.client, "POST / HTTP/1.1\r\nContent-Length: 1048576\r\n\r\n" + body); });
        HttpRequest r;
        r.read(p.server);
        writer.join();
        EXPECT_EQ(r.status(), 0);
        EXPECT_EQ(r.body().size(), http::kMaxBodySize);
        EXPECT_EQ(r.param("v").size(), http::kMaxBodySize - 2);
    }
}

TEST(RequestRead, ContentLengthVariants) {
    struct Case {
        const char* length;
        const char* sent;
        const char* body;
    };
    const Case cases[] = {
        {"-5", "", ""}, {"abc", "", ""}, {" 3xyz", "abc", "abc"}, {"4", "ab", "ab"},  // short: client closes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        Pair p;
        sendText(p.client, std::string("POST / HTTP/1.1\r\nContent-Length: ") + c.length + "\r\n\r\n" + c.sent);
        p.client.shutdownWrite();
        HttpRequest r;
        r.read(p.server);
        EXPECT_EQ(r.status(), 0);
        EXPECT_EQ(r.body(), c.body);
    }
}

TEST(RequestRead, TimeOutsEndTheConnection) {
    {
        Pair p;
        HttpRequest r;
        r.setTimeouts(std::chrono::milliseconds(0), std::chrono::milliseconds(30));
        sendText(p.client, "GET / HTTP/1.1\r\n");  // never completed
        r.read(p.server);
        EXPECT_EQ(r.status(), -1);
    }
    {
        Pair p;
        HttpRequest r;
        r.setTimeouts(std::chrono::milliseconds(30), std::chrono::seconds(30));
        sendText(p.client, "GET / HTTP/1.1\r\n\r\n");
        r.read(p.server);
        EXPECT_EQ(r.status(), 0);
        r.read(p.server);  // idle keep-alive connection
        EXPECT_EQ(r.status(), -1);
    }
}

TEST(RequestRead, NulInHeadEndsTheText) {
    Pair p;
    sendText(p.client, std::string("GET /a\0b HTTP/1.1\r\n\r\n", 21));
    p.client.shutdownWrite();
    HttpRequest r;
    r.read(p.server);
    EXPECT_EQ(r.status(), 400);
}

TEST(RequestSend, WritesHeadAndBody) {
    Pair p;
    HttpRequest r;
    r.setMethod(HttpMethod::Post);
    r.setPath("/stream");
    r.setQuery("");
    r.setProtocol("HTTP/1.0");
    r.setHeader("Host", "h:1");
    r.setHeader("Content-Length", "2");
    r.setBody("ab");
    const std::string expected = "POST /stream? HTTP/1.0\r\nContent-Length: 2\r\nHost: h:1\r\n\r\nab";
    EXPECT_EQ(r.send(p.client), expected.size());
    p.client.close();
    std::string got(100, '\0');
    got.resize(static_cast<std::size_t>(p.server.recvSome(got.data(), got.size())));
    EXPECT_EQ(got, expected);
}

TEST(RequestHost, OnlyWellFormedHosts) {
    struct Case {
        const char* host;
        bool kept;
    };
    const Case cases[] = {
        {"example.org", true}, {"host:5151", true}, {"10.0.0.1:80", true}, {"[::1]:5151", true},
        {"[fe80::1]", true},   {"", false},         {"a b", false},       {"h:", false},
        {"h:123456", false},   {"x\"><script>", false}, {"[::1", false},  {"h:80:90", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        Pair p;
        sendText(p.client, std::string("GET / HTTP/1.1\r\nHost: ") + c.host + "\r\n\r\n");
        HttpRequest r;
        r.read(p.server);
        EXPECT_EQ(requestHost(r), c.kept ? c.host : "");
    }
}

}  // namespace
}  // namespace lyrebox

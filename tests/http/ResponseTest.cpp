// HttpResponse bytes on the wire, dates, the content-type table, the
// outgoing read, and the diagnostic dump.
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "tests/support/RawHttp.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <thread>

namespace lyrebox {
namespace {

std::string sent(HttpResponse& response, bool headOnly = false) {
    auto [a, b] = test::socketPair();
    response.setSocket(&a);
    headOnly ? response.sendHead() : response.send();
    a.close();
    std::string all;
    char buf[4096];
    long n;
    while ((n = b.recvSome(buf, sizeof buf)) > 0) all.append(buf, static_cast<std::size_t>(n));
    return all;
}

TEST(Response, DefaultHelloBytes) {
    HttpResponse r;
    r.setBody("hello");
    EXPECT_EQ(sent(r), "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Type: text/html\r\n\r\nhello");
}

TEST(Response, HeadersInByteOrder) {
    HttpResponse r;
    r.setHeader("Expires", "-1");
    r.setHeader("Cache-Control", "no-cache");
    r.setHeader("WWW-Authenticate", "x");
    r.setHeader("Connection", "close");
    r.setHeader("Expires", "0");  // replaces
    EXPECT_EQ(sent(r, true),
              "HTTP/1.1 200 OK\r\nCache-Control: no-cache\r\nConnection: close\r\nContent-Type: text/html\r\n"
              "Expires: 0\r\nWWW-Authenticate: x\r\n\r\n");
}

// A shared body is sent from the caller's buffer: the bytes on the wire are
// exactly the buffer's, small (joined to the head) and large (beside it),
// and setting a body of either kind replaces the other.
TEST(Response, SharedBodyIsSentAsItIsAndReplacesTheOwnBody) {
    std::string large(20000, 'x');
    for (std::size_t i = 0; i < large.size(); i += 7) large[i] = static_cast<char>('a' + i % 26);
    for (const std::string& text : {std::string("<small/>"), large}) {
        const auto shared = std::make_shared<const std::string>(text);
        HttpResponse r;
        r.setBody("replaced");
        r.setSharedBody(shared);
        EXPECT_EQ(&r.body(), shared.get());  // not copied
        EXPECT_EQ(sent(r), "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(text.size()) +
                               "\r\nContent-Type: text/html\r\n\r\n" + text);
        EXPECT_EQ(*shared, text);
        r.setBody("own");
        EXPECT_EQ(r.body(), "own");
        EXPECT_EQ(r.header("Content-Length"), "3");
    }
    HttpResponse none;
    none.setBody("gone");
    none.setSharedBody(nullptr);
    EXPECT_EQ(none.body(), "");
    EXPECT_EQ(sent(none), "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nContent-Type: text/html\r\n\r\n");
}

TEST(Response, NotModifiedHasNoContentLength) {
    HttpResponse r;
    r.setStatus(304, "Not Modified");
    EXPECT_EQ(sent(r), "HTTP/1.1 304 Not Modified\r\nContent-Type: text/html\r\n\r\n");
}

TEST(Response, SendWithoutSocketCountsZero) {
    HttpResponse r;
    r.setBody("x");
    EXPECT_EQ(r.send(), 0u);
}

TEST(HttpDate, KnownTimes) {
    EXPECT_EQ(formatHttpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(formatHttpDate(2592000), "Sat, 31 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(formatHttpDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
    EXPECT_EQ(formatHttpDate(1700000000), "Tue, 14 Nov 2023 22:13:20 GMT");
}

TEST(ContentTypes, EightRowsCaseSensitive) {
    const auto& t = contentTypes();
    EXPECT_EQ(t.size(), 8u);
    EXPECT_EQ(t.at("gif"), "image/gif");
    EXPECT_EQ(t.at("m3u"), "audio/x-mpegurl");
    EXPECT_EQ(t.at("js"), "text/javascript");
    EXPECT_EQ(t.count("GIF"), 0u);
    EXPECT_EQ(t.count("html"), 0u);
}

TEST(ResponseRead, ParsesStatusHeadersAndBodyAcrossSegments) {
    auto [a, b] = test::socketPair();
    std::thread writer([&] {
        test::sendText(a, "HTTP/1.0 200 OK fine\r\nContent-Length: 10\r\nX: 1\r\nX: 2\r\n\r\n01234");
        test::sendText(a, "56789 and more");
        a.close();
    });
    HttpResponse r;
    EXPECT_TRUE(r.read(b));
    writer.join();
    EXPECT_EQ(r.protocol(), "HTTP/1.0");
    EXPECT_EQ(r.status(), 200);
    EXPECT_EQ(r.reason(), "OK fine");
    EXPECT_EQ(r.header("X"), "1");
    EXPECT_EQ(r.body(), "0123456789");
}

TEST(ResponseRead, GarbageLeavesStatus) {
    auto [a, b] = test::socketPair();
    test::sendText(a, "nonsense");
    a.close();
    HttpResponse r;
    EXPECT_FALSE(r.read(b));
    EXPECT_EQ(r.status(), 200);
}

TEST(Dump, EscapesEverything) {
    auto [a, b] = test::socketPair();
    test::sendText(a, "POST /<i>?q=<b>x</b> HTTP/1.1\r\nX-Evil: <script>alert(1)</script>\r\n"
                      "Content-Length: 11\r\n\r\nk=<img src>");
    HttpRequest request;
    request.read(b);
    ASSERT_EQ(request.status(), 0);
    std::ostringstream out;
    request.writeHtmlDump(out);
    std::string html = out.str();
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("<img"), std::string::npos);
    EXPECT_EQ(html.find("<b>x"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_EQ(html.rfind("<table border=\"0\" cellspacing=\"2\">\r\n", 0), 0u);
    EXPECT_NE(html.find("<tr><td valign=\"top\"><i>q:</i></td><td valign=\"top\">&lt;b&gt;x&lt;/b&gt;</td>"),
              std::string::npos);
    EXPECT_NE(html.find("<b>Request URI:</b></td><td valign=\"top\"><pre>/&lt;i&gt;</pre>"), std::string::npos);
    EXPECT_EQ(html.substr(html.size() - 8), "</table>");
}

}  // namespace
}  // namespace lyrebox

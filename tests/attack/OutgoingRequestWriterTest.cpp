// The writer of the one outgoing request and the fetch that uses it: no part
// of a request may carry a byte that could end its line or a field (CR, LF,
// blanks, other control bytes), whoever builds the request; a URL with such
// bytes makes no connection at all.
#include "tests/attack/ListServer.h"
#include "tests/support/RawHttp.h"

#include "http/HttpClient.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"

#include <chrono>

#include <gtest/gtest.h>

namespace lyrebox::attack {
namespace {

using namespace std::chrono_literals;

// What the writer puts on the wire for a request, "" when it sends nothing.
std::string sentBytes(const HttpRequest& request) {
    auto [writer, reader] = test::socketPair();
    const std::size_t sent = request.send(writer);
    writer.close();
    std::string got;
    char buffer[4096];
    for (long n; (n = reader.recvSome(buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<std::size_t>(n));
    EXPECT_EQ(sent, got.size());
    return got;
}

TEST(OutgoingRequestWriter, RefusesEveryPartThatCouldEndALineOrAField) {
    struct Case {
        const char* what;
        std::string path, query, headerName, headerValue;
        bool sent;
    };
    const Case cases[] = {
        {"plain", "/stream", "path=%2Fa&auth=x", "Host", "h:1", true},
        {"header value with a TAB", "/stream", "", "X", "a\tb", true},
        {"CR LF in the query", "/stream", std::string("x\r\nSET k 1\r\n\r\nGET /second HTTP/1.1"), "Host", "h", false},
        {"bare LF in the query", "/stream", "x\nSET k 1", "Host", "h", false},
        {"bare CR in the path", "/str\ream", "", "Host", "h", false},
        {"blank in the path", "/a b", "", "Host", "h", false},
        {"blank in the query", "/a", "HTTP/1.1 x", "Host", "h", false},
        {"NUL in the query", "/a", std::string("x\0y", 3), "Host", "h", false},
        {"DEL in the path", "/a\x7f", "", "Host", "h", false},
        {"TAB in the query", "/a", "x\ty", "Host", "h", false},
        {"LF in a header value", "/a", "", "Host", "h\nInjected: 1", false},
        {"CR in a header value", "/a", "", "Host", "h\rInjected: 1", false},
        {"colon in a header name", "/a", "", "Host: x", "h", false},
        {"empty header name", "/a", "", "", "h", false},
        {"empty path", "", "x", "Host", "h", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HttpRequest request;
        request.setPath(c.path);
        request.setQuery(c.query);
        request.setHeader(c.headerName, c.headerValue);
        EXPECT_EQ(request.isSendable(), c.sent);
        const std::string bytes = sentBytes(request);
        EXPECT_EQ(!bytes.empty(), c.sent) << bytes;
        if (c.sent) {
            EXPECT_EQ(bytes, request.outgoingHead());
        }
    }
}

TEST(OutgoingRequestWriter, UrlHostsWithBlanksOrControlBytesAreNotUrls) {
    for (const std::string& host : {std::string("ho st"), std::string("h\r\nX: 1"), std::string("h\x7f"),
                                   std::string("h\tx"), std::string("h\0x", 3)}) {
        SCOPED_TRACE(host);
        EXPECT_FALSE(parseHttpUrl("http://" + host + ":80/stream?x").has_value());
    }
    EXPECT_TRUE(parseHttpUrl("http://127.0.0.1:80/stream?x").has_value());
}

// A URL the writer refuses reaches no server: the listener never sees a
// connection, while a clean URL to the same server is fetched.
TEST(OutgoingRequestWriter, RefusedUrlsMakeNoConnection) {
    ListServer target(streamList(1));
    const std::string base = "http://127.0.0.1:" + std::to_string(target.port());
    for (const std::string& url : {base + "/stream?x\r\nSET k 1\r\n\r\nGET /second HTTP/1.1\r\n",
                                   base + "/stream?x\nSET k 1\n", base + "/stream?a b", base + "/str\x01" "eam?x"}) {
        HttpResponse response;
        EXPECT_FALSE(httpGet(url, response, FetchLimits{2s, 2s}));
    }
    HttpResponse response;
    ASSERT_TRUE(httpGet(base + "/stream?path=x", response, FetchLimits{5s, 10s}));
    EXPECT_EQ(target.accepted(), 1u);
    ASSERT_EQ(target.requests().size(), 1u);
    EXPECT_EQ(target.requests()[0].rfind("GET /stream?path=x HTTP/1.1\r\n", 0), 0u) << target.requests()[0];
}

}  // namespace
}  // namespace lyrebox::attack

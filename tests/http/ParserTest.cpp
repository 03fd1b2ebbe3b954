// The pure parsing functions: request line, headers, parameters, decoding.
#include "http/HttpParse.h"
#include "platform/DecimalText.h"

#include <gtest/gtest.h>

#include <climits>

namespace lyrebox {
namespace {

struct LineCase {
    const char* line;
    int status;
    const char* path;
    const char* query;
    const char* protocol;
};

TEST(RequestLine, VariantsAndFailures) {
    const LineCase cases[] = {
        {"GET / HTTP/1.1", 0, "/", "", "HTTP/1.1"},
        {"GET /a%20b?x=1%202&x=3&y HTTP/1.0", 0, "/a%20b", "x=1%202&x=3&y", "HTTP/1.0"},
        {"POST /play?x=1 HTTP/1.1", 0, "/play", "x=1", "HTTP/1.1"},
        {"GET /x", 0, "/x", "", ""},           // no protocol and no query: accepted
        {"GET /x? HTTP/1.1", 0, "/x", "", "HTTP/1.1"},
        {"GET /x?a?b HTTP/1.1", 0, "/x", "a?b", "HTTP/1.1"},
        {"get / HTTP/1.1", 501, "", "", ""},
        {"HEAD / HTTP/1.1", 501, "", "", ""},
        {"GET", 501, "", "", ""},
        {"", 501, "", "", ""},
        {"GET index.html HTTP/1.1", 400, "", "", ""},
        {"GET  / HTTP/1.1", 400, "", "", ""},  // empty target
        {"GET /x?y", 400, "", "", ""},         // query without protocol
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        RequestLine line = parseRequestLine(c.line);
        EXPECT_EQ(line.status, c.status);
        if (c.status == 0) {
            EXPECT_EQ(line.path, c.path);
            EXPECT_EQ(line.query, c.query);
            EXPECT_EQ(line.protocol, c.protocol);
            EXPECT_TRUE(line.reason.empty());
        } else {
            EXPECT_EQ(line.reason, c.status == 400 ? "Bad Request" : "Method not implemented");
        }
    }
    EXPECT_EQ(parseRequestLine("POST / HTTP/1.1").method, HttpMethod::Post);
}

TEST(Headers, SpacingFirstWinsAndCase) {
    HeaderMap headers;
    parseHeaderLines("Host:   example\r\nX-A:b\r\nHost: second\r\nno colon here\r\n"
                     "content-length: 4\r\nX-Trail: v  \r\nEmpty:",
                     headers);
    EXPECT_EQ(headers.at("Host"), "example");
    EXPECT_EQ(headers.at("X-A"), "b");
    EXPECT_EQ(headers.at("X-Trail"), "v  ");  // trailing blanks stay
    EXPECT_EQ(headers.at("Empty"), "");
    EXPECT_EQ(headers.count("Content-Length"), 0u);  // names are case-sensitive
    EXPECT_EQ(headers.at("content-length"), "4");
    EXPECT_EQ(headers.size(), 5u);
}

TEST(Params, DecodingAndFirstWins) {
    ParamMap params;
    parseParams("x=1%202&x=3&y&&a=1+2&v=%2541&w=%4&z=%zz&k=  spaced&%41=name&e=", params);
    EXPECT_EQ(params.at("x"), "1 2");
    EXPECT_EQ(params.count("y"), 0u);
    EXPECT_EQ(params.at("a"), "1+2");
    EXPECT_EQ(params.at("v"), "%41");
    EXPECT_EQ(params.at("w"), "%4");
    EXPECT_EQ(params.at("z"), "%zz");
    EXPECT_EQ(params.at("k"), "spaced");
    EXPECT_EQ(params.at("A"), "name");
    EXPECT_EQ(params.at("e"), "");
}

TEST(PercentDecode, EdgeCases) {
    EXPECT_EQ(percentDecode("%"), "%");
    EXPECT_EQ(percentDecode("%4"), "%4");
    EXPECT_EQ(percentDecode("a%2fb%2F"), "a/b/");
    EXPECT_EQ(percentDecode("%00x"), std::string("\0x", 2));
    EXPECT_EQ(percentDecode("%%41"), "%A");
}

TEST(DecimalPrefix, ReadsLikeStrtol) {
    EXPECT_EQ(platform::parseDecimalPrefix<std::int64_t>("  12abc"), 12);
    EXPECT_EQ(platform::parseDecimalPrefix<std::int64_t>("-5"), -5);
    EXPECT_EQ(platform::parseDecimalPrefix<std::int64_t>("+7"), 7);
    EXPECT_EQ(platform::parseDecimalPrefix<std::int64_t>("abc"), 0);
    EXPECT_EQ(platform::parseDecimalPrefix<std::int64_t>(""), 0);
    EXPECT_EQ(platform::parseDecimalPrefix<std::int64_t>("99999999999999999999999"), INT64_MAX);
}

// Signs stand once and right before the digits; each width saturates at its own limits.
TEST(DecimalPrefix, SignsAndLimits) {
    const struct {
        const char* text;
        std::int64_t wide;
        int narrow;
    } cases[] = {
        {"+-5", 0, 0},          {"-+5", 0, 0},          {"--5", 0, 0},       {"+", 0, 0},
        {"-", 0, 0},            {"\v\r\n-12", -12, -12}, {"\x01" "5", 0, 0}, {"007", 7, 7},
        {"2147483647", 2147483647, INT_MAX},            {"2147483648", 2147483648LL, INT_MAX},
        {"-2147483648", -2147483648LL, INT_MIN},         {"-2147483649", -2147483649LL, INT_MIN},
        {"9223372036854775807", INT64_MAX, INT_MAX},    {"-9223372036854775808", INT64_MIN, INT_MIN},
        {"-99999999999999999999999", INT64_MIN, INT_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::parseDecimalPrefix<std::int64_t>(c.text), c.wide) << c.text;
        EXPECT_EQ(platform::parseDecimalPrefix<int>(c.text), c.narrow) << c.text;
    }
}

TEST(Head, RequestLineAndHeaders) {
    ParsedHead head = parseHead("GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(head.line.status, 0);
    EXPECT_TRUE(head.headers.empty());
    head = parseHead("GET / HTTP/1.1\r\nA: 1\r\nB: 2\r\n\r\n");
    EXPECT_EQ(head.headers.size(), 2u);
    EXPECT_EQ(head.headers.at("B"), "2");
    EXPECT_EQ(parseHead("GET / HTTP/1.1\n\n").line.status, 400);  // LF alone is no line end
}

TEST(Html, EscapesMarkup) {
    EXPECT_EQ(htmlEscape("<a href=\"x\">&'</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;&lt;/a&gt;");
}

}  // namespace
}  // namespace lyrebox
